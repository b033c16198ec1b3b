% TARN_SCORE  Classify patterns with the templates learnt by tarn_learn.
%
%   Labels = tarn_score (Templates, NLabels, vigilance, Patterns,
%       unknown_label, decision_option, oflag)
%
%   tarn_score rebuilds the Gaussian category nodes from the rows of
%   Templates and presents each row of Patterns once to every node. The
%   nodes whose match value reaches the vigilance take part in the
%   decision; the others are left out for that row. A row that no decision
%   can be made for gets unknown_label.
%
%   For a node and a row x, with d2 = sum (((x - mean) ./ sigma) .^ 2):
%     match value   exp (-d2/2): 1 on the node's mean, smaller further away;
%     choice value  log (prior) - sum (log (sigma)) - d2/2, the log of the
%                   node's prior times its Gaussian density, without the
%                   constant factor.
%
%   All seven inputs are required, by position:
%
%   Templates  J-by-(2M+1) matrix, one node per row: M means, M standard
%              deviations, the prior, as tarn_learn returns it. M is taken
%              as fix ((columns - 1) / 2). Every prior must be 0 or more.
%   NLabels    the class of each template row, J-by-1 or 1-by-J. Labels
%              are used as integers (truncated toward zero).
%   vigilance  in [0, 1]. Only nodes whose match value is at least the
%              vigilance decide a row. 0 lets every node take part, so
%              under rule 0 every row is classified (a row holding NaN
%              matches no node). Higher values leave rows that are far
%              from every node unclassified: an "I do not know" answer
%              instead of a guess.
%   Patterns   K-by-M real matrix, one row to classify per row, with the
%              same M features as the templates (and the same scaling as
%              the training rows).
%   unknown_label
%              the label given to a row that is not classified; truncated
%              to an integer (NaN gives 0). Choose a value that is no class,
%              such as -1 or 0.
%   decision_option
%              0 or 1, the decision rule:
%              0  winner-take-all: the node with the largest choice value
%                 decides; on equal values the lower-numbered node wins.
%                 A row is unclassified only when no node passes.
%              1  per-label sums: each label adds exp (choice value) over
%                 its passing nodes (its prior-weighted density), and the
%                 label with the largest sum wins. Several weak nodes of
%                 one class can outvote one strong node of another. A row
%                 is unclassified when two labels tie for the largest sum,
%                 or when every sum is 0 (no node passes, or the row is so
%                 far away that every term is 0 in double precision).
%   oflag      0 to 3, what is printed: 0 nothing; 1 the report at the
%              end; 2 also one result line per row; 3 also, per row, the
%              choice value of every passing node and every node that fails
%              the vigilance test.
%
%   Arguments that must be integers are truncated toward zero (1.9 is
%   taken as 1). Any real, full numeric or logical array is read as double.
%
%   Labels     K-by-1 column of doubles: the predicted class of each row,
%              or unknown_label.
%
%   Examples:
%
%     % Train on iris, then classify the held-out rows with both rules.
%     [X, y] = tarn_load_data('iris');
%     train = mod((1:size(X, 1))', 3) ~= 0;
%     X = (X - mean(X(train, :))) ./ std(X(train, :));
%     [T, L, n] = tarn_learn(X(train, :), y(train), 0, 1, 100, 1, 0, 0);
%     p0 = tarn_score(T, L, 0, X(~train, :), -1, 0, 1);
%     p1 = tarn_score(T, L, 0, X(~train, :), -1, 1, 1);
%     accuracy = [mean(p0 == y(~train)), mean(p1 == y(~train))]
%     % -> accuracy = 0.9400 0.9400
%
%     % A stricter vigilance: rows far from every node come back as -1.
%     % One node of class 5: mean 0, deviation 1, prior 1.
%     labels = tarn_score([0 1 1], 5, 0.01, [0.5; 1; 4], -1, 0, 0)'
%     % -> labels = 5 5 -1
%
%     % Keep a model with the scaling of its rows; classify with it later.
%     [X, y] = tarn_load_data('wine');
%     mu = mean(X);  sd = std(X);
%     [T, L, n] = tarn_learn((X - mu) ./ sd, y, 0, 1, 100, 1, 0, 0);
%     save model.mat T L mu sd
%     clear T L mu sd
%     load model.mat
%     labels = tarn_score(T, L, 0, (X([1 60 178], :) - mu) ./ sd, -1, 0, 0)'
%     % -> labels = 1 2 3
%
%   Notes:
%
%   * Scale new rows exactly as the training rows were scaled: the
%     templates are in the units that tarn_learn saw.
%   * Templates are plain matrices: they can be saved, loaded, inspected,
%     and joined. Rows of two models can be stacked with their labels, and
%     a row can be dropped, as long as every prior stays 0 or more.
%   * The FLOPs figure of the report counts the node work of every call
%     since the plug-in was loaded; clear tarn_score starts it again.
%
%   See also tarn_learn, tarn_demo.

%!shared T, L, X, y
%! ## Three classes in two features, 8 apart; the model of vigilance 0.
%! randn ("state", 3);
%! centres = [0 0; 8 0; 0 8];
%! X = [];  y = [];
%! for c = 1:3
%!   X = [X; centres(c, :) + 0.5 * randn(40, 2)];
%!   y = [y; c * ones(40, 1)];
%! endfor
%! [T, L, n] = tarn_learn (X, y, 0, 1, 100, 1, 0, 0);

%!test
%! ## Both rules classify the training rows and fresh rows of each class.
%! randn ("state", 4);
%! fresh = [0 0; 8 0; 0 8] + 0.5 * randn (3, 2);
%! for rule = 0:1
%!   p = tarn_score (T, L, 0, X, -1, rule, 0);
%!   assert (size (p), [rows(X) 1]);
%!   assert (mean (p == y) >= 0.98);
%!   assert (tarn_score (T, L, 0, fresh, -1, rule, 0), [1; 2; 3]);
%! endfor

%!test
%! ## Vigilance leaves far rows unclassified; unknown_label is truncated.
%! far = [4 4; 100 100; 0 0];
%! assert (tarn_score (T, L, 0, far(3, :), -1, 0, 0), 1);
%! p = tarn_score (T, L, 0.5, far, -7.9, 0, 0);
%! assert (p(1:2), [-7; -7]);
%! assert (p(3), 1);
%! p = tarn_score (T, L, 0.5, far, NaN, 1, 0);
%! assert (p(1:2), [0; 0]);

%!test
%! ## Rule 1: two weaker nodes of one label outvote a stronger node.
%! T3 = [0 1 0.4; 0 1 0.3; 0 1 0.3];
%! assert (tarn_score (T3, [1 2 2], 0, 0.1, -1, 0, 0), 1);
%! assert (tarn_score (T3, [1 2 2], 0, 0.1, -1, 1, 0), 2);
%! ## Equal sums for two labels decide nothing.
%! assert (tarn_score (T3(2:3, :), [1 2], 0, 0.1, -1, 1, 0), -1);

%!test
%! ## Templates are plain matrices: a saved model classifies the same,
%! ## and the rows of two models can be stacked.
%! file = [tempname() ".mat"];
%! unwind_protect
%!   T_saved = T;  L_saved = L;
%!   save ("-binary", file, "T_saved", "L_saved");
%!   clear T_saved L_saved
%!   load (file);
%!   assert (tarn_score (T_saved, L_saved, 0, X, -1, 0, 0),
%!           tarn_score (T, L, 0, X, -1, 0, 0));
%! unwind_protect_cleanup
%!   unlink (file);
%! end_unwind_protect
%! [T2, L2, n2] = tarn_learn ([20 20; 20.5 20], [4; 4], 0, 1, 10, 1, 0, 0);
%! p = tarn_score ([T; T2], [L; L2], 0, [0 0; 20.2 20], -1, 0, 0);
%! assert (p, [1; 4]);

%!test
%! ## oflag 2 prints one line per row after the list header.
%! out = evalc ("p = tarn_score (T, L, 0.5, [0 0; 100 100], -1, 0, 2);");
%! assert (strncmp (out, ["\nList presentation of 2 patterns:\n" ...
%!                       "   Pattern #1 selected by node #"], 64));
%! assert (! isempty (strfind (out, "   Pattern #2 could not be classified\n")));
%! assert (! isempty (strfind (out, "unable to classify 1 patterns (50.000000%)\n")));
%! assert (evalc ("p = tarn_score (T, L, 0.5, [0 0; 100 100], -1, 0, 0);"), "");

% What a user meets most often: one output, matching widths, priors.
%!error <1 output argument required> [p, q] = tarn_score (T, L, 0, X, -1, 0, 0)
%!error <7 input arguments required> p = tarn_score (T, L, 0, X)
%!error <Patterns\) must be of type  120x2> p = tarn_score (T, L, 0, [X X], -1, 0, 0)
%!error <NLabels\) must be of type> p = tarn_score (T, L(2:end), 0, X, -1, 0, 0)
%!error <vigilance\) must be in \[0.0, 1.0\]> p = tarn_score (T, L, 2, X, -1, 0, 0)
%!error <decision_option\) must be 0 or 1> p = tarn_score (T, L, 0, X, -1, 2, 0)
%!error <negative or undefined prior in row 1> p = tarn_score ([0 1 -1], 1, 0, 0, -1, 0, 0)
