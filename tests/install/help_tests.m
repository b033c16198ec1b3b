## help for the plug-ins, from the texts beside them in the build
## folder, and calls that reach the plug-ins whatever else is on the path.

%!shared root, build
%! root = canonicalize_file_name (fullfile (fileparts (which ("run_octave_tests")), "..", ".."));
%! build = fileparts (which ("tarn_learn"));

%!function text = help_block (file)
%!  ## The lines of the first comment block, without the comment marks.
%!  lines = regexp (fileread (file), "\n", "split");
%!  last = find (! strncmp (lines, "%", 1), 1) - 1;
%!  text = regexprep (lines(1:last), '^% ?', '');
%!endfunction

%!test
%! ## help prints the whole text of each command, and no test code.
%! inputs.tarn_learn = {"Patterns", "PLabels", "vigilance", "gamma", "max_list_presentations", ...
%!                      "no_creation_flag", "trim_option", "oflag"};
%! inputs.tarn_score = {"Templates", "NLabels", "vigilance", "Patterns", "unknown_label", ...
%!                      "decision_option", "oflag"};
%! inputs.tarn_resume = {"Templates", "NLabels", "presentations", "Active"};
%! inputs.tarn_evidence = {"LogEvidence", "Classes", "BestChoice", "Winner"};
%! for name = fieldnames (inputs)'
%!   name = name{1};
%!   printed = evalc (sprintf ("help %s", name));
%!   assert (! isempty (strfind (printed, sprintf ("'%s' is a function from the file %s", name,
%!                                                 fullfile (build, [name ".mex"])))));
%!   block = help_block (fullfile (root, "toolbox", "help", [name ".m"]));
%!   assert (numel (block) > 50);
%!   for k = find (! cellfun ("isempty", block))
%!     assert (! isempty (strfind (printed, block{k})), "help %s lacks: %s", name, block{k});
%!   endfor
%!   assert (isempty (strfind (printed, "%!")));
%!   for input = inputs.(name)
%!     assert (! isempty (regexp (printed, ['\n   ' input{1} '\s'], "once")),
%!             "help %s does not describe %s", name, input{1});
%!   endfor
%! endfor

%!test
%! ## The texts in the build folder are the current ones.
%! for name = {"tarn_learn.m", "tarn_score.m", "tarn_resume.m", "tarn_evidence.m"}
%!   assert (fileread (fullfile (build, name{1})), fileread (fullfile (root, "toolbox", "help", name{1})));
%! endfor

%!test
%! ## With the toolbox folder ahead of the build folder, calls still reach
%! ## the plug-ins: no help text lies where it could hide one.
%! toolbox = fullfile (root, "toolbox");
%! addpath (toolbox);
%! unwind_protect
%!   assert (which ("tarn_learn"), fullfile (build, "tarn_learn.mex"));
%!   for name = {"tarn_score", "tarn_resume", "tarn_evidence"}
%!     assert (which (name{1}), fullfile (build, [name{1} ".mex"]));
%!   endfor
%!   [T, L, n] = tarn_learn ([0; 1], [1; 2], 0, 1, 1, 0, 0, 0);
%!   assert (tarn_score (T, L, 0, [0; 1], -1, 0, 0), [1; 2]);
%! unwind_protect_cleanup
%!   rmpath (toolbox);
%! end_unwind_protect
