function status = run_toolbox_tests (folder)
  % Runs the %!test, %!error and %!warning blocks of every .m file in
  % FOLDER (the toolbox), each with Octave's test; 0 when all pass.
  files = dir (fullfile (folder, '*.m'));
  status = 0;
  for k = 1:numel (files)
    status = max (status, run_octave_tests (fullfile (folder, files(k).name)));
  end
end
