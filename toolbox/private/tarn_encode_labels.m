function [idx, info, remap] = tarn_encode_labels (y, n, cmd, old)
  % TARN_ENCODE_LABELS  Class numbers 1..C for labels of any common kind.
  %
  %   [idx, info] = tarn_encode_labels (y, n, cmd) checks that Y holds N
  %   labels and returns IDX, the N-by-1 class number of each row, and INFO,
  %   a struct with the fields
  %     kind        class of Y: 'double', 'single', an integer type,
  %                 'logical', 'char', 'cellstr', 'string' or 'categorical'
  %     classes     the distinct labels (C-by-1, numeric of the kind of Y, or
  %                 a cell array of strings for text), sorted; for
  %                 categorical labels in the order of the categories
  %     categories  all categories of categorical labels (cell array of
  %                 strings), otherwise {}
  %   Numeric labels are classes by value (unique), so 2.5 or 1e10 are
  %   classes like any other. Missing labels (NaN, empty text, undefined)
  %   are refused.
  %
  %   [idx, info, remap] = tarn_encode_labels (y, n, cmd, old) numbers the
  %   labels against the classes of OLD (an earlier INFO), adding classes
  %   not seen before; class k of OLD is class REMAP(k) of INFO.

  fn = ['tarn_' cmd];
  [values, kind, categories, missing, what] = label_values (y, fn, cmd);
  if numel (values) ~= n
    error (['tarn:' cmd ':labelCount'], '%s: y has %d labels but X has %d rows', ...
           fn, numel (values), n);
  end
  if any (missing)
    error (['tarn:' cmd ':missingLabel'], ...
           '%s: y has %d missing labels (%s); the first is at row %d', ...
           fn, nnz (missing), what, find (missing, 1));
  end

  if nargin < 4
    info = struct ('kind', kind, 'classes', [], 'categories', {categories});
    [classes, ~, idx] = unique (values);
    idx = idx(:);
    [classes, idx] = category_order (classes, idx, categories);
    info.classes = classes(:);
    remap = zeros (0, 1);
    return
  end

  % Against the classes of an earlier fit.
  info = old;
  text_kinds = {'char', 'cellstr', 'string', 'categorical'};
  old_text = any (strcmp (old.kind, text_kinds));
  if old_text ~= iscell (values)
    error (['tarn:' cmd ':labelKind'], ...
           '%s: the model''s labels are of kind %s; y is of kind %s', fn, old.kind, kind);
  end
  if old_text
    if strcmp (old.kind, 'categorical')
      extra = setdiff (categories, old.categories);
      info.categories = [old.categories(:); extra(:)];
    end
    merged = unique ([old.classes; values]);
  else
    merged = unique ([double(old.classes); double(values)]);
    typed = cast (merged, old.kind);
    if any (double (typed) ~= merged)
      bad = merged(find (double (typed) ~= merged, 1));
      error (['tarn:' cmd ':labelKind'], ...
             '%s: the model''s labels are of class %s, which cannot hold the new label %s', ...
             fn, old.kind, num2str (bad, 17));
    end
    merged = typed;
    values = cast (values, old.kind);
  end
  merged = category_order (merged, (1:numel (merged))', info.categories);
  [~, remap] = ismember (old.classes, merged);
  [~, idx] = ismember (values, merged);
  info.classes = merged(:);
  remap = remap(:);
  idx = idx(:);
end

function [classes, idx] = category_order (classes, idx, categories)
  % Categorical classes follow the order of the categories.
  if isempty (categories)
    return
  end
  [~, pos] = ismember (classes, categories);
  [~, order] = sort (pos);
  classes = classes(order);
  inverse(order) = 1:numel (order);
  idx = inverse(idx);
  idx = idx(:);
end

function [values, kind, categories, missing, what] = label_values (y, fn, cmd)
  categories = {};
  kind = class (y);
  if ~ischar (y) && ~isvector (y) && ~isempty (y)
    sz = sprintf ('%dx', size (y));
    error (['tarn:' cmd ':badLabels'], ...
           '%s: y must be a vector of labels; received a %s %s array', ...
           fn, sz(1:end - 1), kind);
  end
  if isa (y, 'categorical')
    categories = cellstr (categories_of (y));
    categories = categories(:);
    missing = isundefined (y(:));
    values = cellstr (y(:));
    what = 'undefined';
  elseif isa (y, 'string')
    missing = ismissing (y(:));
    y(missing) = string ('');
    values = cellstr (y(:));
    missing = missing | cellfun ('isempty', strtrim (values));
    what = 'missing or empty strings';
  elseif ischar (y)
    if ndims (y) > 2
      error (['tarn:' cmd ':badLabels'], '%s: char labels are one label per row; received %s', ...
             fn, tarn_describe (y));
    end
    values = cellstr (y);
    if isempty (y)
      values = cell (0, 1);
    end
    missing = cellfun ('isempty', strtrim (values));
    what = 'blank rows';
  elseif iscell (y)
    good = cellfun (@(c) ischar (c) && (isrow (c) || isempty (c)), y(:));
    if ~all (good)
      first = find (~good, 1);
      error (['tarn:' cmd ':badLabels'], ...
             '%s: a cell array of labels must hold one string per row; element %d is %s', ...
             fn, first, tarn_describe (y{first}));
    end
    kind = 'cellstr';
    values = y(:);
    missing = cellfun ('isempty', strtrim (values));
    what = 'empty strings';
  elseif (isnumeric (y) || islogical (y)) && isreal (y)
    values = full (y(:));
    missing = isnan (values);
    what = 'NaN';
  else
    error (['tarn:' cmd ':badLabels'], ...
           ['%s: y must hold real numbers, logicals or strings (char rows, a cell array of ' ...
            'strings); received %s'], ...
           fn, tarn_describe (y));
  end
end

function c = categories_of (y)
  c = categories (y);
end
