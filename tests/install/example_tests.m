## Every example that users read (README.md, doc/guide.md, the help texts;
## example_blocks.m says how they are found and marked) runs in a fresh
## octave-cli with the plug-ins and the toolbox on the path, in an empty
## folder: it must end without an error or a warning, and print what the
## text says it prints.

%!function text = without_times (text)
%!  ## Measured times ("0.02 s") vary from run to run.
%!  text = regexprep (text, '\<\d+(\.\d+)? s\>', 'N s');
%!endfunction

%!test
%! root = canonicalize_file_name (fullfile (fileparts (which ("run_octave_tests")), "..", ".."));
%! octave = fullfile (OCTAVE_HOME (), "bin", "octave-cli");
%! ## octave-cli draws with gnuplot, and says at the first figure that
%! ## Octave discourages it: that notice is Octave's, not the example's.
%! paths = sprintf ("addpath('%s'); addpath('%s'); warning('off', 'Octave:gnuplot-graphics');",
%!                  fileparts (which ("tarn_learn")), fileparts (which ("tarn_load_data")));
%! work = tempname ();
%! mkdir (work);
%! blocks = example_blocks (root, work);
%! assert (sum ([blocks.run]) >= 10);
%! assert (! isempty (strfind ([blocks.where], "README.md")));
%! failures = {};
%! unwind_protect
%!   for k = find ([blocks.run])
%!     folder = fullfile (work, sprintf ("run%d", k));
%!     mkdir (folder);
%!     [~, script] = fileparts (blocks(k).script);
%!     movefile (blocks(k).script, folder);
%!     [status, printed] = system (sprintf ("cd '%s' && '%s' --no-gui --norc --quiet --no-history --eval \"%s %s\" 2>&1",
%!                                          folder, octave, paths, script));
%!     problem = "";
%!     if (status != 0 || ! isempty (regexp (printed, '(^|\n)(error|warning):', "once")))
%!       problem = "it failed";
%!     endif
%!     shown = without_times (regexprep (printed, '\s+', ' '));
%!     from = 1;
%!     for expected = blocks(k).expected
%!       at = strfind (shown(from:end), without_times (regexprep (strtrim (expected{1}), '\s+', ' ')));
%!       if (isempty (at))
%!         problem = sprintf ("it does not print, in order: %s", expected{1});
%!         break;
%!       endif
%!       from += at(1);
%!     endfor
%!     if (! isempty (problem))
%!       failures{end+1} = sprintf ("%s: %s\n--- code:\n%s\n--- printed:\n%s", blocks(k).where,
%!                                  problem, blocks(k).code, printed);
%!     endif
%!   endfor
%! unwind_protect_cleanup
%!   confirm_recursive_rmdir (false, "local");
%!   rmdir (work, "s");
%! end_unwind_protect
%! assert (isempty (failures), "%d of %d examples:\n%s", numel (failures), sum ([blocks.run]),
%!         strjoin (failures, "\n\n"));
