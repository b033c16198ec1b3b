## build_tarn at the Octave prompt: what it builds works, with the flags of
## plugin_flags.txt and the sources of plugin_sources.txt, quietly; a rebuild
## replaces loaded plug-ins; a failed build says where to look and leaves
## the output folder's plug-ins alone.

%!shared root
%! root = canonicalize_file_name (fullfile (fileparts (which ("run_octave_tests")), "..", ".."));

%!function copy_repository (root, to)
%!  ## What build_tarn needs, and nothing else.
%!  mkdir (fullfile (to, "toolbox"));
%!  copyfile (fullfile (root, "build_tarn.m"), to);
%!  copyfile (fullfile (root, "plugin_sources.txt"), to);
%!  copyfile (fullfile (root, "plugin_flags.txt"), to);
%!  copyfile (fullfile (root, "toolbox", "help"), fullfile (to, "toolbox"));
%!  for folder = {"model", "bridge", "learn", "score"}
%!    copyfile (fullfile (root, folder{1}), to);
%!  endfor
%!endfunction

%!function flops = flops_of (report)
%!  flops = str2double (regexp (report, '(\d+) FLOPs', 'tokens'){end}{1});
%!endfunction

%!test
%! ## A build into a new folder, then training and classification with it.
%! work = tempname ();
%! out = fullfile (work, "nested", "plugins");
%! here = pwd ();
%! unwind_protect
%!   addpath (root);
%!   printed = evalc ("made = build_tarn (out);");
%!   rmpath (root);
%!   assert (made, out);
%!   assert (! isempty (strfind (printed, sprintf ("addpath('%s')", out))));
%!   listing = dir (out);
%!   assert (sort ({listing(! [listing.isdir]).name}), ...
%!           {"build_tarn.log", "tarn_evidence.m", "tarn_evidence.mex", "tarn_learn.m", "tarn_learn.mex", ...
%!            "tarn_resume.m", "tarn_resume.mex", "tarn_score.m", "tarn_score.mex"});
%!   assert (sum ([listing.isdir]), 2);   # only . and ..: no work folder left
%!
%!   ## Every listed source was compiled with every flag of plugin_flags.txt,
%!   ## and the compiler said nothing: no note, no warning.
%!   build_log = fileread (fullfile (out, "build_tarn.log"));
%!   assert (isempty (regexp (build_log, '(note|warning):', "once")), build_log);
%!   log_lines = strsplit (build_log, "\n");
%!   compiles = log_lines(! cellfun ("isempty", strfind (log_lines, " -c ")));
%!   words = @(file) strsplit (strjoin (cellfun (@(t) t{1}, regexp (fileread (fullfile (root, file)),
%!                             '(?m)^[a-z_]+ ([^\n]*)$', 'tokens'), "UniformOutput", false), " "), " ");
%!   sources = words ("plugin_sources.txt");
%!   flags = [words("plugin_flags.txt"), {["-I" root]}];
%!   assert (numel (flags) >= 10);
%!   for k = 1:numel (sources)
%!     line = compiles(! cellfun ("isempty", strfind (compiles, fullfile (root, sources{k}))));
%!     assert (! isempty (line), "%s was not compiled", sources{k});
%!     for f = flags
%!       assert (! isempty (regexp (line{1}, ['(^|\s)' regexptranslate("escape", f{1}) '(\s|$)'], "once")),
%!               "%s compiled without %s", sources{k}, f{1});
%!     endfor
%!   endfor
%!
%!   addpath (out);
%!   assert (which ("tarn_learn"), fullfile (out, "tarn_learn.mex"));
%!   assert (which ("tarn_score"), fullfile (out, "tarn_score.mex"));
%!   assert (which ("tarn_resume"), fullfile (out, "tarn_resume.mex"));
%!   assert (which ("tarn_evidence"), fullfile (out, "tarn_evidence.mex"));
%!   ## Two patterns of one class at 0 and 0.1, gamma 1: worked out by hand.
%!   [T, L, n] = tarn_learn ([0; 0.1], [1; 1], 0.5, 1, 10, 1, 0, 0);
%!   m2 = 0.05; s2 = sqrt (0.5 * 1 + 0.5 * (m2 - 0.1)^2);
%!   m3 = (2/3) * m2; s3 = sqrt ((2/3) * s2^2 + (1/3) * m3^2);
%!   m4 = (1/4) * 0.1 + (3/4) * m3; s4 = sqrt ((3/4) * s3^2 + (1/4) * (m4 - 0.1)^2);
%!   assert (T, [m4 s4 1], 0);
%!   assert ([L n], [1 2]);
%!   ## A shipped data set, as the demo splits it.
%!   M = dlmread (fullfile (root, "data", "iris.csv"), ",", 2, 0);
%!   X = M(:, 1:end-1);  y = M(:, end);
%!   test_rows = mod ((1:rows (X))', 3) == 0;
%!   X = (X - mean (X(! test_rows, :))) ./ std (X(! test_rows, :));
%!   [T, L, n] = tarn_learn (X(! test_rows, :), y(! test_rows), 0, 1, 100, 1, 0, 0);
%!   for rule = 0:1
%!     assert (mean (tarn_score (T, L, 0, X(test_rows, :), -1, rule, 0) == y(test_rows)) >= 0.9);
%!   endfor
%!   assert (! isempty (strfind (evalc ("help tarn_score"), "TARN_SCORE  Classify patterns")));
%!
%!   ## Rebuild into the same folder, named relative to the current one,
%!   ## while both plug-ins are loaded: the new ones are loaded afresh, so
%!   ## their work totals start again. One call does the work W before its
%!   ## report and 1 flop after it.
%!   first = evalc ("[T, L, n] = tarn_learn ([0; 0.1], [1; 1], 0.5, 1, 10, 1, 0, 1);");
%!   second = evalc ("[T, L, n] = tarn_learn ([0; 0.1], [1; 1], 0.5, 1, 10, 1, 0, 1);");
%!   W = flops_of (second) - flops_of (first) - 1;
%!   assert (flops_of (first) > W);
%!   cd (fullfile (work, "nested"));
%!   addpath (root);
%!   evalc ("build_tarn ('plugins');");
%!   rmpath (root);
%!   again = evalc ("[T, L, n] = tarn_learn ([0; 0.1], [1; 1], 0.5, 1, 10, 1, 0, 1);");
%!   assert (flops_of (again), W);
%!   assert (T, [m4 s4 1], 0);
%!   assert (tarn_score (T, L, 0, 0.05, -1, 0, 0), 1);
%! unwind_protect_cleanup
%!   cd (here);
%!   if (any (strcmp (strsplit (path (), pathsep ()), out)))
%!     rmpath (out);
%!   endif
%!   clear -f tarn_learn tarn_score
%!   confirm_recursive_rmdir (false, "local");
%!   if (exist (work, "dir"))
%!     rmdir (work, "s");
%!   endif
%! end_unwind_protect

%!test
%! ## A source that does not compile: the error names the plug-in and the
%! ## log, the compiler's words are printed and logged, the objects made
%! ## so far are in the work folder, the output folder's plug-ins stay as
%! ## they were, and the session is left as it was.
%! work = tempname ();
%! copy = fullfile (work, "repository");
%! out = fullfile (work, "out");
%! here = pwd ();
%! old_flags = getenv ("CXXFLAGS");
%! old_tmpdir = getenv ("TMPDIR");
%! unwind_protect
%!   copy_repository (root, copy);
%!   ## The last source of tarn_score alone: tarn_learn compiles, and so
%!   ## do the sources of tarn_score before it.
%!   own = regexp (fileread (fullfile (copy, "plugin_sources.txt")), '(?m)^tarn_score ([^\n]*)$', 'tokens', 'once');
%!   own = strsplit (strtrim (own{1}), " ");
%!   fid = fopen (fullfile (copy, own{end}), "a");
%!   fprintf (fid, "\n#error tarn test: broken on purpose\n");
%!   fclose (fid);
%!   mkdir (out);
%!   for name = {"tarn_learn.mex", "tarn_score.mex"}
%!     fid = fopen (fullfile (out, name{1}), "w");
%!     fprintf (fid, "an earlier build");
%!     fclose (fid);
%!   endfor
%!   setenv ("CXXFLAGS", "-DTARN_USER_FLAGS");
%!   addpath (copy);
%!   message = "";
%!   try
%!     printed = evalc ("build_tarn (out);");
%!   catch err
%!     message = err.message;
%!     identifier = err.identifier;
%!   end_try_catch
%!   rmpath (copy);
%!   log_file = fullfile (out, "build_tarn.log");
%!   assert (message, sprintf ("build_tarn: compiling tarn_score failed; see %s", log_file));
%!   assert (identifier, "build_tarn:compile");
%!   assert (! isempty (strfind (fileread (log_file), "broken on purpose")));
%!   for name = {"tarn_learn.mex", "tarn_score.mex"}
%!     assert (fileread (fullfile (out, name{1})), "an earlier build");
%!   endfor
%!   assert (! exist (fullfile (out, "tarn_learn.work"), "dir"));
%!   assert (exist (fullfile (out, "tarn_score.work"), "dir") == 7);
%!   if (numel (own) > 1)
%!     objects = dir (fullfile (out, "tarn_score.work", "*.o"));
%!     assert (any ([objects.bytes] > 0));
%!   endif
%!   assert (! exist (fullfile (out, "tarn_learn.m"), "file"));
%!   assert (pwd (), here);
%!   assert (getenv ("CXXFLAGS"), "-DTARN_USER_FLAGS");
%!   assert (getenv ("TMPDIR"), old_tmpdir);
%! unwind_protect_cleanup
%!   cd (here);
%!   setenv ("CXXFLAGS", old_flags);
%!   confirm_recursive_rmdir (false, "local");
%!   rmdir (work, "s");
%! end_unwind_protect

%!test
%! ## The printed account of a failure quotes the compiler.
%! work = tempname ();
%! copy = fullfile (work, "repository");
%! unwind_protect
%!   copy_repository (root, copy);
%!   fid = fopen (fullfile (copy, "learn", "learn_entry.cpp"), "a");
%!   fprintf (fid, "\n#error tarn test: broken on purpose\n");
%!   fclose (fid);
%!   addpath (copy);
%!   printed = evalc ("try, build_tarn (fullfile (work, 'out')); catch, end");
%!   rmpath (copy);
%!   assert (! isempty (strfind (printed, "compiling tarn_learn failed. The compiler said:")));
%!   assert (! isempty (strfind (printed, "broken on purpose")));
%!   assert (! isempty (strfind (printed, fullfile (work, "out", "tarn_learn.work"))));
%! unwind_protect_cleanup
%!   confirm_recursive_rmdir (false, "local");
%!   rmdir (work, "s");
%! end_unwind_protect

%!test
%! ## The list of sources is the one build_tarn reads: a source it names
%! ## that is missing stops the build before anything is compiled.
%! work = tempname ();
%! copy = fullfile (work, "repository");
%! unwind_protect
%!   copy_repository (root, copy);
%!   list = fileread (fullfile (copy, "plugin_sources.txt"));
%!   list = regexprep (list, '(?m)^(tarn_score [^\n]*)$', '$1 score/not_there.cpp');
%!   fid = fopen (fullfile (copy, "plugin_sources.txt"), "w");
%!   fprintf (fid, "%s", list);
%!   fclose (fid);
%!   addpath (copy);
%!   message = "";
%!   try
%!     evalc ("build_tarn (fullfile (work, 'out'));");
%!   catch err
%!     message = err.message;
%!   end_try_catch
%!   rmpath (copy);
%!   assert (! isempty (strfind (message, "score/not_there.cpp, which does not exist")));
%!   assert (! exist (fullfile (work, "out", "build_tarn.log"), "file"));
%! unwind_protect_cleanup
%!   confirm_recursive_rmdir (false, "local");
%!   rmdir (work, "s");
%! end_unwind_protect
