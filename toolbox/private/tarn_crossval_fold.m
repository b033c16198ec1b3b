function result = tarn_crossval_fold (X, idx, task, fit_args)
  % TARN_CROSSVAL_FOLD  One fold of tarn_crossval, an independent task.
  %
  %   result = tarn_crossval_fold (X, idx, task, fit_args) trains tarn_fit on
  %   the rows TASK.train of X with class numbers IDX (1..TASK.classes),
  %   options FIT_ARGS and seed TASK.seed, and classifies the rows TASK.test.
  %   RESULT has the fields fold, test, predicted (class numbers, 0 where
  %   not classified), posteriors (a column per class of all the data),
  %   accuracy, nodes, train_time and predict_time. It reads and writes
  %   nothing else, so folds may run in any order or in other processes.

  started = tic ();
  model = tarn_fit (X(task.train, :), idx(task.train), fit_args{:}, 'Seed', task.seed);
  train_time = toc (started);
  started = tic ();
  [predicted, scores] = tarn_predict (model, X(task.test, :));
  predict_time = toc (started);

  predicted(isnan (predicted)) = 0;
  posteriors = zeros (numel (task.test), task.classes);
  posteriors(:, model.classes) = scores;
  posteriors(isnan (scores(:, 1)), :) = NaN;
  nodes = size (model.templates, 1);
  for v = 1:numel (model.members)
    nodes = nodes + size (model.members(v).templates, 1);
  end
  result = struct ('fold', task.fold, 'test', task.test, 'predicted', predicted, ...
                   'posteriors', posteriors, 'accuracy', mean (predicted == idx(task.test)), ...
                   'nodes', nodes, 'train_time', train_time, 'predict_time', predict_time);
end
