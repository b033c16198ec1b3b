function ax = tarn_plot_tuning (result, varargin)
  % TARN_PLOT_TUNING  Heat map of the accuracy over a tarn_tune grid.
  %
  %   tarn_plot_tuning (result)
  %   tarn_plot_tuning (result, 'Parameters', {rows, columns})
  %   ax = tarn_plot_tuning (...)
  %
  %   Draws into the current axes the mean cross-validated accuracy of
  %   the settings that tarn_tune scored, as a heat map over two of its
  %   parameters: one row per value of the first, one column per value of
  %   the second. Each cell has its accuracy and its mean node count
  %   written in; the chosen setting is framed in red and, where another
  %   setting had the highest accuracy, that one is framed in dashes.
  %
  %   'Parameters' names the two parameters (of Vigilance, Gamma,
  %   MaxPasses, Voters, Rule). By default they are the swept ones; with
  %   one swept parameter the map has one row, and with more than two it
  %   shows the two with the most values. The other parameters are held at
  %   the values of the chosen setting (the title lists them). AX is the
  %   axes.
  %
  %   Example:
  %     [X, y] = tarn_load_data ('iris');
  %     result = tarn_tune (X, y, 'Vigilance', [0 0.5 0.9], 'Gamma', [0.5 1 2]);
  %     figure ('Visible', 'off');
  %     tarn_plot_tuning (result);
  %
  %   To save the picture: print (gcf, '-dpng', 'iris_tuning.png'); in
  %   octave-cli, whose gnuplot toolkit needs Ghostscript for -dpng,
  %   print (gcf, '-dpngcairo', 'iris_tuning.png').
  %
  %   See also tarn_tune, tarn_plot, tarn_plot_confusion.

  if nargin < 1 || ~isstruct (result) || ~isscalar (result) || ...
     ~all (isfield (result, {'table', 'swept', 'best', 'top'}))
    error ('tarn:plot:badResult', ...
           'tarn_plot_tuning: the result must be a struct made by tarn_tune; received %s', ...
           tarn_describe (result));
  end
  all_names = {'Vigilance', 'Gamma', 'MaxPasses', 'Voters', 'Rule'};
  table = result.table;
  chosen = table(result.best);
  pick = choose_parameters (result, varargin, all_names);

  % The settings of the slice through the chosen one.
  fixed = setdiff (all_names, pick, 'stable');
  in_slice = true (numel (table), 1);
  for k = 1:numel (fixed)
    in_slice = in_slice & arrayfun (@(r) isequal (r.(fixed{k}), chosen.(fixed{k})), table(:));
  end
  axis_values = cell (1, 2);
  where = zeros (numel (table), 2);
  for d = 1:numel (pick)
    values = arrayfun (@(r) tarn_value_text (r.(pick{d})), table(:), 'UniformOutput', false);
    [axis_values{d}, where(:, d)] = unique_stable (values);
  end
  if numel (pick) == 1
    pick = [{''}, pick];
    axis_values = [{{''}}, axis_values(1)];
    where = [ones(numel (table), 1), where(:, 1)];
  end
  R = numel (axis_values{1});
  K = numel (axis_values{2});
  accuracy = NaN (R, K);
  nodes = NaN (R, K);
  for s = find (in_slice)'
    accuracy(where(s, 1), where(s, 2)) = table(s).accuracy;
    nodes(where(s, 1), where(s, 2)) = table(s).nodes;
  end

  ax = newplot ();
  imagesc ([1 K], [1 R], accuracy, 'Parent', ax);
  colormap (ax, heat_colours ());
  lo = min (accuracy(:));
  hi = max (accuracy(:));
  if hi > lo
    set (ax, 'CLim', [lo hi]);
  end
  bar = colorbar (ax);
  ylabel (bar, 'mean accuracy');
  hold (ax, 'on');
  for r = 1:R
    for k = 1:K
      if isnan (accuracy(r, k))
        continue
      end
      shade = [0 0 0];
      if hi > lo && (accuracy(r, k) - lo) / (hi - lo) > 0.55
        shade = [1 1 1];
      end
      text (k, r - 0.12, sprintf ('%.3f', accuracy(r, k)), 'Parent', ax, ...
            'HorizontalAlignment', 'center', 'Color', shade, 'FontSize', 9, 'FontWeight', 'bold');
      text (k, r + 0.15, sprintf ('%.1f nodes', nodes(r, k)), 'Parent', ax, ...
            'HorizontalAlignment', 'center', 'Color', shade, 'FontSize', 8);
    end
  end
  frame (ax, where(result.best, :), '-', 3);
  if result.top ~= result.best && in_slice(result.top)
    frame (ax, where(result.top, :), '--', 2);
  end
  hold (ax, 'off');
  set (ax, 'XTick', 1:K, 'XTickLabel', axis_values{2}, 'YTick', 1:R, ...
       'YTickLabel', axis_values{1}, 'TickLength', [0 0], 'TickLabelInterpreter', 'none');
  axis (ax, [0.5 K + 0.5 0.5 R + 0.5]);
  across = pick{2};
  if ~isempty (fixed)
    parts = cellfun (@(n) [n ' ' tarn_value_text(chosen.(n))], fixed, 'UniformOutput', false);
    across = [across '   (' strjoin(parts, ', ') ')'];
  end
  xlabel (ax, across);
  ylabel (ax, pick{1});
  heading = sprintf ('%d-fold accuracy, nodes; frame: chosen', numel (result.cv.fold_accuracy));
  if result.top ~= result.best
    heading = [heading ', dashed: most accurate'];
  end
  title (ax, heading);
  if nargout == 0
    clear ax;
  end
end

function pick = choose_parameters (result, args, all_names)
  if ~isempty (args)
    if numel (args) ~= 2 || ~ischar (args{1}) || ~strcmpi (args{1}, 'Parameters')
      error ('tarn:plot:unknownOption', ...
             'tarn_plot_tuning: the only option is ''Parameters'', {rows, columns}');
    end
    pick = args{2};
    given = pick;
    if ischar (pick)
      pick = {pick};
    end
    if ~iscellstr (pick) || isempty (pick) || numel (pick) > 2 || ...
       ~all (ismember (pick, all_names)) || (numel (pick) == 2 && strcmp (pick{1}, pick{2}))
      error ('tarn:plot:badOption', ...
             ['tarn_plot_tuning: Parameters must name one or two of Vigilance, Gamma, ' ...
              'MaxPasses, Voters, Rule; received %s'], tarn_describe (given));
    end
    pick = pick(:)';
    return
  end
  pick = result.swept;
  if numel (pick) > 2
    counts = cellfun (@(n) numel (unique_stable (arrayfun (@(r) tarn_value_text (r.(n)), ...
                                                           result.table(:), ...
                                                           'UniformOutput', false))), pick);
    [~, order] = sort (-counts);
    pick = pick(sort (order(1:2)));
  end
  if isempty (pick)
    pick = {'Gamma'};
  end
end

function [values, where] = unique_stable (list)
  % The distinct strings in the order they first appear, and the position
  % of each element among them.
  values = {};
  where = zeros (numel (list), 1);
  for k = 1:numel (list)
    hit = find (strcmp (values, list{k}), 1);
    if isempty (hit)
      values{end + 1} = list{k}; %#ok<AGROW>
      hit = numel (values);
    end
    where(k) = hit;
  end
end

function frame (ax, cell_at, style, width)
  % A frame around the cell at row CELL_AT(1), column CELL_AT(2).
  r = cell_at(1);
  k = cell_at(2);
  plot (ax, k + [-0.5 0.5 0.5 -0.5 -0.5], r + [-0.5 -0.5 0.5 0.5 -0.5], style, ...
        'Color', [0.85 0 0], 'LineWidth', width);
end

function map = heat_colours ()
  % Pale yellow (low) through green to dark blue (high).
  anchors = [1.00 1.00 0.80
             0.63 0.85 0.71
             0.25 0.71 0.77
             0.17 0.50 0.72
             0.15 0.20 0.58];
  t = linspace (0, 1, 64)';
  map = zeros (64, 3);
  for c = 1:3
    map(:, c) = interp1 (linspace (0, 1, 5)', anchors(:, c), t);
  end
end

%!shared result
%! [X, y] = tarn_load_data ('iris');
%! result = tarn_tune (X, y, 'Vigilance', [0 0.5], 'Gamma', [0.5 1 2], 'KFold', 3);

%!test
%! % One cell per setting, in the grid's order; the chosen one framed.
%! warning ('off', 'Octave:gnuplot-graphics', 'local');
%! f = figure ('Visible', 'off');
%! ax = tarn_plot_tuning (result);
%! img = findobj (ax, 'Type', 'image');
%! assert (get (img, 'CData'), reshape ([result.table.accuracy], 3, 2)');
%! assert (get (ax, 'XTickLabel'), {'0.5'; '1'; '2'});
%! written = get (findobj (ax, 'Type', 'text'), 'String');
%! assert (numel (written), 12);
%! b = result.table(result.best);
%! assert (any (strcmp (written, sprintf ('%.1f nodes', b.nodes))));
%! red = findobj (ax, 'Type', 'line', 'LineWidth', 3);
%! assert (mean (get (red, 'XData')(1:4)), find ([0.5 1 2] == b.Gamma));
%! tarn_plot_tuning (result, 'Parameters', {'Gamma'});
%! assert (size (get (findobj (gca, 'Type', 'image'), 'CData')), [1 3]);
%! close (f);

%!error id=tarn:plot:badResult tarn_plot_tuning (struct ('table', 1))
%!error <Parameters must name one or two of .* received 'Speed'>
%! tarn_plot_tuning (result, 'Parameters', 'Speed');
