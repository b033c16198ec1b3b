function ax = tarn_plot (model, X, y, varargin)
  % TARN_PLOT  Rows, nodes and decision regions of a model in two features.
  %
  %   tarn_plot (model, X, y)
  %   tarn_plot (model, X, y, Name, Value, ...)
  %   ax = tarn_plot (...)
  %
  %   Draws into the current axes, for two features of X (in their own
  %   units):
  %   - the decision regions of the model's rule, on a grid, in light
  %     colours of the classes (white where no class is chosen);
  %   - each node of the model (of its first member, with several voters)
  %     as its mean (x) with the ellipses of 1 and 2 standard deviations
  %     (solid and dashed), in the colour of its class;
  %   - the rows of X, coloured by their labels y (as for tarn_fit; a
  %     label the model does not know gets a colour of its own).
  %   With more than two features, the regions and nodes are a slice:
  %   the other features are held at the model's training means, and the
  %   title says so. AX is the axes.
  %
  %   Options:
  %   'Features'      [1 2]   the two features (columns of X) to show
  %   'Rule'          the model's rule: 'winner', 'sum' or 'evidence'
  %   'Resolution'    200     grid points along each axis for the regions
  %   'FeatureNames'  {}      names of all the features, for the axis labels
  %   'ClassNames'    {}      names of the model's classes, for the legend
  %                           (default: the classes themselves)
  %
  %   Errors have identifiers tarn:plot:... (arguments, badModel,
  %   badOption, featureCount, labelCount, ...).
  %
  %   Example:
  %     [X, y] = tarn_load_data ('iris');
  %     warning ('off', 'tarn:fit:conflictingLabels');  % 3 rows share petal sizes
  %     model = tarn_fit (X(:, 3:4), y);
  %     figure ('Visible', 'off');
  %     tarn_plot (model, X(:, 3:4), y, 'FeatureNames', {'petal length', 'petal width'});
  %
  %   To save the picture: print (gcf, '-dpng', 'iris_nodes.png'); in
  %   octave-cli, whose gnuplot toolkit needs Ghostscript for -dpng,
  %   print (gcf, '-dpngcairo', 'iris_nodes.png').
  %
  %   See also tarn_fit, tarn_predict, tarn_plot_tuning, tarn_plot_confusion.

  if nargin < 3
    error ('tarn:plot:arguments', ...
           'tarn_plot: a model, X and y are required: tarn_plot (model, X, y, Name, Value, ...)');
  end
  tarn_check_model (model, 'plot');
  opts = plot_options (varargin, model);
  X = tarn_check_patterns (X, 'plot');
  M = model.features;
  if size (X, 2) ~= M
    error ('tarn:plot:featureCount', ...
           'tarn_plot: X has %d columns but the model was trained on %d features', size (X, 2), M);
  end
  f = opts.Features;
  if numel (f) ~= 2 || any (f ~= round (f)) || any (f < 1) || any (f > M) || f(1) == f(2)
    error ('tarn:plot:badOption', ...
           'tarn_plot: Features must be two different columns from 1 to %d; received %s', ...
           M, tarn_describe (f));
  end

  % Rows and labels against the model's classes (new classes after them).
  old = struct ('kind', model.label_kind, 'classes', {model.classes}, ...
                'categories', {model.categories});
  [idx, info, remap] = tarn_encode_labels (y, size (X, 1), 'plot', old);
  C = numel (model.classes);
  names = class_names (info.classes, opts.ClassNames, remap);
  colours = palette (numel (info.classes));

  % Nodes of member 1, in the units of X.
  T = model.templates;
  mu = bsxfun (@plus, bsxfun (@times, T(:, 1:M), model.scale), model.center);
  sd = bsxfun (@times, T(:, M + 1:2 * M), model.scale);
  node_class = remap(model.node_labels);

  % The view: the rows and the 2-sd ellipses, with a margin.
  lo = min ([X(:, f); mu(:, f) - 2 * sd(:, f)], [], 1);
  hi = max ([X(:, f); mu(:, f) + 2 * sd(:, f)], [], 1);
  span = hi - lo;
  span(span == 0) = 1;
  lo = lo - 0.05 * span;
  hi = hi + 0.05 * span;

  % Regions: the model classifies the grid, with classes numbered 1..C.
  G = opts.Resolution;
  u = linspace (lo(1), hi(1), G);
  v = linspace (lo(2), hi(2), G);
  [U, V] = meshgrid (u, v);
  P = repmat (model.center, G * G, 1);
  P(:, f(1)) = U(:);
  P(:, f(2)) = V(:);
  numbered = model;
  numbered.classes = (1:C)';
  numbered.label_kind = 'double';
  numbered.categories = {};
  region = tarn_predict (numbered, P, 'Rule', opts.Rule);
  light = [1 1 1; 0.3 * colours(remap, :) + 0.7];
  region(isnan (region)) = 0;
  picture = reshape (light(region + 1, :), G, G, 3);

  ax = newplot ();
  image (u, v, picture, 'Parent', ax);
  set (ax, 'YDir', 'normal');
  hold (ax, 'on');
  t = linspace (0, 2 * pi, 73);
  for j = 1:size (T, 1)
    c = 0.6 * colours(node_class(j), :);
    plot (ax, mu(j, f(1)) + sd(j, f(1)) * cos (t), mu(j, f(2)) + sd(j, f(2)) * sin (t), '-', ...
          'Color', c, 'LineWidth', 1);
    plot (ax, mu(j, f(1)) + 2 * sd(j, f(1)) * cos (t), mu(j, f(2)) + 2 * sd(j, f(2)) * sin (t), ...
          '--', 'Color', c, 'LineWidth', 0.5);
    plot (ax, mu(j, f(1)), mu(j, f(2)), 'x', 'Color', c, 'MarkerSize', 8, 'LineWidth', 2);
  end
  shown = unique (idx)';
  handles = zeros (1, numel (shown));
  for k = 1:numel (shown)
    rows = idx == shown(k);
    handles(k) = plot (ax, X(rows, f(1)), X(rows, f(2)), 'o', 'MarkerSize', 4, ...
                       'MarkerFaceColor', colours(shown(k), :), 'MarkerEdgeColor', [0 0 0]);
  end
  hold (ax, 'off');
  axis (ax, [lo(1) hi(1) lo(2) hi(2)]);
  legend (handles, names(shown), 'Location', 'northwest', 'Interpreter', 'none');
  xlabel (ax, feature_name (opts.FeatureNames, f(1)), 'Interpreter', 'none');
  ylabel (ax, feature_name (opts.FeatureNames, f(2)), 'Interpreter', 'none');
  heading = sprintf ('%d nodes (means, 1 and 2 sd), rule ''%s''', ...
                     size (T, 1), opts.Rule);
  if M > 2
    heading = [heading ', other features at their means'];
  end
  title (ax, heading, 'Interpreter', 'none');
  if nargout == 0
    clear ax;
  end
end

function opts = plot_options (args, model)
  opts = struct ('Features', [1 2], 'Rule', model.parameters.Rule, 'Resolution', 200, ...
                 'FeatureNames', {{}}, 'ClassNames', {{}});
  names = fieldnames (opts);
  if mod (numel (args), 2) ~= 0
    error ('tarn:plot:optionPairs', ...
           'tarn_plot: options come in Name, Value pairs; received %d arguments after y', ...
           numel (args));
  end
  for k = 1:2:numel (args)
    hit = [];
    if ischar (args{k})
      hit = find (strcmpi (names, args{k}));
    end
    if isempty (hit)
      error ('tarn:plot:unknownOption', 'tarn_plot: unknown option %s (options: %s)', ...
             tarn_describe (args{k}), strjoin (names', ', '));
    end
    opts.(names{hit}) = args{k + 1};
  end
  if ~any (strcmp (opts.Rule, {'winner', 'sum', 'evidence'}))
    error ('tarn:plot:badOption', ...
           'tarn_plot: Rule must be ''winner'', ''sum'' or ''evidence''; received %s', ...
           tarn_describe (opts.Rule));
  end
  G = opts.Resolution;
  if ~isnumeric (G) || ~isscalar (G) || G < 2 || G > 2000 || G ~= round (G)
    error ('tarn:plot:badOption', ...
           'tarn_plot: Resolution must be a whole number from 2 to 2000; received %s', ...
           tarn_describe (G));
  end
  opts.Features = double (opts.Features(:)');
end

function names = class_names (classes, given, remap)
  % Legend names of all classes: the given names of the model's classes,
  % else the classes as text.
  names = cell (1, numel (classes));
  for k = 1:numel (classes)
    if iscell (classes)
      names{k} = classes{k};
    else
      names{k} = num2str (classes(k));
    end
  end
  if ~isempty (given)
    names(remap) = given(1:numel (remap));
  end
end

function text = feature_name (names, j)
  if numel (names) >= j
    text = names{j};
  else
    text = sprintf ('feature %d', j);
  end
end

function colours = palette (n)
  % Distinct colours, repeated beyond seven classes.
  base = [0.000 0.447 0.741
          0.850 0.325 0.098
          0.466 0.674 0.188
          0.494 0.184 0.556
          0.929 0.694 0.125
          0.301 0.745 0.933
          0.635 0.078 0.184];
  colours = base(mod (0:n - 1, size (base, 1)) + 1, :);
end

%!shared X, y, model
%! [X, y] = tarn_load_data ('iris');
%! warning ('off', 'tarn:fit:conflictingLabels', 'local');
%! model = tarn_fit (X(:, 3:4), y);

%!test
%! % The regions are the model's labels on the grid; one ellipse pair and
%! % one mean per node; one point series per class.
%! warning ('off', 'Octave:gnuplot-graphics', 'local');
%! f = figure ('Visible', 'off');
%! ax = tarn_plot (model, X(:, 3:4), y, 'Resolution', 20, 'ClassNames', {'a', 'b', 'c'});
%! img = findobj (ax, 'Type', 'image');
%! u = get (img, 'XData');
%! v = get (img, 'YData');
%! [U, V] = meshgrid (linspace (u(1), u(end), 20), linspace (v(1), v(end), 20));
%! labels = reshape (tarn_predict (model, [U(:), V(:)]), 20, 20);
%! red = get (img, 'CData')(:, :, 1);
%! for c = 1:3
%!   assert (numel (unique (red(labels == c))), 1);
%! end
%! assert (numel (unique (red)), numel (unique (labels)));
%! assert (numel (findobj (ax, 'Type', 'line')), 3 * size (model.templates, 1) + 3);
%! assert (get (findobj (f, 'Tag', 'legend'), 'String'), {'a', 'b', 'c'});
%! close (f);

%!error id=tarn:plot:badModel tarn_plot (struct (), X, y)
%!error <Features must be two different columns from 1 to 2; received \[2 2\]>
%! tarn_plot (model, X(:, 3:4), y, 'Features', [2 2]);
%!error <X has 4 columns but the model was trained on 2 features> tarn_plot (model, X, y)
%!error id=tarn:plot:unknownOption tarn_plot (model, X(:, 3:4), y, 'Colour', 1)
