function [opts, given] = tarn_options (cmd, names, args)
  % TARN_OPTIONS  Read the Name, Value options of a toolbox command.
  %
  %   [opts, given] = tarn_options (cmd, names, args) checks the pairs in the
  %   cell array ARGS (or one struct whose fields are option names) against
  %   the option NAMES of command tarn_CMD and returns OPTS, a struct with
  %   every name set to its given or default value, and GIVEN, the names that
  %   were set explicitly, in order. Names are matched without regard to
  %   case. Errors have the identifiers tarn:CMD:optionPairs,
  %   tarn:CMD:unknownOption and tarn:CMD:badOption.

  fn = ['tarn_' cmd];
  table = catalogue ();
  opts = struct ();
  for k = 1:numel (names)
    row = find (strcmp (table(:, 1), names{k}));
    opts.(names{k}) = table{row, 2};
  end
  given = {};

  if numel (args) == 1 && isstruct (args{1}) && isscalar (args{1})
    fields = fieldnames (args{1});
    values = struct2cell (args{1});
    args = [fields(:)'; values(:)'];
    args = args(:)';
  end
  if mod (numel (args), 2) ~= 0
    error (['tarn:' cmd ':optionPairs'], ...
           ['%s: options come in Name, Value pairs; received %d arguments after the ' ...
            'required ones'], ...
           fn, numel (args));
  end

  for k = 1:2:numel (args)
    name = args{k};
    if isa (name, 'string') && isscalar (name)
      name = char (name);
    end
    if ~ischar (name) || ~isrow (name)
      error (['tarn:' cmd ':optionPairs'], ...
             '%s: option names must be strings; argument %d is %s', fn, k, tarn_describe (name));
    end
    hit = find (strcmpi (names, name));
    if isempty (hit)
      error (['tarn:' cmd ':unknownOption'], ...
             '%s: unknown option ''%s''; did you mean ''%s''? (options: %s)', ...
             fn, name, nearest (name, names), strjoin (names, ', '));
    end
    name = names{hit};
    row = find (strcmp (table(:, 1), name));
    opts.(name) = check_value (fn, cmd, name, table{row, 3}, args{k + 1});
    given{end + 1} = name; %#ok<AGROW>
  end
end

function table = catalogue ()
  % Every option of the toolbox: name, default, kind of value.
  table = {'Vigilance',          0,        'unit'
           'Gamma',              1,        'positive'
           'MaxPasses',          100,      'count'
           'StopWhenNoNewNodes', true,     'flag'
           'Trim',               false,    'flag'
           'Standardize',        true,     'flag'
           'Voters',             1,        'count'
           'Seed',               1,        'seed'
           'Verbose',            0,        'verbose'
           'Rule',               'evidence', 'rule'
           'Unknown',            [],       'any'
           'KFold',              10,       'kfold'
           'Folds',              [],       'any'
           'Parallel',           'off',    'any'};
end

function value = check_value (fn, cmd, name, kind, value)
  id = ['tarn:' cmd ':badOption'];
  if strcmp (kind, 'any')
    return
  end
  if strcmp (kind, 'rule')
    if isa (value, 'string') && isscalar (value)
      value = char (value);
    end
    rules = {'winner', 'sum', 'evidence'};
    if ~ischar (value) || ~any (strcmpi (rules, value))
      error (id, '%s: Rule must be ''winner'', ''sum'' or ''evidence''; received %s', ...
             fn, tarn_describe (value));
    end
    value = lower (value);
    return
  end
  if ~(isnumeric (value) || islogical (value)) || ~isscalar (value) || ~isreal (value)
    error (id, '%s: %s must be a real number; received %s', fn, name, tarn_describe (value));
  end
  value = double (value);
  switch kind
    case 'unit'
      ok = value >= 0 && value <= 1;
      rule = 'a number from 0 to 1';
    case 'positive'
      ok = value > 0 && isfinite (value);
      rule = 'a finite number greater than 0';
    case 'count'
      ok = value >= 1 && value <= 2^31 - 1 && value == round (value);
      rule = 'a whole number from 1 to 2^31-1';
    case 'kfold'
      ok = value >= 2 && value <= 2^31 - 1 && value == round (value);
      rule = 'a whole number of at least 2';
    case 'seed'
      ok = value >= 0 && value < 2^53 && value == round (value);
      rule = 'a whole number from 0 to 2^53-1';
    case 'verbose'
      ok = any (value == [0 1 2]);
      rule = '0, 1 or 2';
    case 'flag'
      ok = value == 0 || value == 1;
      rule = 'true or false';
      value = logical (value);
  end
  if ~ok
    error (id, '%s: %s must be %s; received %s', fn, name, rule, tarn_describe (value));
  end
end

function best = nearest (name, names)
  % The option whose name is fewest edits (Levenshtein) away.
  name = lower (name);
  best = names{1};
  best_cost = Inf;
  for k = 1:numel (names)
    other = lower (names{k});
    d = 0:numel (other);
    for i = 1:numel (name)
      previous = d;
      d(1) = i;
      for j = 1:numel (other)
        d(j + 1) = min ([previous(j + 1) + 1, d(j) + 1, previous(j) + (name(i) ~= other(j))]);
      end
    end
    if d(end) < best_cost
      best_cost = d(end);
      best = names{k};
    end
  end
end
