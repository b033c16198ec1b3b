% TARN_EVIDENCE  The evidence of a model's templates for every class.
%
%   [LogEvidence, Classes, BestChoice, Winner] = tarn_evidence (Templates,
%       NLabels, vigilance, Patterns)
%
%   Where tarn_score gives one label per row, tarn_evidence gives a score
%   for every class: something to rank, threshold or turn into
%   probabilities. It rebuilds the nodes from the rows of Templates and
%   presents each row of Patterns once to every node, as tarn_score does;
%   the nodes whose match value reaches the vigilance count for their class.
%
%   For a node and a row x, the choice value is
%   log (prior) - sum (log (sigma)) - d2/2, with
%   d2 = sum (((x - mean) ./ sigma) .^ 2): the log of the node's prior times
%   its Gaussian density, without the constant factor (see help tarn_score).
%
%   All four inputs are required, by position, and are those of
%   tarn_score: Templates (one node per row, every prior 0 or more),
%   NLabels (the class of each row, truncated to an integer), vigilance
%   (in [0, 1]) and Patterns (K-by-M, the features of the templates).
%
%   Any number of outputs from 0 to 4:
%
%   LogEvidence
%              K-by-C: for row k and class c, the log of the sum of
%              exp (choice value) over the nodes of class c that pass the
%              vigilance test for row k: the log of what tarn_score's rule 1
%              adds up for that class. It is computed without underflow
%              (shifted by the class's largest choice value), so it stays
%              finite for rows far from every node, where rule 1's sums are
%              all 0; -Inf where no node of the class passes.
%   Classes    C-by-1: the distinct node labels after the conversion to
%              integers, ascending; column c of LogEvidence is Classes(c).
%   BestChoice K-by-C: the largest choice value among the passing nodes of
%              each class (-Inf where none passes).
%   Winner     K-by-1: the row of Templates of the node that tarn_score's
%              rule 0 (winner-take-all) selects for each row, 0 where no
%              node passes. NLabels(Winner(k)) is rule 0's label.
%
%   A softmax over a row of LogEvidence is the posterior probability of each
%   class given the row (the Gaussians' common factor cancels); subtract
%   the row's largest value first so that nothing overflows.
%
%   Examples:
%
%     % Class probabilities for three held-out iris rows.
%     [X, y] = tarn_load_data('iris');
%     train = mod((1:size(X, 1))', 3) ~= 0;
%     X = (X - mean(X(train, :))) ./ std(X(train, :));
%     [T, L, n] = tarn_learn(X(train, :), y(train), 0, 1, 100, 1, 0, 0);
%     [E, classes] = tarn_evidence(T, L, 0, X([3 81 150], :));
%     P = exp(E - max(E, [], 2));
%     P = P ./ sum(P, 2);
%     [~, best] = max(P, [], 2);
%     predicted = classes(best)'
%     % -> predicted = 1 2 3
%
%     % Far from every node, rule 1 of tarn_score cannot decide (every
%     % exp () is 0 in double precision); the evidence still can.
%     T = [0 1 0.5; 10 1 0.5];
%     rule1 = tarn_score(T, [1; 2], 0, 100, -1, 1, 0)
%     % -> rule1 = -1
%     [E, classes, best, winner] = tarn_evidence(T, [1; 2], 0, 100)
%     % -> winner = 2
%
%   See also tarn_score, tarn_learn.

%!shared T, L, X
%! randn ("state", 9);
%! X = [randn(40, 2); randn(40, 2) + 3; randn(40, 2) - 3];
%! y = [ones(40, 1); 2 * ones(40, 1); 3 * ones(40, 1)];
%! [T, L, n] = tarn_learn (X, y, 0, 1, 100, 1, 0, 0);

%!test
%! ## Winner is rule 0's node; the largest evidence is rule 1's class.
%! [E, classes, best, winner] = tarn_evidence (T, L, 0, X);
%! assert (classes, [1; 2; 3]);
%! assert (L(winner), tarn_score (T, L, 0, X, -1, 0, 0));
%! [~, c] = max (E, [], 2);
%! assert (classes(c), tarn_score (T, L, 0, X, -1, 1, 0));
%! assert (all (all (E >= best)));

%!test
%! ## exp (LogEvidence) is what rule 1 sums, computed straight here.
%! x = [0.5 -0.2];
%! M = 2;
%! d2 = sum (((x - T(:, 1:M)) ./ T(:, M+1:2*M)) .^ 2, 2);
%! terms = T(:, end) ./ prod (T(:, M+1:2*M), 2) .* exp (-d2 / 2);
%! E = tarn_evidence (T, L, 0, x);
%! for c = 1:3
%!   assert (exp (E(c)), sum (terms(L == c)), 1e-12 * sum (terms(L == c)));
%! endfor

%!test
%! ## Vigilance leaves classes out; no passing node gives -Inf and winner 0.
%! [E, classes, best, winner] = tarn_evidence (T, L, 0.5, [100 100]);
%! assert ([E best], -Inf (1, 6));
%! assert (winner, 0);
%! E = tarn_evidence (zeros (0, 5), zeros (0, 1), 0, [1 2]);
%! assert (size (E), [1 0]);

%!error <4 input arguments required; received 2> tarn_evidence (1, 2)
%!error <must have priors of 0 or more; row 1 has -0.5> tarn_evidence ([0 1 -0.5], 1, 0, 0)
%!error <must be 1x2 to match Templates; received 1x1, with Templates> tarn_evidence (T, L, 0, 1)
%!error <at most 4 output arguments; received 5> [a, b, c, d, e] = tarn_evidence (T, L, 0, X)
