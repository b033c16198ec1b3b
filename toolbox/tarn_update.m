function model = tarn_update (model, X, y, varargin)
  % TARN_UPDATE  Train a model further on new rows.
  %
  %   model = tarn_update (model, X, y)
  %   model = tarn_update (model, X, y, Name, Value, ...)
  %
  %   Learns the rows X with labels y into MODEL (made by tarn_fit, or an
  %   earlier tarn_update) through tarn_resume: the nodes go on learning
  %   exactly where training stopped, as if the new rows had followed the
  %   old ones. The model's standardisation (from the first fit) is kept and
  %   applied to X, so its features are in the original units. Labels must
  %   be of the model's kind (numbers, or text for text labels); classes not
  %   seen before are added, and model.classes stays sorted, so a score
  %   column may move.
  %
  %   The training parameters are the model's (model.parameters); options:
  %   'MaxPasses'  passes over the new rows (default: the model's)
  %   'Verbose'    0, 1 or 2, as in tarn_fit
  %
  %   With several voters, member 1 learns the rows in their given order and
  %   members 2..V in orders drawn by tarn_random_order, continuing from
  %   model.rng_state.
  %
  %   Errors have identifiers tarn:update:... (badModel, badX, complexX,
  %   nonFiniteX, featureCount, badLabels, labelCount, missingLabel,
  %   labelKind, optionPairs, unknownOption, badOption); the warnings
  %   tarn:update:conflictingLabels and tarn:update:maxPasses are those of
  %   tarn_fit.
  %
  %   Example:
  %     [X, y] = tarn_load_data ('iris');
  %     model = tarn_fit (X(1:2:end, :), y(1:2:end));
  %     model = tarn_update (model, X(2:2:end, :), y(2:2:end));
  %
  %   See also tarn_fit, tarn_predict.

  if nargin < 3
    error ('tarn:update:arguments', ...
           'tarn_update: a model, X and y are required: model = tarn_update (model, X, y)');
  end
  t0 = tic ();
  tarn_check_model (model, 'update');
  [opts, given] = tarn_options ('update', {'MaxPasses', 'Verbose'}, varargin);
  p = model.parameters;
  if any (strcmp (given, 'MaxPasses'))
    p.MaxPasses = opts.MaxPasses;
  end

  X = tarn_check_patterns (X, 'update');
  [N, M] = size (X);
  if M ~= model.features && N > 0
    error ('tarn:update:featureCount', ...
           'tarn_update: X has %d columns but the model was trained on %d features', ...
           M, model.features);
  end
  old = struct ('kind', model.label_kind, 'classes', {model.classes}, ...
                'categories', {model.categories});
  [idx, info, remap] = tarn_encode_labels (y, N, 'update', old);
  if N == 0
    return
  end
  X = bsxfun (@rdivide, bsxfun (@minus, X, model.center), model.scale);
  tarn_check_conflicts (X, idx, 'update');

  first = struct ('templates', model.templates, 'node_labels', model.node_labels, ...
                  'presentations', model.presentations, 'passes', model.passes);
  members = [first; model.members(:)];
  for v = 1:numel (members)
    members(v).node_labels = remap(members(v).node_labels);
  end
  if opts.Verbose >= 1
    fprintf ('tarn_update: %d rows, %d voters\n', N, numel (members));
    tarn_flush ();
  end
  model = tarn_train_voters (model, members, model.rng_state, X, idx, p, opts.Verbose, t0, ...
                             'update');
  model.classes = info.classes;
  model.categories = info.categories;
  model.rows = model.rows + N;
  model.training_time = model.training_time + toc (t0);
end

%!shared X, y
%! [X, y] = tarn_load_data ('iris');

%!test
%! % One pass on X1 then one on X2 is one pass on [X1; X2], to the bit,
%! % also when X2 brings a new class that sorts first; for every voter.
%! y = y + 1;
%! y(y == 4) = 1;
%! first = y ~= 1;
%! options = {'Standardize', false, 'MaxPasses', 1, 'Voters', 2, 'Seed', 3};
%! a = tarn_fit (X(first, :), y(first), options{:});
%! b = tarn_update (a, X(~first, :), y(~first));
%! c = tarn_fit ([X(first, :); X(~first, :)], [y(first); y(~first)], options{:, 1:6});
%! assert (b.classes, [1; 2; 3]);
%! assert (b.templates, c.templates);
%! assert (b.classes(b.node_labels), c.classes(c.node_labels));
%! assert ([b.presentations, b.passes, b.rows], [150, 2, 150]);
%! [order, state] = tarn_random_order (100, 3);
%! order = [order, 100 + tarn_random_order(50, state)];
%! rows = [find(first); find(~first)];
%! d = tarn_fit (X(rows(order), :), y(rows(order)), options{1:4});
%! assert (b.members(1).templates, d.templates);

%!test
%! % The first fit's standardisation stays; new rows learn in its units.
%! a = tarn_fit (X(1:100, :), y(1:100));
%! b = tarn_update (a, X(101:150, :), y(101:150));
%! assert ([b.center, b.scale], [a.center, a.scale]);
%! assert (b.passes > a.passes);
%! assert (mean (tarn_predict (b, X) == y) > 0.9);
%! c = tarn_update (a, X(101:150, :), y(101:150), 'MaxPasses', 1);
%! assert (c.passes, a.passes + 1);

%!error id=tarn:update:labelKind tarn_update (tarn_fit (X, y), X, cellstr (num2str (y)))
%!error <cannot hold the new label 300> tarn_update (tarn_fit (X, uint8 (y)), X(1, :), 300)
%!error <X has 2 columns but the model was trained on 4 features>
%! tarn_update (tarn_fit (X, y), X(:, 1:2), y)
%!error id=tarn:update:badModel tarn_update ([], X, y)
