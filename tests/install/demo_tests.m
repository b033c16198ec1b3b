## tarn_demo on the shipped data sets: the reports of both commands, the
## accuracy of both rules and confusion tables that agree with it.

%!function [correct, total] = read_confusion (lines)
%!  ## The class rows of a confusion table: a class number and name, then
%!  ## one count per predicted class and one for unclassified rows.
%!  correct = 0;  total = 0;  row = 0;
%!  for k = 1:numel (lines)
%!    counts = regexp (lines{k}, '^\s*\d+ \w+((\s+\d+)+)$', 'tokens', 'once');
%!    if (isempty (counts))
%!      continue;
%!    endif
%!    row += 1;
%!    counts = str2num (counts{1});
%!    correct += counts(row);
%!    total += sum (counts);
%!  endfor
%!endfunction

%!test
%! for data_set = {"iris", "wine", "breast_cancer"}
%!   printed = evalc ("r = tarn_demo (data_set{1});");
%!   [X, y, names] = tarn_load_data (data_set{1});
%!   test_count = sum (mod ((1:rows (X))', 3) == 0);
%!   assert (r.data_set, data_set{1});
%!   assert (numel (strfind (printed, "\nGAM training stopped after ")), 1);
%!   assert (numel (strfind (printed, "\nGAM performance phase summary\n")), 2);
%!   assert (! isempty (strfind (printed, sprintf ("%d nodes after %d list presentations", r.nodes, r.passes))));
%!   ## One accuracy line and one confusion table per rule.
%!   parts = strsplit (printed, "accuracy: ");
%!   assert (numel (parts), 3);
%!   accuracy = [r.accuracy_rule0, r.accuracy_rule1];
%!   for rule = 1:2
%!     figures = sscanf (parts{rule + 1}, "%f (%d of %d test rows)");
%!     assert (figures(3), test_count);
%!     assert (figures(2) / test_count, accuracy(rule), 1e-12);
%!     assert (figures(1), accuracy(rule), 5e-5);
%!     [correct, total] = read_confusion (strsplit (parts{rule + 1}, "\n"));
%!     assert ([correct, total], [figures(2), test_count]);
%!     for c = 1:numel (names)
%!       assert (! isempty (strfind (parts{rule + 1}, sprintf ("%d %s", c, names{c}))));
%!     endfor
%!   endfor
%!   assert (min (accuracy) >= 0.9, "%s: accuracy %f", data_set{1}, min (accuracy));
%! endfor

%!test
%! ## Without arguments the demo runs on iris; an unknown name is refused.
%! printed = evalc ("tarn_demo ();");
%! assert (strncmp (printed, "tarn demo: iris, 4 features, 100 training rows, 50 test rows\n", 61));
%!error <no data set 'no_such_set'> tarn_demo ("no_such_set")
