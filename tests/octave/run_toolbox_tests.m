function status = run_toolbox_tests (folder)
  % Runs the %!test, %!error and %!warning blocks of every .m file in
  % FOLDER (the toolbox), each with Octave's test; 0 when all pass. A file
  % without such blocks (tarn_demo, tested by OctaveDemo) is named and
  % passed over; a folder without any test fails.
  files = dir (fullfile (folder, '*.m'));
  status = 0;
  total = 0;
  for k = 1:numel (files)
    file = fullfile (folder, files(k).name);
    if isempty (regexp (fileread (file), '(^|\n)%!(test|error|warning|assert)', 'once'))
      fprintf ('%s: no tests here\n', file);
      continue
    end
    started = tic ();
    [passed, n] = test (file, 'quiet', stdout);
    fprintf ('%s: %d of %d Octave tests passed (%.1f s)\n', file, passed, n, toc (started));
    status = max (status, double (n == 0 || passed ~= n));
    total = total + n;
  end
  status = max (status, double (total == 0));
end
