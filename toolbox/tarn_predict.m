function [labels, scores] = tarn_predict (model, X, varargin)
  % TARN_PREDICT  Classify rows with a model made by tarn_fit.
  %
  %   labels = tarn_predict (model, X)
  %   [labels, scores] = tarn_predict (model, X, Name, Value, ...)
  %
  %   X is a K-by-M real matrix with the features of the training rows, in
  %   their original units: the model applies its own standardisation.
  %   LABELS are the K predicted labels, of the kind of the training labels
  %   (a column; a char matrix for char labels). A row that is not
  %   classified gets a value that no class can have: NaN for numeric
  %   labels (integer and logical labels then come back as double), '' for
  %   char and cell labels, <missing> for strings, <undefined> for
  %   categorical labels; option 'Unknown' chooses another.
  %
  %   SCORES is K-by-C: the posterior probability of each class given the
  %   row, columns in the order of model.classes. Each node that passes the
  %   vigilance adds exp (choice value) -- its prior times its Gaussian
  %   density, up to a factor common to all nodes -- to its class's
  %   evidence; the scores are the evidence normalised to sum 1 over the
  %   classes (a softmax of tarn_evidence's log-evidence, so they stay
  %   defined where the densities underflow). A row that no node passes is
  %   a row of NaN.
  %
  %   Options:
  %   'Rule'       model.parameters.Rule ('evidence' unless chosen in tarn_fit)
  %                'winner'    the node with the largest choice value
  %                            decides (tarn_score rule 0)
  %                'sum'       the class with the largest sum of
  %                            exp (choice value) over its nodes decides
  %                            (tarn_score rule 1; a row whose sums tie or
  %                            all underflow to 0 is not classified)
  %                'evidence'  the class with the largest score: rule
  %                            'sum' computed without underflow
  %   'Vigilance'  0       match a node must reach to take part; above 0,
  %                        rows far from every node are not classified
  %   'Unknown'    []      label for rows that are not classified
  %   'Verbose'    0       2 prints the report of every classifying call
  %
  %   With several voters (tarn_fit's 'Voters'), every member classifies
  %   every row by the rule; LABELS are the plurality of the members'
  %   labels, ties broken by the summed scores of the tied classes, and
  %   SCORES the mean of the members' scores.
  %
  %   Errors have identifiers tarn:predict:... and say what was received:
  %   badModel, badX, complexX, nonFiniteX, featureCount, optionPairs,
  %   unknownOption, badOption.
  %
  %   Example:
  %     [X, y] = tarn_load_data ('wine');
  %     test = mod ((1:size (X, 1))', 3) == 0;
  %     model = tarn_fit (X(~test, :), y(~test));
  %     [labels, scores] = tarn_predict (model, X(test, :));
  %     fprintf ('accuracy %.3f\n', mean (labels == y(test)));
  %
  %   See also tarn_fit, tarn_update, tarn_crossval.

  if nargin < 2
    error ('tarn:predict:arguments', ...
           'tarn_predict: a model and X are required: labels = tarn_predict (model, X)');
  end
  tarn_check_model (model, 'predict');
  [opts, given] = tarn_options ('predict', {'Rule', 'Vigilance', 'Unknown', 'Verbose'}, varargin);
  if ~any (strcmp (given, 'Rule'))
    opts.Rule = model.parameters.Rule;
  end
  info = struct ('kind', model.label_kind, 'classes', {model.classes}, ...
                 'categories', {model.categories});
  tarn_decode_labels (zeros (0, 1), info, opts.Unknown, 'predict');
  X = tarn_check_patterns (X, 'predict');
  if size (X, 2) ~= model.features
    error ('tarn:predict:featureCount', ...
           'tarn_predict: X has %d columns but the model was trained on %d features', ...
           size (X, 2), model.features);
  end
  X = bsxfun (@rdivide, bsxfun (@minus, X, model.center), model.scale);

  K = size (X, 1);
  C = numel (model.classes);
  V = 1 + numel (model.members);
  rule = find (strcmp (opts.Rule, {'winner', 'sum', 'evidence'})) - 1;
  need_scores = nargout > 1 || V > 1 || rule == 2;
  oflag = double (opts.Verbose >= 2);

  votes = zeros (K, C);
  score_sum = zeros (K, C);
  scored = zeros (K, 1);
  idx = zeros (K, 1);
  for v = 1:V
    if v == 1
      T = model.templates;
      L = model.node_labels;
    else
      T = model.members(v - 1).templates;
      L = model.members(v - 1).node_labels;
    end
    if K == 0
      break
    end
    if need_scores
      [log_evidence, classes] = tarn_evidence (T, L, opts.Vigilance, X);
      full_evidence = -Inf (K, C);
      full_evidence(:, classes) = log_evidence;
      top = max (full_evidence, [], 2);
      e = exp (bsxfun (@minus, full_evidence, top));
      post = bsxfun (@rdivide, e, sum (e, 2));
      defined = ~isnan (post(:, 1));
      score_sum(defined, :) = score_sum(defined, :) + post(defined, :);
      scored = scored + defined;
    end
    if rule == 2
      [~, idx] = max (post, [], 2);
      idx(~defined) = 0;
    else
      idx = tarn_score (T, L, opts.Vigilance, X, 0, rule, oflag);
    end
    if V > 1
      ok = find (idx > 0);
      votes(sub2ind ([K C], ok, idx(ok))) = votes(sub2ind ([K C], ok, idx(ok))) + 1;
    end
  end

  if V > 1
    % Plurality; among the classes with the most votes, the largest
    % summed score.
    most = max (votes, [], 2);
    tied = bsxfun (@eq, votes, most);
    key = score_sum;
    key(~tied) = -Inf;
    [~, idx] = max (key, [], 2);
    idx(most == 0) = 0;
  end
  labels = tarn_decode_labels (idx, info, opts.Unknown, 'predict');
  if nargout > 1
    scores = bsxfun (@rdivide, score_sum, scored);
    scores(scored == 0, :) = NaN;
  end
end

%!shared X, y, model, Z
%! [X, y] = tarn_load_data ('iris');
%! model = tarn_fit (X(1:2:end, :), y(1:2:end));
%! Z = (X - model.center) ./ model.scale;

%!test
%! % Rules winner and sum are tarn_score's; evidence is the largest score;
%! % scores are posteriors in the order of model.classes.
%! [T, L] = deal (model.templates, model.node_labels);
%! rules = {'winner', 'sum'};
%! for rule = 0:1
%!   expected = tarn_score (T, L, 0, Z, 0, rule, 0);
%!   assert (tarn_predict (model, X, 'Rule', rules{rule + 1}), expected);
%! end
%! [labels, scores] = tarn_predict (model, X);
%! [~, best] = max (scores, [], 2);
%! assert (labels, best);
%! assert (sum (scores, 2), ones (150, 1), 1e-12);
%! log_evidence = tarn_evidence (T, L, 0, Z);
%! assert (log (scores(:, 2) ./ scores(:, 3)), log_evidence(:, 2) - log_evidence(:, 3), 1e-9);

%!test
%! % Far from every node every density underflows: rule 'sum' leaves the
%! % row unclassified, 'evidence' still decides, with finite scores.
%! far = X(1, :) + 1000 * model.scale;
%! assert (tarn_predict (model, far, 'Rule', 'sum'), NaN);
%! [label, scores] = tarn_predict (model, far);
%! assert (any (label == [1 2 3]) && all (isfinite (scores)) && abs (sum (scores) - 1) < 1e-12);

%!test
%! % Rows that no node passes: NaN labels and scores, or Unknown.
%! far = [X(1, :); 100 * ones(1, 4)];
%! [labels, scores] = tarn_predict (model, far, 'Vigilance', 0.5);
%! assert (labels, [1; NaN]);
%! assert (isnan (scores(2, :)) & ~isnan (scores(1, :)));
%! assert (tarn_predict (model, far, 'Vigilance', 0.5, 'Unknown', -1, 'Rule', 'winner'), [1; -1]);
%! % Text and integer labels come back in their own kind.
%! words = {'setosa'; 'versicolor'; 'virginica'};
%! m = tarn_fit (X(1:2:end, :), words(y(1:2:end)));
%! assert (tarn_predict (m, far, 'Vigilance', 0.5), {'setosa'; ''});
%! m = tarn_fit (X(1:2:end, :), char (words(y(1:2:end))));
%! assert (tarn_predict (m, far, 'Vigilance', 0.5, 'Unknown', '?'), char ('setosa', '?'));
%! m = tarn_fit (X(1:2:end, :), int8 (y(1:2:end)));
%! assert (tarn_predict (m, far, 'Vigilance', 0.5), [1; NaN]);
%! assert (tarn_predict (m, far, 'Vigilance', 0.5, 'Unknown', 0), int8 ([1; 0]));
%! m = tarn_fit (X(1:2:end, :), y(1:2:end) == 1);
%! assert (tarn_predict (m, far(1, :)), 1);
%! assert (tarn_predict (m, zeros (0, 4)), zeros (0, 1));

%!test
%! % Voting: the plurality of the members' labels, ties broken by the
%! % summed scores; the mean of the members' scores.
%! voters = tarn_fit (X(1:2:end, :), y(1:2:end), 'Voters', 4, 'Rule', 'winner');
%! [labels, scores] = tarn_predict (voters, X);
%! votes = zeros (150, 3);
%! total = zeros (150, 3);
%! for v = 1:4
%!   single = voters;
%!   single.members = voters.members([]);
%!   if (v > 1)
%!     single.templates = voters.members(v - 1).templates;
%!     single.node_labels = voters.members(v - 1).node_labels;
%!   end
%!   [l, s] = tarn_predict (single, X);
%!   votes(sub2ind ([150 3], (1:150)', l)) = votes(sub2ind ([150 3], (1:150)', l)) + 1;
%!   total = total + s;
%! end
%! assert (scores, total / 4, 1e-12);
%! key = votes + (votes == max (votes, [], 2)) .* total / 100;
%! [~, expected] = max (key, [], 2);
%! assert (labels, expected);
%! assert (any (max (votes, [], 2) == 2));

%!error id=tarn:predict:badModel tarn_predict (struct ('a', 1), X)
%!error <X has 3 columns but the model was trained on 4 features> tarn_predict (model, X(:, 1:3))
%!error <the first is Inf at row 1, column 2> tarn_predict (model, [1 Inf 1 1])
%!error id=tarn:predict:badOption tarn_predict (model, X, 'Rule', 2)
%!error id=tarn:predict:badOption tarn_predict (model, X, 'Unknown', 'none')
%!error <did you mean 'Unknown'> tarn_predict (model, X, 'unkown', 0)
