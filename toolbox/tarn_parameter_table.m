function text = tarn_parameter_table()
  % TARN_PARAMETER_TABLE  What the shipped data sets give at a few settings.
  %
  %   tarn_parameter_table
  %   text = tarn_parameter_table()
  %
  %   A Markdown table of the nodes and passes of tarn_learn and the
  %   accuracy of tarn_score with both decision rules, on the shipped data
  %   sets at a few vigilance and gamma settings. Without an output it is
  %   printed.
  %
  %   Each data set is split as in tarn_demo: every third row (rows 3, 6,
  %   9, ...) is a test row, the others train, and the features are
  %   standardised with the training rows' mean and standard deviation.
  %   Training makes at most 100 passes, stops after a pass that creates no
  %   node and trims nothing; classification uses vigilance 0.
  %
  %   The user guide shows this table; scripts/parameter_table.sh prints
  %   it, or writes it into the guide.
  %
  %   See also tarn_demo, tarn_load_data.

  settings = [0 0.5; 0 1; 0 2; 0.1 1; 0.5 1];   % vigilance, gamma
  lines = {['| data set | vigilance | gamma | nodes | passes | accuracy, rule 0 ' ...
            '| accuracy, rule 1 |'], ...
           '|---|---:|---:|---:|---:|---:|---:|'};
  for data_set = {'iris', 'wine', 'breast_cancer'}
    [X, y] = tarn_load_data(data_set{1});
    test_rows = mod((1:size(X, 1))', 3) == 0;
    mu = mean(X(~test_rows, :));
    sd = std(X(~test_rows, :));
    sd(sd == 0) = 1;
    X = (X - mu) ./ sd;
    Xtrain = X(~test_rows, :);
    ytrain = y(~test_rows);
    Xtest = X(test_rows, :);
    ytest = y(test_rows);
    for k = 1:size(settings, 1)
      [T, L, n] = tarn_learn(Xtrain, ytrain, settings(k, 1), settings(k, 2), 100, 1, 0, 0);
      accuracy = zeros(1, 2);
      for rule = 0:1
        accuracy(rule + 1) = mean(tarn_score(T, L, 0, Xtest, -1, rule, 0) == ytest);
      end
      lines{end + 1} = sprintf('| %s | %g | %g | %d | %d | %.3f | %.3f |', data_set{1}, ...
                               settings(k, 1), settings(k, 2), size(T, 1), n, accuracy); %#ok<AGROW>
    end
  end
  text = sprintf('%s\n', lines{:});
  if nargout == 0
    fprintf('%s', text);
    clear text;
  end
end
