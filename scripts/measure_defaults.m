function measure_defaults ()
  % MEASURE_DEFAULTS  The measurements behind tarn_fit's defaults.
  %
  %   measure_defaults () prints, as Markdown tables, 10-fold stratified
  %   cross-validation (tarn_crossval, seed 1) on the three shipped data
  %   sets:
  %   1. accuracy over a grid of Vigilance and Gamma (standardised rows,
  %      MaxPasses 100, stop after a pass without new nodes) with the rules
  %      'winner' and 'evidence', and the three decision rules at the
  %      defaults;
  %   2. tarn_fit with no option set, with 3, 5 and 9 voters, and a
  %      1-nearest-neighbour classifier on the same folds and the same
  %      standardisation, each with the fold seeds 1, 2 and 3 (30 folds):
  %      accuracy (mean +- standard deviation over the folds), nodes
  %      (training rows for 1-NN), and training and prediction seconds per
  %      fold.
  %   scripts/measure_defaults.sh builds the plug-ins and runs it.

  data_sets = {'iris', 'wine', 'breast_cancer'};
  vigilances = [0 0.1 0.5];
  gammas = [0.1 0.5 1 2 4 10];

  fprintf ('### Vigilance and Gamma (10-fold accuracy)\n\n');
  fprintf ('| data set | vigilance |');
  fprintf (' gamma %g |', gammas);
  fprintf ('\n|---|---:|');
  fprintf ('%s', repmat ('---:|', 1, numel (gammas)));
  fprintf ('\n');
  for d = 1:numel (data_sets)
    [X, y] = tarn_load_data (data_sets{d});
    for v = vigilances
      fprintf ('| %s | %g |', data_sets{d}, v);
      for g = gammas
        cv = quiet_crossval (X, y, 'Vigilance', v, 'Gamma', g, 'Rule', 'winner');
        fprintf (' %.3f / %.3f (%.0f) |', cv.accuracy, evidence_accuracy (cv, y), mean (cv.nodes));
      end
      fprintf ('\n');
    end
  end
  fprintf (['\nEach cell: mean accuracy over the folds with the rules winner / evidence ' ...
            '(mean nodes).\n\n']);

  fprintf ('### Decision rules at the defaults\n\n');
  fprintf ('| data set | winner | sum | evidence |\n|---|---:|---:|---:|\n');
  for d = 1:numel (data_sets)
    [X, y] = tarn_load_data (data_sets{d});
    fprintf ('| %s |', data_sets{d});
    for rule = {'winner', 'sum', 'evidence'}
      cv = quiet_crossval (X, y, 'Rule', rule{1});
      fprintf (' %.3f |', cv.accuracy);
    end
    fprintf ('\n');
  end

  fprintf ('\n### Defaults, voting and 1-nearest-neighbour (10-fold, seeds 1, 2 and 3)\n\n');
  fprintf ('| data set | classifier | accuracy | nodes | training s/fold | prediction s/fold |\n');
  fprintf ('|---|---|---:|---:|---:|---:|\n');
  seeds = 1:3;
  for d = 1:numel (data_sets)
    [X, y] = tarn_load_data (data_sets{d});
    folds = cell (size (seeds));
    for V = [1 3 5 9]
      runs = cell (size (seeds));
      for s = seeds
        runs{s} = quiet_crossval (X, y, 'Voters', V, 'Seed', s);
        folds{s} = runs{s}.folds;
      end
      runs = [runs{:}];
      name = 'tarn, defaults (1 voter)';
      if V > 1
        name = sprintf ('tarn, %d voters', V);
      end
      accuracy = vertcat (runs.fold_accuracy);
      fprintf ('| %s | %s | %.3f +- %.3f | %.1f | %.4f | %.4f |\n', data_sets{d}, name, ...
               mean (accuracy), std (accuracy), mean (vertcat (runs.nodes)), ...
               mean (vertcat (runs.train_time)), mean (vertcat (runs.predict_time)));
    end
    accuracy = [];
    rows = [];
    train_time = [];
    predict_time = [];
    for s = seeds
      [a, r, t, p] = nearest_neighbour (X, y, folds{s});
      accuracy = [accuracy; a]; %#ok<AGROW>
      rows = [rows; r]; %#ok<AGROW>
      train_time = [train_time; t]; %#ok<AGROW>
      predict_time = [predict_time; p]; %#ok<AGROW>
    end
    fprintf ('| %s | 1-nearest neighbour | %.3f +- %.3f | %.1f | %.4f | %.4f |\n', data_sets{d}, ...
             mean (accuracy), std (accuracy), mean (rows), mean (train_time), mean (predict_time));
  end
  fprintf (['\nAccuracy: mean +- standard deviation over the 30 folds; nodes: all voters ' ...
            '(training rows for 1-NN).\n']);
end

function accuracy = evidence_accuracy (cv, y)
  % Rule 'evidence' from the same folds: the class of the largest score.
  [best, predicted] = max (cv.posteriors, [], 2);
  predicted(isnan (best)) = 0;
  [~, ~, truth] = unique (y);
  folds = max (cv.folds);
  correct = zeros (folds, 1);
  for k = 1:folds
    correct(k) = mean (predicted(cv.folds == k) == truth(cv.folds == k));
  end
  accuracy = mean (correct);
end

function cv = quiet_crossval (X, y, varargin)
  state = warning ('off', 'all');
  cv = tarn_crossval (X, y, varargin{:});
  warning (state);
end

function [accuracy, rows, train_time, predict_time] = nearest_neighbour (X, y, folds)
  % 1-NN with the training rows' standardisation, in a few vectorised lines.
  F = max (folds);
  accuracy = zeros (F, 1);
  rows = zeros (F, 1);
  train_time = zeros (F, 1);
  predict_time = zeros (F, 1);
  for k = 1:F
    test = folds == k;
    started = tic ();
    center = mean (X(~test, :), 1);
    scale = std (X(~test, :), 0, 1);
    scale(scale == 0) = 1;
    A = bsxfun (@rdivide, bsxfun (@minus, X(~test, :), center), scale);
    train_time(k) = toc (started);
    started = tic ();
    B = bsxfun (@rdivide, bsxfun (@minus, X(test, :), center), scale);
    D = bsxfun (@plus, sum (B.^2, 2), sum (A.^2, 2)') - 2 * (B * A');
    [~, nearest] = min (D, [], 2);
    ytrain = y(~test);
    predicted = ytrain(nearest);
    predict_time(k) = toc (started);
    accuracy(k) = mean (predicted == y(test));
    rows(k) = size (A, 1);
  end
end
