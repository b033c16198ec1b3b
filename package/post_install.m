function post_install(desc)
  % Puts the help texts beside the plug-ins. help looks for a MEX plug-in's
  % text in the .m file of the same name in the plug-in's own folder, and
  % pkg installs compiled files in a folder of their own.
  found = false;
  folders = dir(desc.archprefix);
  for k = 1:numel(folders)
    folder = fullfile(desc.archprefix, folders(k).name);
    if folders(k).isdir && exist(fullfile(folder, 'tarn_learn.mex'), 'file')
      for name = {'tarn_learn.m', 'tarn_score.m', 'tarn_resume.m', 'tarn_evidence.m'}
        [ok, msg] = copyfile(fullfile('help', name{1}), folder);
        if ~ok
          error('tarn:install:help', 'tarn: cannot copy the help text %s to %s: %s', ...
                name{1}, folder, msg);
        end
      end
      found = true;
    end
  end
  if ~found
    error('tarn:install:plugins', 'tarn: the plug-ins are not in %s after the build', ...
          desc.archprefix);
  end
end
