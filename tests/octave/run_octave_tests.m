function status = run_octave_tests(file)
  % Runs the %!test and %!error blocks of FILE; 0 when all of them pass.
  [passed, total] = test(file, 'quiet', stdout);
  fprintf('%s: %d of %d Octave tests passed\n', file, passed, total);
  status = double(total == 0 || passed ~= total);
end
