function model = tarn_train_voters (model, members, state, X, y, p, verbose, started, cmd)
  % TARN_TRAIN_VOTERS  Train every member of a model and store them in it.
  %
  %   model = tarn_train_voters (model, members, state, X, y, p, verbose,
  %   started, cmd) trains each of the V MEMBERS (a struct array as
  %   tarn_train takes, their node labels already class numbers of Y) on the
  %   rows X with class numbers Y through tarn_train: member 1 in the rows'
  %   given order, members 2..V each in an order drawn by tarn_random_order,
  %   continuing from STATE. With VERBOSE 1 or 2 the pass lines of a model
  %   of several voters start with 'voter V, '. It warns
  %   (tarn:CMD:maxPasses, tarn_warn_max_passes) when training stopped at
  %   MaxPasses too early, then stores member 1 in model.templates,
  %   node_labels, presentations and passes, members 2..V in model.members
  %   and the state after the last draw in model.rng_state.

  V = numel (members);
  N = size (X, 1);
  last_new = zeros (V, 1);
  for v = 1:V
    if v == 1
      order = 1:N;
    else
      [order, state] = tarn_random_order (N, state);
    end
    heading = '';
    if V > 1
      heading = sprintf ('voter %d, ', v);
    end
    trained = tarn_train (members(v), X(order, :), y(order), p, verbose, heading, started);
    last_new(v) = trained.last_new_nodes;
    members(v) = rmfield (trained, 'last_new_nodes');
  end
  tarn_warn_max_passes (members, last_new, p, cmd);

  model.templates = members(1).templates;
  model.node_labels = members(1).node_labels;
  model.presentations = members(1).presentations;
  model.passes = members(1).passes;
  model.members = reshape (members(2:end), [], 1);
  model.rng_state = state;
end
