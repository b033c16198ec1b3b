## The Octave package: scripts/make_package.sh makes the tarball, pkg
## installs it into a temporary prefix with temporary package lists, and
## the installed commands, their help, their tests and the demo work. The
## user's own package lists stay as they were.

%!function state = list_state (file)
%!  if (exist (file, "file"))
%!    state = fileread (file);
%!  else
%!    state = "(no file)";
%!  endif
%!endfunction

%!test
%! root = canonicalize_file_name (fullfile (fileparts (which ("run_octave_tests")), "..", ".."));
%! version = regexp (fileread (fullfile (root, "CMakeLists.txt")), 'project\(tarn VERSION ([0-9.]+)', 'tokens', 'once'){1};
%! work = tempname ();
%! mkdir (work);
%! user_lists = {pkg("local_list"), pkg("global_list")};
%! before = cellfun (@list_state, user_lists, "UniformOutput", false);
%! unwind_protect
%!   [status, printed] = system (sprintf ("'%s' '%s' 2>&1", fullfile (root, "scripts", "make_package.sh"), work));
%!   assert (status, 0, printed);
%!   tarball = fullfile (work, sprintf ("tarn-%s.tar.gz", version));
%!   assert (strtrim (printed), tarball);
%!   ## The package's own Makefile builds both plug-ins with the flags of
%!   ## every build, and the compiler says nothing: no note, no warning.
%!   ## (pkg install hides the make output but not the compiler's notes.)
%!   unpacked = fullfile (work, "unpacked");
%!   untar (tarball, unpacked);
%!   src = fullfile (unpacked, sprintf ("tarn-%s", version), "src");
%!   assert (fileread (fullfile (src, "..", "COPYING")), fileread (fullfile (root, "LICENSE")));
%!   assert (! isempty (strfind (fileread (fullfile (src, "..", "DESCRIPTION")), "\nLicense: BSD-3-Clause\n")));
%!   mkoctfile = fullfile (__octave_config_info__ ("bindir"), "mkoctfile");
%!   [status, printed] = system (sprintf ("make -C '%s' MKOCTFILE='%s' 2>&1", src, mkoctfile));
%!   assert (status, 0, printed);
%!   assert (isempty (regexp (printed, '(note|warning):', "once")), printed);
%!   for line = regexp (fileread (fullfile (root, "plugin_flags.txt")), '(?m)^[a-z_]+ ([^\n]*)$', 'tokens')
%!     for flag = strsplit (line{1}{1}, " ")
%!       assert (! isempty (regexp (printed, ['[ "]' regexptranslate("escape", flag{1}) '[ "]'], "once")),
%!               "make ran without %s", flag{1});
%!     endfor
%!   endfor
%!
%!   prefix = fullfile (work, "prefix");
%!   pkg ("prefix", prefix, prefix);
%!   pkg ("local_list", fullfile (work, "local_packages"));
%!   pkg ("global_list", fullfile (work, "global_packages"));
%!   pkg ("install", "-local", tarball);
%!   installed = pkg ("list");
%!   assert (numel (installed), 1);
%!   assert ({installed{1}.name, installed{1}.version}, {"tarn", version});
%!   pkg ("load", "tarn");
%!
%!   ## The plug-ins and their help texts share a folder inside the prefix.
%!   folder = fileparts (which ("tarn_learn"));
%!   assert (strncmp (folder, prefix, numel (prefix)));
%!   assert (which ("tarn_learn"), fullfile (folder, "tarn_learn.mex"));
%!   for name = {"tarn_score", "tarn_resume", "tarn_evidence"}
%!     assert (which (name{1}), fullfile (folder, [name{1} ".mex"]));
%!   endfor
%!   for name = {"tarn_learn", "tarn_score", "tarn_resume", "tarn_evidence"}
%!     assert (exist (fullfile (folder, [name{1} ".m"]), "file") == 2);
%!   endfor
%!   assert (! isempty (strfind (evalc ("help tarn_learn"), "TARN_LEARN  Train a Gaussian ARTMAP classifier")));
%!   assert (! isempty (strfind (evalc ("help tarn_score"), "TARN_SCORE  Classify patterns")));
%!
%!   ## A round trip with the installed commands, on the installed data.
%!   [X, y] = tarn_load_data ("wine");
%!   X = (X - mean (X)) ./ std (X);
%!   [T, L, n] = tarn_learn (X, y, 0, 1, 100, 1, 0, 0);
%!   assert (columns (T), 2 * columns (X) + 1);
%!   assert (mean (tarn_score (T, L, 0, X, -1, 0, 0) == y) >= 0.95);
%!   [passed, total] = test ("tarn_learn", "quiet", stdout);
%!   assert (total > 0 && passed == total);
%!   for name = {"tarn_score", "tarn_resume", "tarn_evidence"}
%!     [passed, total] = test (name{1}, "quiet", stdout);
%!     assert (total > 0 && passed == total, "%s: %d of %d tests passed", name{1}, passed, total);
%!   endfor
%!   r = evalc ("tarn_demo ('iris');");
%!   assert (! isempty (strfind (r, "accuracy: ")));
%!
%!   pkg ("unload", "tarn");
%!   assert (isempty (which ("tarn_learn")));
%!   pkg ("uninstall", "tarn");
%!   assert (! exist (fullfile (prefix, sprintf ("tarn-%s", version)), "dir"));
%! unwind_protect_cleanup
%!   if (! isempty (which ("tarn_learn")))
%!     pkg ("unload", "tarn");
%!   endif
%!   confirm_recursive_rmdir (false, "local");
%!   rmdir (work, "s");
%! end_unwind_protect
%! assert (cellfun (@list_state, user_lists, "UniformOutput", false), before);
