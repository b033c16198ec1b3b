function result = tarn_tune (X, y, varargin)
  % TARN_TUNE  Choose training settings by cross-validation over a grid.
  %
  %   result = tarn_tune (X, y)
  %   result = tarn_tune (X, y, Name, Value, ...)
  %   tarn_tune (X, y, ...)      prints the table of results
  %
  %   Cross-validates (tarn_crossval) tarn_fit at every combination of the
  %   values given for the grid options, chooses one setting and fits it on
  %   all rows. X and y are as for tarn_fit.
  %
  %   Grid options: each a vector of numbers (Rule: a string or a cell array
  %   of strings); one value fixes the option, several sweep it:
  %   'Vigilance'  values from 0 to 1
  %   'Gamma'      values greater than 0
  %   'MaxPasses'  whole numbers of at least 1
  %   'Voters'     whole numbers of at least 1
  %   'Rule'       'winner', 'sum', 'evidence'
  %   An option not given keeps the default of tarn_fit. Without any grid
  %   option, the grid is Vigilance [0 0.25 0.5 0.75] by Gamma
  %   [0.25 0.5 1 2 4].
  %
  %   Other options:
  %   'KFold', 'Folds', 'Seed', 'Unknown'    as for tarn_crossval: every
  %                  setting is scored on the same folds
  %   'StopWhenNoNewNodes', 'Trim', 'Standardize'
  %                  training options of every setting (see tarn_fit)
  %   'Parallel'  'off'  where the settings run, each an independent task:
  %                  'off', 'local', a number of workers or the connections
  %                  from pconnect (see tarn_crossval). A grid of one
  %                  setting runs its folds that way instead.
  %   'Verbose'   0  1 prints one line per setting as its score comes in; 2
  %                  also the lines of tarn_crossval and tarn_fit
  %
  %   The choice: the setting of highest mean accuracy, unless other
  %   settings come within one standard error of it (its standard deviation
  %   over the folds divided by the square root of the number of folds):
  %   then the one of those with the fewest nodes (the mean over the folds'
  %   models; ties go to the higher accuracy, then to the earlier row). A
  %   smaller model that cross-validation cannot tell apart from the best
  %   one is the safer choice; RESULT.choice says which rule decided.
  %
  %   RESULT fields:
  %     table     one element per setting, in the order of the grid (first
  %               option outermost): Vigilance, Gamma, MaxPasses, Voters,
  %               Rule, accuracy (mean over the folds), accuracy_std, nodes
  %               (mean over the folds), time (seconds of training and
  %               classification, all folds)
  %     swept     the grid options with more than one value
  %     best      row of the chosen setting in table
  %     top       row of the highest mean accuracy (first of equals)
  %     setting   the chosen setting as tarn_fit options (a struct that
  %               tarn_fit takes as it is)
  %     choice    one sentence on why that setting was chosen
  %     model     tarn_fit on all rows with the chosen setting
  %     cv        tarn_crossval's result for the chosen setting
  %     folds     fold number of every row
  %     text      the table in Markdown with the chosen row marked, and
  %               the choice: what tarn_tune prints
  %     options   the options given
  %     elapsed   seconds the whole call took
  %
  %   Errors have identifiers tarn:tune:... (arguments, optionPairs,
  %   unknownOption, badOption, noParallelPackage) and say what was
  %   received; errors of the data are those of tarn_crossval.
  %
  %   Example:
  %     [X, y] = tarn_load_data ('iris');
  %     result = tarn_tune (X, y, 'Vigilance', [0 0.5], 'Gamma', [0.5 1 2]);
  %     disp (result.choice);
  %     labels = tarn_predict (result.model, X);
  %
  %   See also tarn_crossval, tarn_fit, tarn_plot_tuning.

  started = tic ();
  if nargin < 2
    error ('tarn:tune:arguments', ...
           'tarn_tune: X and y are required: result = tarn_tune (X, y, Name, Value, ...)');
  end
  grid_names = {'Vigilance', 'Gamma', 'MaxPasses', 'Voters', 'Rule'};
  other_names = {'StopWhenNoNewNodes', 'Trim', 'Standardize', 'Seed', 'KFold', 'Folds', ...
                 'Unknown', 'Verbose', 'Parallel'};
  [values, rest] = grid_values (grid_names, varargin);
  [opts, given] = tarn_options ('tune', [grid_names, other_names], rest);
  engine = tarn_parallel_engine (opts.Parallel, 'tune');
  if all (cellfun ('isempty', values))
    values{1} = {0; 0.25; 0.5; 0.75};
    values{2} = {0.25; 0.5; 1; 2; 4};
  end
  for g = 1:numel (grid_names)
    if isempty (values{g})
      values{g} = {opts.(grid_names{g})};
    end
  end

  % The settings: every combination, the first option outermost.
  counts = cellfun ('numel', values);
  S = prod (counts);
  swept = grid_names(counts > 1);
  base = struct ('StopWhenNoNewNodes', opts.StopWhenNoNewNodes, 'Trim', opts.Trim, ...
                 'Standardize', opts.Standardize, 'Seed', opts.Seed, ...
                 'Verbose', double (opts.Verbose >= 2), 'Parallel', 'off');
  if any (strcmp (given, 'Folds'))
    base.Folds = opts.Folds;
  else
    base.KFold = opts.KFold;
  end
  if any (strcmp (given, 'Unknown'))
    base.Unknown = opts.Unknown;
  end
  inputs = cell (S, 1);
  settings = cell (S, 1);
  for s = 1:S
    position = cell (1, numel (grid_names));
    [position{end:-1:1}] = ind2sub (counts(end:-1:1), s);
    setting = base;
    for g = 1:numel (grid_names)
      setting.(grid_names{g}) = values{g}{position{g}};
    end
    settings{s} = setting;
    inputs{s} = {setting};
  end

  % Each setting is a task; a single setting runs its folds as tasks.
  progress = [];
  if opts.Verbose >= 1
    progress = @(s, cv) report_setting (s, S, settings{s}, swept, cv);
  end
  if S == 1 && ~strcmp (engine.kind, 'off')
    one = settings{1};
    one.Parallel = opts.Parallel;
    scores = {tarn_crossval(X, y, one)};
    if ~isempty (progress)
      progress (1, scores{1});
    end
  else
    scores = tarn_run_tasks (engine, 'tarn_crossval', {X, y}, inputs, progress);
  end

  table = repmat (struct ('Vigilance', 0, 'Gamma', 0, 'MaxPasses', 0, 'Voters', 0, 'Rule', '', ...
                          'accuracy', 0, 'accuracy_std', 0, 'nodes', 0, 'time', 0), S, 1);
  for s = 1:S
    for g = 1:numel (grid_names)
      table(s).(grid_names{g}) = settings{s}.(grid_names{g});
    end
    cv = scores{s};
    table(s).accuracy = cv.accuracy;
    table(s).accuracy_std = cv.accuracy_std;
    table(s).nodes = mean (cv.nodes);
    table(s).time = sum (cv.train_time) + sum (cv.predict_time);
  end
  F = numel (scores{1}.fold_accuracy);
  [best, top, choice] = choose (table, F, swept);

  setting = struct ();
  for name = {'Vigilance', 'Gamma', 'MaxPasses', 'StopWhenNoNewNodes', 'Trim', 'Standardize', ...
              'Voters', 'Seed', 'Rule'}
    setting.(name{1}) = settings{best}.(name{1});
  end

  result = struct ();
  result.table = table;
  result.swept = swept;
  result.best = best;
  result.top = top;
  result.setting = setting;
  result.choice = choice;
  result.model = tarn_fit (X, y, setting);
  result.cv = scores{best};
  result.folds = scores{best}.folds;
  result.text = markdown (table, best, top, swept, grid_names, settings{1}, F, opts, choice);
  result.options = opts;
  result.elapsed = toc (started);
  if nargout == 0
    fprintf ('%s', result.text);
    clear result;
  end
end

function [values, rest] = grid_values (grid_names, args)
  % The values of the grid options, each a column cell array ({} where
  % not given), checked one by one as tarn_fit checks them; the other
  % Name, Value pairs in REST.
  values = cell (1, numel (grid_names));
  if numel (args) == 1 && isstruct (args{1}) && isscalar (args{1})
    pairs = [fieldnames(args{1})'; struct2cell(args{1})'];
    args = pairs(:)';
  end
  if mod (numel (args), 2) ~= 0
    error ('tarn:tune:optionPairs', ...
           'tarn_tune: options come in Name, Value pairs; received %d arguments after X and y', ...
           numel (args));
  end
  keep = true (size (args));
  for k = 1:2:numel (args)
    name = args{k};
    if isa (name, 'string') && isscalar (name)
      name = char (name);
    end
    g = [];
    if ischar (name)
      g = find (strcmpi (grid_names, name));
    end
    if isempty (g)
      continue
    end
    keep([k, k + 1]) = false;
    list = args{k + 1};
    if isa (list, 'string')
      list = cellstr (list);
    end
    if ischar (list)
      list = {list};
    elseif isnumeric (list) || islogical (list)
      list = num2cell (list(:));
    end
    if ~iscell (list) || isempty (list)
      error ('tarn:tune:badOption', ...
             'tarn_tune: %s takes a vector or a list of values; received %s', ...
             grid_names{g}, tarn_describe (args{k + 1}));
    end
    list = list(:);
    for j = 1:numel (list)
      checked = tarn_options ('tune', grid_names(g), {grid_names{g}, list{j}});
      list{j} = checked.(grid_names{g});
    end
    values{g} = list;
  end
  rest = args(keep);
end

function [best, top, choice] = choose (table, F, swept)
  % Highest mean accuracy; among the settings within one standard error
  % of it, the fewest nodes.
  accuracy = [table.accuracy]';
  nodes = [table.nodes]';
  [~, top] = max (accuracy);
  se = table(top).accuracy_std / sqrt (F);
  near = find (accuracy >= accuracy(top) - se);
  order = sortrows ([nodes(near), -accuracy(near), near]);
  best = order(1, 3);
  if numel (table) == 1
    choice = sprintf ('%s: the only setting (accuracy %.4f +- %.4f over %d folds, %.1f nodes)', ...
                      describe (table(1), swept), accuracy(1), table(1).accuracy_std, F, nodes(1));
  elseif best == top && numel (near) == 1
    choice = sprintf (['%s: the highest mean accuracy, %.4f +- %.4f over %d folds (%.1f ' ...
                       'nodes); no other setting comes within one standard error (%.4f)'], ...
                      describe (table(top), swept), accuracy(top), table(top).accuracy_std, F, ...
                      nodes(top), se);
  elseif best == top
    choice = sprintf (['%s: the highest mean accuracy, %.4f +- %.4f over %d folds, and the ' ...
                       'fewest nodes (%.1f) of the %d settings within one standard error ' ...
                       '(%.4f) of it'], describe (table(top), swept), accuracy(top), ...
                      table(top).accuracy_std, F, nodes(top), numel (near), se);
  else
    choice = sprintf (['%s: accuracy %.4f with %.1f nodes, the fewest nodes of the %d ' ...
                       'settings within one standard error (%.4f) of the highest mean ' ...
                       'accuracy, %.4f +- %.4f over %d folds with %.1f nodes (%s)'], ...
                      describe (table(best), swept), accuracy(best), nodes(best), numel (near), ...
                      se, accuracy(top), table(top).accuracy_std, F, nodes(top), ...
                      describe (table(top), swept));
  end
end

function text = describe (row, names)
  % 'Vigilance 0.5, Gamma 2' for the swept options of a table row.
  if isempty (names)
    text = 'the setting';
    return
  end
  parts = cell (1, numel (names));
  for k = 1:numel (names)
    parts{k} = [names{k} ' ' tarn_value_text(row.(names{k}))];
  end
  text = strjoin (parts, ', ');
end

function report_setting (s, S, setting, swept, cv)
  fprintf ('setting %d of %d (%s): accuracy %.4f +- %.4f, %.1f nodes, %.2f s\n', s, S, ...
           describe (setting, swept), cv.accuracy, cv.accuracy_std, mean (cv.nodes), ...
           sum (cv.train_time) + sum (cv.predict_time));
  tarn_flush ();
end

function text = markdown (table, best, top, swept, grid_names, first, F, opts, choice)
  % The table as tarn_tune prints it: the swept options, the scores and
  % a mark on the chosen row; the fixed options in a line above.
  fixed = setdiff (grid_names, swept, 'stable');
  parts = cell (1, numel (fixed));
  for k = 1:numel (fixed)
    parts{k} = [fixed{k} ' ' tarn_value_text(first.(fixed{k}))];
  end
  lines = {sprintf('%d-fold cross-validation (Seed %d); %s.', F, opts.Seed, strjoin (parts, ', '))};
  lines{end + 1} = '';
  header = [swept, {'accuracy', 'std', 'nodes', 'seconds', 'choice'}];
  lines{end + 1} = ['| ' strjoin(header, ' | ') ' |'];
  lines{end + 1} = ['|' repmat('---:|', 1, numel (header) - 1) '---|'];
  for s = 1:numel (table)
    cells = cell (1, numel (swept));
    for k = 1:numel (swept)
      cells{k} = tarn_value_text (table(s).(swept{k}));
    end
    mark = '';
    if s == best
      mark = 'chosen';
    end
    if s == top && s ~= best
      mark = 'highest accuracy';
    end
    cells = [cells, {sprintf('%.4f', table(s).accuracy), sprintf('%.4f', table(s).accuracy_std), ...
                     sprintf('%.1f', table(s).nodes), sprintf('%.2f', table(s).time), mark}];
    lines{end + 1} = ['| ' strjoin(cells, ' | ') ' |']; %#ok<AGROW>
  end
  lines{end + 1} = '';
  lines{end + 1} = ['Chosen: ' choice '.'];
  text = sprintf ('%s\n', lines{:});
end

%!shared X, y
%! [X, y] = tarn_load_data ('iris');

%!test
%! % Every combination scored on the same folds as tarn_crossval; the
%! % choice follows its rule; the model is fitted with the chosen setting.
%! r = tarn_tune (X, y, 'Vigilance', [0 0.9], 'Gamma', [0.25 1 4], 'KFold', 5, 'Rule', 'sum');
%! assert (numel (r.table), 6);
%! assert ({r.table.Rule}, repmat ({'sum'}, 1, 6));
%! assert ([r.table.Vigilance; r.table.Gamma], [0 0 0 0.9 0.9 0.9; 0.25 1 4 0.25 1 4]);
%! assert (r.swept, {'Vigilance', 'Gamma'});
%! cv = tarn_crossval (X, y, 'KFold', 5, 'Vigilance', 0.9, 'Gamma', 1, 'Rule', 'sum');
%! assert ([r.table(5).accuracy, r.table(5).accuracy_std, r.table(5).nodes], ...
%!         [cv.accuracy, cv.accuracy_std, mean(cv.nodes)]);
%! acc = [r.table.accuracy];
%! nodes = [r.table.nodes];
%! assert (acc(r.top), max (acc));
%! near = acc >= max (acc) - r.table(r.top).accuracy_std / sqrt (5);
%! assert (nodes(r.best), min (nodes(near)));
%! assert (near(r.best));
%! assert (r.model.templates, tarn_fit (X, y, r.setting).templates);
%! chosen = r.table(r.best);
%! assert ([r.setting.Vigilance, r.setting.Gamma], [chosen.Vigilance, chosen.Gamma]);
%! assert (~isempty (strfind (r.text, '| chosen |')));
%! assert (numel (regexp (r.text, '\n\|', 'match')), 8);

%!test
%! % The choice when the most accurate setting is not the smallest: a
%! % cheaper one within one standard error wins, and the choice says so.
%! r = tarn_tune (X, y, 'Gamma', [1 2]);
%! assert ([r.top, r.best], [1 2]);
%! assert (r.table(1).accuracy - r.table(2).accuracy < r.table(1).accuracy_std / sqrt (10));
%! assert (r.table(2).nodes < r.table(1).nodes);
%! assert (regexp (r.choice, '^Gamma 2: .* fewest nodes of the 2 settings .*\(Gamma 1\)$'), 1);
%! assert (~isempty (strfind (r.text, '| highest accuracy |')));
%! text = evalc ('tarn_tune (X, y, ''Gamma'', 1, ''KFold'', 3, ''Verbose'', 1)');
%! assert (~isempty (regexp (text, 'setting 1 of 1 \(the setting\): accuracy', 'once')));
%! assert (~isempty (strfind (text, 'Chosen: the setting: the only setting')));

%!test
%! % Settings in worker processes: the same results to the bit.
%! if (exist ('OCTAVE_VERSION', 'builtin') ~= 0 && isempty (pkg ('list', 'parallel')))
%!   return;
%! end
%! args = {'Vigilance', [0 0.5], 'Rule', {'winner', 'evidence'}, 'KFold', 4};
%! serial = tarn_tune (X, y, args{:});
%! local = tarn_tune (X, y, args{:}, 'Parallel', 'local');
%! assert (isequal ([local.table.accuracy; local.table.nodes], ...
%!                 [serial.table.accuracy; serial.table.nodes]));
%! assert (isequal (local.cv.posteriors, serial.cv.posteriors) && local.best == serial.best);

%!error <options come in Name, Value pairs> tarn_tune (X, y, 'Gamma')
%!error <Gamma takes a vector or a list of values; received a 0x0> tarn_tune (X, y, 'Gamma', [])
%!error <tarn_tune: Gamma must be a finite number .* received -1> tarn_tune (X, y, 'Gamma', [1 -1])
%!error <Rule must be 'winner', 'sum' or 'evidence'; received 'x'> tarn_tune (X, y, 'Rule', 'x')
%!error <unknown option 'KFolds'; did you mean 'KFold'> tarn_tune (X, y, 'KFolds', 3)
%!error id=tarn:tune:badOption tarn_tune (X, y, 'Parallel', -1)
