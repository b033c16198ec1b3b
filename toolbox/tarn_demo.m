function result = tarn_demo(data_set, vigilance, gamma)
  % TARN_DEMO  Train on a shipped data set and classify its held-out rows.
  %
  %   tarn_demo
  %   tarn_demo(data_set)
  %   result = tarn_demo(data_set, vigilance, gamma)
  %
  %   data_set is 'iris' (the default), 'wine' or 'breast_cancer', the data
  %   sets shipped in data/, or any CSV file that tarn_load_data reads.
  %   The split is fixed: every third row (rows 3, 6, 9, ...) is a test
  %   row, the others train. Features are standardised with the training
  %   rows' mean and standard deviation. The demo trains with tarn_learn at
  %   the given vigilance (default 0) and gamma (default 1), at most 100
  %   passes, stopping after a pass that makes no node; then it classifies
  %   the test rows with both decision rules of tarn_score at vigilance 0,
  %   printing both reports, the accuracy and a confusion table for each.
  %
  %   result is a struct with the fields data_set, nodes, passes,
  %   accuracy_rule0 and accuracy_rule1.
  %
  %   Example:
  %
  %     r = tarn_demo('wine');
  %     fprintf('%d nodes, accuracy %.3f and %.3f\n', r.nodes, r.accuracy_rule0, r.accuracy_rule1);
  %     % -> 9 nodes, accuracy 1.000 and 1.000
  %
  %   See also tarn_load_data, tarn_learn, tarn_score.

  if nargin < 1
    data_set = 'iris';
  end
  if nargin < 2
    vigilance = 0;
  end
  if nargin < 3
    gamma = 1;
  end
  [X, y, names] = tarn_load_data(data_set);
  test_rows = mod((1:size(X, 1))', 3) == 0;
  Xtrain = X(~test_rows, :);
  ytrain = y(~test_rows);
  Xtest = X(test_rows, :);
  ytest = y(test_rows);

  mu = mean(Xtrain);
  sd = std(Xtrain);
  sd(sd == 0) = 1;
  Xtrain = (Xtrain - mu) ./ sd;
  Xtest = (Xtest - mu) ./ sd;

  fprintf('tarn demo: %s, %d features, %d training rows, %d test rows\n', ...
          data_set, size(X, 2), size(Xtrain, 1), size(Xtest, 1));
  fprintf(['tarn_learn (vigilance %g, gamma %g, at most 100 passes, ' ...
           'stop when no node is created)\n'], vigilance, gamma);
  [T, L, n] = tarn_learn(Xtrain, ytrain, vigilance, gamma, 100, 1, 0, 1);
  fprintf('%d nodes after %d list presentations\n', size(T, 1), n);

  unknown = -1;
  rule_names = {'winner-take-all', 'per-label sums'};
  accuracy = zeros(1, 2);
  for rule = 0:1
    fprintf('\ntarn_score, decision rule %d (%s), vigilance 0\n', rule, rule_names{rule + 1});
    predicted = tarn_score(T, L, 0, Xtest, unknown, rule, 1);
    accuracy(rule + 1) = mean(predicted == ytest);
    fprintf('accuracy: %.4f (%d of %d test rows)\n', accuracy(rule + 1), ...
            sum(predicted == ytest), numel(ytest));
    print_confusion(ytest, predicted, names, unknown);
  end

  if nargout > 0
    result = struct('data_set', data_set, 'nodes', size(T, 1), 'passes', n, ...
                    'accuracy_rule0', accuracy(1), 'accuracy_rule1', accuracy(2));
  end
end

function print_confusion(truth, predicted, names, unknown)
  classes = unique(truth)';
  fprintf('confusion (rows: true class, columns: predicted; ? = unclassified)\n');
  fprintf('%16s', '');
  fprintf('%8d', classes);
  fprintf('%8s\n', '?');
  for c = classes
    if c >= 1 && c <= numel(names) && c == fix(c)
      fprintf('%16s', sprintf('%d %s', c, names{c}));
    else
      fprintf('%16s', sprintf('%g', c));
    end
    for d = classes
      fprintf('%8d', sum(truth == c & predicted == d));
    end
    fprintf('%8d\n', sum(truth == c & predicted == unknown));
  end
end
