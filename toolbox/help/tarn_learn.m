% TARN_LEARN  Train a Gaussian ARTMAP classifier on labelled patterns.
%
%   [Templates, NLabels, passes] = tarn_learn (Patterns, PLabels, vigilance,
%       gamma, max_list_presentations, no_creation_flag, trim_option, oflag)
%
%   tarn_learn codes each class with a set of Gaussian category nodes: one
%   mean and one standard deviation per feature, a class label and a prior.
%   It presents the training rows again and again, in row order; one pass
%   over all rows is a list presentation. For each row, the nodes whose
%   match value reaches the vigilance compete, and the one with the largest
%   choice value wins. If the winner has the row's label it learns the row
%   (its means and deviations move toward it). If not, the search goes on
%   among the nodes that match the row strictly better than that winner
%   (match tracking); when no node is left, the row becomes a new node.
%
%   The match value of a node for a row x is exp (-d2/2), where
%   d2 = sum (((x - mean) ./ sigma) .^ 2) is the squared distance from the
%   node's mean in units of its deviations, summed over all M features: 1
%   on the mean, smaller further away. The choice value is
%   log (prior) - sum (log (sigma)) - d2/2, the log of the node's Gaussian
%   density times its prior, without the constant factor.
%
%   All eight inputs are required, by position:
%
%   Patterns   P-by-M real matrix: one training pattern per row, M features.
%   PLabels    the class of each row, a P-by-1 or 1-by-P vector. Classes are
%              whole numbers: a node keeps its label as an integer (a label
%              of 2.5 is stored as 2 and never equals the row's 2.5 again).
%   vigilance  in [0, 1]. A node may take a row only when its match value is
%              at least the vigilance. 0 lets every node compete, so nodes
%              are made only where classes conflict: few, broad nodes.
%              Higher values make more, narrower nodes. The match value is
%              taken over all features together, so with many features even
%              a small vigilance such as 0.1 can turn every row into a node.
%   gamma      > 0: the standard deviation that every feature of a new node
%              starts with, in the units of the features.
%   max_list_presentations
%              an integer of at least 1: the most passes over the rows.
%   no_creation_flag
%              0 or 1. 1 stops training after the first pass that made no
%              new node; 0 always makes max_list_presentations passes.
%   trim_option
%              0 or 1. 1 leaves out the nodes that took no row during the
%              last pass; 0 returns every node.
%   oflag      0 to 4, what is printed: 0 nothing; 1 the report at the
%              end; 2 also one line per pass; 3 one line per row and a
%              summary per pass instead of the level-2 line; 4 also a heading
%              per pass and every node that fails the vigilance test.
%
%   The arguments that must be integers are truncated toward zero (2.9 is
%   taken as 2). Any real, full numeric or logical array is read as double;
%   complex, sparse, character, cell and struct arguments are refused.
%
%   All three outputs must be requested:
%
%   Templates  one row per node, 2M+1 columns: the M means, the M standard
%              deviations, then the prior (the share of all row
%              presentations that the node coded). Without trimming the
%              priors sum to 1; trimmed nodes take their share with them.
%   NLabels    a column with the class of each node, in the same order.
%   passes     the number of list presentations made.
%
%   Templates and NLabels are what tarn_score takes to classify new rows.
%
%   Examples:
%
%     % Two classes; train, then classify the training rows.
%     rng(1);
%     X = [randn(50, 2); randn(50, 2) + 4];
%     y = [ones(50, 1); 2 * ones(50, 1)];
%     [T, L, n] = tarn_learn(X, y, 0, 1, 100, 1, 0, 1);
%     accuracy = mean(tarn_score(T, L, 0, X, -1, 0, 0) == y)
%
%     % Standardise the features with the training rows' statistics, apply
%     % the same to every row classified later, and keep the model.
%     [X, y] = tarn_load_data('wine');
%     Xtrain = X(1:2:end, :);  ytrain = y(1:2:end);
%     Xtest = X(2:2:end, :);   ytest = y(2:2:end);
%     mu = mean(Xtrain);  sd = std(Xtrain);  sd(sd == 0) = 1;
%     [T, L, n] = tarn_learn((Xtrain - mu) ./ sd, ytrain, 0, 1, 100, 1, 0, 0);
%     pred = tarn_score(T, L, 0, (Xtest - mu) ./ sd, -1, 0, 0);
%     fprintf('%d nodes, %d of %d test rows right\n', size(T, 1), sum(pred == ytest), numel(ytest));
%     % -> 4 nodes, 83 of 89 test rows right
%     save model.mat T L mu sd
%
%   Notes:
%
%   * Training is incremental, so the result depends on the order of the
%     rows: the same rows in another order give another model. Shuffle,
%     k = randperm(size(X, 1)), and train on X(k, :), y(k) for a
%     different one. The same rows in the same order always give the same
%     model.
%   * Templates and NLabels are plain double matrices: save and load keep
%     them exactly, and nothing else is needed to classify later.
%   * gamma is measured in the units of the features, so choose it
%     relative to their spread. A gamma far below the spread makes new
%     nodes narrow; far above it makes them cover everything. Standardise
%     the features (zero mean, unit deviation) and start with gamma 1.
%   * Vigilance 0 is a good start: it gives compact models that classify
%     well. Raise it only while watching the node count.
%   * The FLOPs figure of the report counts the work of every call since
%     the plug-in was loaded; clear tarn_learn starts it again from 0.
%
%   See also tarn_score, tarn_demo.

%!shared X, y
%! ## Two classes, four apart, in two features.
%! randn ("state", 1);
%! X = [randn(50, 2); randn(50, 2) + 4];
%! y = [ones(50, 1); 2 * ones(50, 1)];

%!test
%! ## The first example: the layout of what comes back.
%! [T, L, n] = tarn_learn (X, y, 0, 1, 100, 1, 0, 0);
%! assert (columns (T), 2 * 2 + 1);
%! assert (size (L), [rows(T) 1]);
%! assert (all (ismember (L, [1 2])));
%! assert (all (all (T(:, 3:4) > 0)));
%! assert (sum (T(:, end)), 1, 1e-12);
%! assert (n >= 1 && n <= 100 && n == fix (n));
%! assert (mean (tarn_score (T, L, 0, X, -1, 0, 0) == y) >= 0.95);

%!test
%! ## Each node's mean lies among the rows of its own class.
%! [T, L, n] = tarn_learn (X, y, 0, 1, 100, 1, 0, 0);
%! for j = 1:rows (T)
%!   own = X(y == L(j), :);
%!   assert (all (T(j, 1:2) >= min (own) - 1e-12 & T(j, 1:2) <= max (own) + 1e-12));
%! endfor

%!test
%! ## Trimming drops nodes and their priors; the rest is unchanged.
%! [T0, L0, n0] = tarn_learn (X, y, 0.5, 1, 5, 0, 0, 0);
%! [T1, L1, n1] = tarn_learn (X, y, 0.5, 1, 5, 0, 1, 0);
%! assert (rows (T1) < rows (T0));
%! [kept, where] = ismember (T1, T0, "rows");
%! assert (all (kept) && issorted (where));
%! assert (L1, L0(where));
%! assert (sum (T1(:, end)) < 1);

%!test
%! ## The order of the rows matters; the same order gives the same model.
%! [T1, L1, n1] = tarn_learn (X, y, 0, 1, 100, 1, 0, 0);
%! [T2, L2, n2] = tarn_learn (X, y, 0, 1, 100, 1, 0, 0);
%! assert (isequal (T1, T2) && isequal (L1, L2) && n1 == n2);
%! k = rows (X):-1:1;
%! [T3, L3, n3] = tarn_learn (X(k, :), y(k), 0, 1, 100, 1, 0, 0);
%! assert (! isequal (T3, T1));

%!test
%! ## save and load keep the templates bit for bit, in every format.
%! [T, L, n] = tarn_learn (X, y, 0, 0.7, 100, 1, 0, 0);
%! file = [tempname() ".mat"];
%! unwind_protect
%!   for format = {"-text", "-binary", "-v7", "-v6"}
%!     T_saved = T;  L_saved = L;
%!     save (format{1}, file, "T_saved", "L_saved");
%!     clear T_saved L_saved
%!     load (file);
%!     assert (isequal (T_saved, T) && isequal (L_saved, L), "format %s", format{1});
%!   endfor
%! unwind_protect_cleanup
%!   unlink (file);
%! end_unwind_protect

%!test
%! ## oflag 0 prints nothing; 1 prints the report only.
%! assert (evalc ("[T, L, n] = tarn_learn (X, y, 0, 1, 100, 1, 0, 0);"), "");
%! out = evalc ("[T, L, n] = tarn_learn (X, y, 0, 1, 100, 1, 0, 1);");
%! assert (strncmp (out, "\nGAM training stopped after ", 28));
%! assert (! isempty (regexp (out, "Training set contained 100 training patterns\n")));

%!test
%! ## no_creation_flag 1 stops early; 0 makes every pass.
%! [~, ~, n1] = tarn_learn (X, y, 0, 1, 50, 1, 0, 0);
%! [~, ~, n0] = tarn_learn (X, y, 0, 1, 50, 0, 0, 0);
%! assert (n1 < 50);
%! assert (n0, 50);

% What a user meets most often: all three outputs, ranges, sizes.
%!error <3 output arguments required> T = tarn_learn (X, y, 0, 1, 10, 1, 0, 0)
%!error <8 input arguments required> [T, L, n] = tarn_learn (X, y, 0, 1)
%!error <vigilance\) must be in \[0,1\]> [T, L, n] = tarn_learn (X, y, 1.5, 1, 10, 1, 0, 0)
%!error <gamma\) must bepositive> [T, L, n] = tarn_learn (X, y, 0, 0, 10, 1, 0, 0)
%!error <must be of type  100x1 or 1x100> [T, L, n] = tarn_learn (X, y(1:99), 0, 1, 10, 1, 0, 0)
%!error <oflag\) must be 0,1,2,3 or 4> [T, L, n] = tarn_learn (X, y, 0, 1, 10, 1, 0, 5)
