function out_dir = build_tarn(out_dir)
  % BUILD_TARN  Build the tarn plug-ins at the prompt.
  %
  %   build_tarn
  %   build_tarn(out_dir)
  %   out_dir = build_tarn(...)
  %
  %   Compiles the four plug-ins (tarn_learn, tarn_score, tarn_resume,
  %   tarn_evidence) from the sources listed in plugin_sources.txt,
  %   with mkoctfile --mex under GNU Octave and mex under MATLAB, and puts
  %   them, with their help texts, in one folder: out_dir, or build_prompt/
  %   beside this file when out_dir is not given. Then add that folder to the
  %   path:
  %
  %       addpath(build_tarn())
  %
  %   All plug-ins are compiled first, each in a work folder of its own
  %   inside out_dir; only when all have compiled do they replace the ones
  %   in out_dir. The commands and everything the compiler said go to
  %   build_tarn.log in out_dir. On a failure no plug-in in out_dir changes,
  %   the failed plug-in's work folder is kept, and the message says which
  %   plug-in failed and where the log is.
  %
  %   The compiler flags are those of every build, read from plugin_flags.txt
  %   beside this file (its comments say what each does).

  root = fileparts(mfilename('fullpath'));
  if nargin < 1 || isempty(out_dir)
    out_dir = fullfile(root, 'build_prompt');
  end
  out_dir = absolute_folder(out_dir);
  if ~exist(out_dir, 'dir')
    [ok, msg] = mkdir(out_dir);
    if ~ok
      error('build_tarn:folder', 'build_tarn: cannot create the output folder %s: %s', ...
            out_dir, msg);
    end
  end

  plugins = read_plugin_sources(fullfile(root, 'plugin_sources.txt'));
  flag_lists = read_list(fullfile(root, 'plugin_flags.txt'), {'plugins', 'warnings', 'arithmetic'});
  flags = strjoin([flag_lists.plugins, flag_lists.warnings, flag_lists.arithmetic], ' ');
  names = plugin_names();
  help_files = cellfun(@(name) fullfile(root, 'toolbox', 'help', [name '.m']), names, ...
                       'UniformOutput', false);
  on_octave = exist('OCTAVE_VERSION', 'builtin') ~= 0;
  if on_octave
    host = 'Octave';
    confirm_recursive_rmdir(false, 'local');  % the work folders are ours
  else
    host = 'MATLAB';
  end
  fprintf('build_tarn: building %s with %s into %s\n', strjoin(names, ', '), host, out_dir);
  log_file = fullfile(out_dir, 'build_tarn.log');
  fid = fopen(log_file, 'w');
  if fid < 0
    error('build_tarn:folder', 'build_tarn: cannot write %s', log_file);
  end
  fprintf(fid, 'build_tarn with %s %s, sources from %s, flags: %s\n', host, version(), ...
          fullfile(root, 'plugin_sources.txt'), flags);
  fclose(fid);

  work_dirs = cell(size(names));
  built = cell(size(names));
  for k = 1:numel(names)
    name = names{k};
    sources = [plugins.(name), plugins.common];
    work_dirs{k} = fullfile(out_dir, [name '.work']);
    if exist(work_dirs{k}, 'dir')
      rmdir(work_dirs{k}, 's');
    end
    mkdir(work_dirs{k});
    try
      if on_octave
        built{k} = build_with_mkoctfile(name, root, sources, flags, work_dirs{k}, log_file);
      else
        built{k} = build_with_mex(name, root, sources, flags, work_dirs{k}, log_file);
      end
    catch err
      % Keep only the failed plug-in's work folder, with its objects.
      for j = 1:k - 1
        rmdir(work_dirs{j}, 's');
      end
      rethrow(err);
    end
  end

  % Every plug-in compiled: release the loaded ones and put the new ones in
  % place. A rename within one folder never rewrites a file that a running
  % session has mapped.
  for k = 1:numel(names)
    unload(names{k});
    [~, file, ext] = fileparts(built{k});
    target = fullfile(out_dir, [file ext]);
    [ok, msg] = movefile(built{k}, target, 'f');
    if ~ok
      error('build_tarn:install', 'build_tarn: cannot move %s to %s: %s', built{k}, target, msg);
    end
    copy_help(help_files{k}, out_dir);
    rmdir(work_dirs{k}, 's');
  end
  fprintf('build_tarn: done. Add the folder to the path with:\n  addpath(''%s'')\n', out_dir);
  if nargout == 0
    clear out_dir;
  end
end

function names = plugin_names()
  names = {'tarn_learn', 'tarn_score', 'tarn_resume', 'tarn_evidence'};
end

function plugins = read_plugin_sources(list_file)
  % The sources of each plug-in, as absolute paths; "common" names the
  % sources every plug-in takes.
  plugins = read_list(list_file, [{'common'}, plugin_names()]);
  root = fileparts(list_file);
  for name = [{'common'}, plugin_names()]
    files = plugins.(name{1});
    for j = 1:numel(files)
      if ~exist(fullfile(root, files{j}), 'file')
        error('build_tarn:sources', 'build_tarn: %s lists %s, which does not exist', ...
              list_file, files{j});
      end
      files{j} = fullfile(root, files{j});
    end
    plugins.(name{1}) = files;
  end
end

function lists = read_list(list_file, names)
  % plugin_sources.txt and plugin_flags.txt hold one line per list: its
  % name, then its words. Other lines are comments or blank.
  if ~exist(list_file, 'file')
    error('build_tarn:sources', 'build_tarn: %s is missing', list_file);
  end
  lists = struct();
  lines = regexp(fileread(list_file), '\r?\n', 'split');
  for k = 1:numel(lines)
    words = regexp(strtrim(lines{k}), '\s+', 'split');
    if numel(words) >= 2 && ~isempty(regexp(words{1}, '^[a-z_]+$', 'once'))
      lists.(words{1}) = words(2:end);
    end
  end
  for k = 1:numel(names)
    if ~isfield(lists, names{k})
      error('build_tarn:sources', 'build_tarn: %s has no line for %s', list_file, names{k});
    end
  end
end

function output = build_with_mkoctfile(name, root, sources, flags, work_dir, log_file)
  % Octave: mkoctfile --mex, run in the work folder with the work folder as
  % its temporary folder, so that every object it makes is written there
  % (under the names of their sources, or under temporary names).
  bindir = feval('__octave_config_info__', 'bindir');
  program = fullfile(bindir, ['mkoctfile' feval('__octave_config_info__', 'EXEEXT')]);
  if ~exist(program, 'file')
    error('build_tarn:mkoctfile', ...
          ['build_tarn: %s is missing, so Octave cannot compile plug-ins here.\n' ...
           'Install Octave''s development files ' ...
           '(on Debian and Ubuntu: apt-get install liboctave-dev).'], program);
  end
  output = fullfile(work_dir, [name '.mex']);
  args = [{'--mex', '-v', ['-I' root], '-o', output}, sources];
  command = ['"' program '"' sprintf(' "%s"', args{:})];

  old_dir = pwd();
  names = {'CXXFLAGS', 'TMPDIR'};
  old_values = {getenv('CXXFLAGS'), getenv('TMPDIR')};
  restore = onCleanup(@() restore_environment(old_dir, names, old_values));
  setenv('CXXFLAGS', flags);
  setenv('TMPDIR', work_dir);
  cd(work_dir);
  [status, text] = system([command ' 2>&1']);
  clear restore;

  write_log(log_file, name, work_dir, ['CXXFLAGS="' flags '" ' command], text);
  if status ~= 0 || ~exist(output, 'file')
    report_failure(name, text, log_file, work_dir, ...
                   ['Check that a C++17 compiler (g++ 7 or newer) is installed ' ...
                    'and that mkoctfile works: mkoctfile --version']);
  end
end

function output = build_with_mex(name, root, sources, flags, work_dir, log_file)
  % MATLAB: mex with the same sources and, for GCC and Clang, the same flags.
  config = mex.getCompilerConfigurations('C++', 'Selected');
  if isempty(config)
    error('build_tarn:mex', ['build_tarn: MATLAB has no C++ compiler selected.\n' ...
                             'Run  mex -setup C++  and then build_tarn again.']);
  end
  if ~isempty(strfind(config.ShortName, 'MSVC'))
    flag_arg = 'COMPFLAGS=$COMPFLAGS /O2 /std:c++17 /fp:precise /EHsc';
  else
    flag_arg = ['CXXFLAGS=$CXXFLAGS ' flags];
  end
  % libut: the interrupt flag that lets Ctrl-C stop a running command.
  args = [{'-v', '-outdir', work_dir, '-output', name, flag_arg, ['-I' root]}, sources, {'-lut'}];
  command = ['mex' sprintf(' ''%s''', args{:})];
  output = fullfile(work_dir, [name '.' mexext]);
  try
    text = evalc('mex(args{:})');
  catch err
    text = err.message;
  end
  write_log(log_file, name, work_dir, command, text);
  if ~exist(output, 'file')
    report_failure(name, text, log_file, work_dir, ...
                   'Check the compiler that  mex -setup C++  selected; it must support C++17.');
  end
end

function write_log(log_file, name, work_dir, command, text)
  fid = fopen(log_file, 'a');
  if fid >= 0
    fprintf(fid, '\n== %s, in %s\n%s\n\n%s\n', name, work_dir, command, text);
    fclose(fid);
  end
end

function report_failure(name, text, log_file, work_dir, advice)
  fprintf('\nbuild_tarn: compiling %s failed. The compiler said:\n\n%s\n\n', name, text);
  fprintf(['The commands and this output are in\n  %s\n' ...
           'and the objects made so far in\n  %s\n%s\n'], ...
          log_file, work_dir, advice);
  fprintf('No plug-in in the output folder was replaced.\n');
  error('build_tarn:compile', 'build_tarn: compiling %s failed; see %s', name, log_file);
end

function restore_environment(old_dir, names, old_values)
  cd(old_dir);
  for k = 1:numel(names)
    if isempty(old_values{k})
      unsetenv(names{k});
    else
      setenv(names{k}, old_values{k});
    end
  end
end

function unload(name)
  % A plug-in stays loaded after its first call; release it before its file
  % is replaced so that the next call loads the new one.
  if exist('OCTAVE_VERSION', 'builtin') ~= 0
    clear('-f', name);
  else
    clear(name);
  end
end

function copy_help(help_file, out_dir)
  % The help text must sit next to its plug-in: that is where help looks.
  if exist(help_file, 'file')
    [ok, msg] = copyfile(help_file, out_dir, 'f');
    if ~ok
      error('build_tarn:install', 'build_tarn: cannot copy %s to %s: %s', help_file, out_dir, msg);
    end
  end
end

function folder = absolute_folder(folder)
  if ~(strncmp(folder, filesep, 1) || strncmp(folder, '/', 1) || ...
       (numel(folder) > 1 && folder(2) == ':'))
    folder = fullfile(pwd(), folder);
  end
end
