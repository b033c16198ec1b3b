function cv = tarn_crossval (X, y, varargin)
  % TARN_CROSSVAL  Cross-validated accuracy of tarn_fit and tarn_predict.
  %
  %   cv = tarn_crossval (X, y)
  %   cv = tarn_crossval (X, y, Name, Value, ...)
  %
  %   Splits the rows into folds, and for each fold trains tarn_fit on the
  %   other rows and classifies the fold's rows with tarn_predict. X and y
  %   are as for tarn_fit.
  %
  %   Options:
  %   'KFold'   10    number of folds, stratified: each class's rows are put
  %                   in an order drawn by tarn_random_order from Seed and
  %                   dealt to the folds in turn, so every fold has about the
  %                   same share of each class and folds differ in size by
  %                   at most one row. The same Seed gives the same folds in
  %                   Octave and in MATLAB.
  %   'Folds'   []    a given partition instead: one fold number per row
  %                   (any whole numbers; fold k is the k-th smallest)
  %   'Unknown' []    label of rows that are not classified (see
  %                   tarn_predict)
  %   'Parallel' 'off' where the folds run: 'off' in order in this session;
  %                   'local' on every core of this machine, or a number of
  %                   worker processes (Octave's parallel package, parcellfun;
  %                   MATLAB: parfor on the open pool); the connections that
  %                   pconnect returns, on the servers of a cluster
  %                   (netcellfun; tarn on each server's path). The results
  %                   are the same to the bit wherever the folds run.
  %   Every option of tarn_fit passes through to it (Vigilance, Gamma,
  %   MaxPasses, StopWhenNoNewNodes, Trim, Standardize, Voters, Seed,
  %   Verbose, Rule); the fold models classify with their Rule. Verbose 1
  %   also prints one line per fold.
  %
  %   CV fields:
  %     accuracy        mean of the folds' accuracies (unclassified rows
  %                     count as errors)
  %     accuracy_std    their standard deviation
  %     fold_accuracy   accuracy of each fold (F-by-1)
  %     classes         the classes, in the order of a model fitted on all
  %                     rows (tarn_fit's model.classes)
  %     confusion       C-by-C counts: row i, column j counts the rows of
  %                     class i predicted as class j
  %     unclassified    C-by-1 counts of each class's rows not classified
  %     predictions     the predicted label of every row, of the kind of y
  %     posteriors      N-by-C scores of every row (tarn_predict), columns
  %                     in the order of classes
  %     folds           fold number of every row (N-by-1)
  %     nodes           nodes of each fold's model, all voters (F-by-1)
  %     train_time      seconds of tarn_fit in each fold (F-by-1)
  %     predict_time    seconds of tarn_predict in each fold (F-by-1)
  %     options         the options given
  %
  %   Each fold is an independent task (rows, options and seed in, a
  %   result struct out), run where Parallel says.
  %
  %   Example:
  %     [X, y] = tarn_load_data ('iris');
  %     cv = tarn_crossval (X, y);
  %     fprintf ('accuracy %.3f +- %.3f\n', cv.accuracy, cv.accuracy_std);
  %
  %   See also tarn_fit, tarn_predict, tarn_random_order.

  if nargin < 2
    error ('tarn:crossval:arguments', ...
           'tarn_crossval: X and y are required: cv = tarn_crossval (X, y, Name, Value, ...)');
  end
  fit_names = {'Vigilance', 'Gamma', 'MaxPasses', 'StopWhenNoNewNodes', 'Trim', ...
               'Standardize', 'Voters', 'Seed', 'Verbose', 'Rule'};
  [opts, given] = tarn_options ('crossval', ...
                                [{'KFold', 'Folds', 'Unknown', 'Parallel'}, fit_names], ...
                                varargin);
  engine = tarn_parallel_engine (opts.Parallel, 'crossval');
  X = tarn_check_patterns (X, 'crossval');
  N = size (X, 1);
  [idx, info] = tarn_encode_labels (y, N, 'crossval');
  C = numel (info.classes);

  if any (strcmp (given, 'Folds'))
    folds = opts.Folds;
    whole = isnumeric (folds) && isreal (folds) && numel (folds) == N;
    whole = whole && all (isfinite (folds(:))) && all (folds(:) == round (folds(:)));
    if ~whole
      error ('tarn:crossval:badOption', ...
             ['tarn_crossval: Folds must hold a whole number for each of the %d rows; ' ...
              'received %s'], N, tarn_describe (folds));
    end
    [~, ~, folds] = unique (folds(:));
    folds = folds(:);
    F = max ([folds; 0]);
    if F < 2
      error ('tarn:crossval:badOption', ...
             'tarn_crossval: Folds must name at least 2 folds; received %d', F);
    end
  else
    F = opts.KFold;
    if F > N
      error ('tarn:crossval:badOption', 'tarn_crossval: KFold %d is more than the %d rows', F, N);
    end
    folds = stratified_folds (idx, C, F, opts.Seed);
  end

  fit_args = {};
  for k = 1:numel (given)
    if any (strcmp (given{k}, fit_names)) && ~strcmp (given{k}, 'Seed')
      fit_args = [fit_args, given(k), {opts.(given{k})}]; %#ok<AGROW>
    end
  end
  tasks = struct ('fold', num2cell ((1:F)'), 'train', [], 'test', [], 'classes', C, ...
                  'seed', opts.Seed);
  for k = 1:F
    tasks(k).train = find (folds ~= k);
    tasks(k).test = find (folds == k);
  end

  inputs = cell (F, 1);
  for k = 1:F
    inputs{k} = {tasks(k), fit_args};
  end
  progress = [];
  if opts.Verbose >= 1
    progress = @(k, result) report_fold (k, F, result);
  end
  results = tarn_run_tasks (engine, 'tarn_crossval_fold', {X, idx}, inputs, progress);

  predicted = zeros (N, 1);
  cv = struct ();
  cv.posteriors = NaN (N, C);
  cv.fold_accuracy = zeros (F, 1);
  cv.nodes = zeros (F, 1);
  cv.train_time = zeros (F, 1);
  cv.predict_time = zeros (F, 1);
  for k = 1:F
    r = results{k};
    predicted(r.test) = r.predicted;
    cv.posteriors(r.test, :) = r.posteriors;
    cv.fold_accuracy(k) = r.accuracy;
    cv.nodes(k) = r.nodes;
    cv.train_time(k) = r.train_time;
    cv.predict_time(k) = r.predict_time;
  end
  ok = predicted > 0;
  cv.accuracy = mean (cv.fold_accuracy);
  cv.accuracy_std = std (cv.fold_accuracy);
  cv.classes = info.classes;
  cv.confusion = accumarray ([idx(ok), predicted(ok)], 1, [C C]);
  cv.unclassified = accumarray ([idx(~ok); C + 1], 1);
  cv.unclassified = cv.unclassified(1:C);
  cv.predictions = tarn_decode_labels (predicted, info, opts.Unknown, 'crossval');
  cv.folds = folds;
  cv.options = opts;
  cv = orderfields (cv, {'accuracy', 'accuracy_std', 'fold_accuracy', 'classes', 'confusion', ...
                         'unclassified', 'predictions', 'posteriors', 'folds', 'nodes', ...
                         'train_time', 'predict_time', 'options'});
  if opts.Verbose >= 1
    fprintf ('%d-fold cross-validation: accuracy %.4f +- %.4f, %.1f nodes\n', F, cv.accuracy, ...
             cv.accuracy_std, mean (cv.nodes));
  end
end

function report_fold (k, F, result)
  fprintf ('fold %d of %d: accuracy %.4f, %d nodes, %.2f s\n', k, F, result.accuracy, ...
           result.nodes, result.train_time + result.predict_time);
  tarn_flush ();
end

function folds = stratified_folds (idx, C, F, seed)
  % Each class's rows in a seeded order, dealt to folds 1..F in turn,
  % continuing from class to class.
  folds = zeros (numel (idx), 1);
  state = seed;
  dealt = 0;
  for c = 1:C
    rows = find (idx == c);
    [order, state] = tarn_random_order (numel (rows), state);
    rows = rows(order);
    folds(rows) = mod (dealt + (0:numel (rows) - 1)', F) + 1;
    dealt = dealt + numel (rows);
  end
end

%!shared X, y
%! [X, y] = tarn_load_data ('iris');

%!test
%! % Stratified, seeded folds; every row predicted once, by a model that
%! % did not see it.
%! cv = tarn_crossval (X, y, 'KFold', 5, 'Seed', 7);
%! assert (accumarray ([cv.folds, y], 1), 10 * ones (5, 3));
%! assert (isequal (tarn_crossval (X, y, 'KFold', 5, 'Seed', 7).folds, cv.folds));
%! assert (~isequal (tarn_crossval (X, y, 'KFold', 5, 'Seed', 8).folds, cv.folds));
%! test = cv.folds == 2;
%! model = tarn_fit (X(~test, :), y(~test));
%! [labels, scores] = tarn_predict (model, X(test, :));
%! assert (cv.predictions(test), labels);
%! assert (cv.posteriors(test, :), scores);
%! assert (cv.fold_accuracy(2), mean (labels == y(test)));
%! assert (cv.accuracy, mean (cv.fold_accuracy));
%! assert (sum (cv.confusion(:)) + sum (cv.unclassified), 150);
%! assert (trace (cv.confusion), sum (cv.predictions == y));
%! assert (size (cv.nodes), [5 1]);

%!test
%! % A given partition, options passed through, text labels and a class
%! % that one fold's training rows lack.
%! words = {'b'; 'a'; 'c'};
%! labels = words(y);
%! labels{150} = 'z';
%! folds = 1 + (1:150)' - 3 * floor ((0:149)' / 3) - 1;
%! cv = tarn_crossval (X, labels, 'Folds', folds * 10, 'Gamma', 0.5, 'Voters', 2);
%! assert (cv.classes, {'a'; 'b'; 'c'; 'z'});
%! assert (cv.unclassified, zeros (4, 1));
%! assert (cv.confusion(4, :), [0 0 1 0]);
%! assert (all (cv.posteriors(150, :) == [0 0 1 0] | cv.posteriors(150, :) < 1));
%! assert (numel (cv.fold_accuracy), 3);

%!test
%! % The folds in worker processes: the same results to the bit.
%! if (exist ('OCTAVE_VERSION', 'builtin') ~= 0 && isempty (pkg ('list', 'parallel')))
%!   return;
%! end
%! serial = tarn_crossval (X, y, 'KFold', 4, 'Voters', 2, 'Rule', 'sum');
%! local = tarn_crossval (X, y, 'KFold', 4, 'Voters', 2, 'Rule', 'sum', 'Parallel', 2);
%! varying = {'train_time', 'predict_time', 'options'};
%! assert (isequaln (rmfield (local, varying), rmfield (serial, varying)));

%!error <Parallel must be 'off', 'local', a number of workers.*received 'gpu'>
%! tarn_crossval (X, y, 'Parallel', 'gpu')
%!error <KFold 200 is more than the 150 rows> tarn_crossval (X, y, 'KFold', 200)
%!error id=tarn:crossval:badOption tarn_crossval (X, y, 'KFold', 1)
%!error <Folds must hold a whole number for each of the 150 rows>
%! tarn_crossval (X, y, 'Folds', [1 2])
%!error id=tarn:crossval:badOption tarn_crossval (X, y, 'Folds', ones (150, 1))
