function labels = tarn_decode_labels (idx, info, unknown, cmd)
  % TARN_DECODE_LABELS  Class numbers back to labels of the original kind.
  %
  %   labels = tarn_decode_labels (idx, info, unknown, cmd) turns the class
  %   numbers IDX (0 for a row that is not classified) into labels of the
  %   kind recorded in INFO (see tarn_encode_labels). Unclassified rows get
  %   UNKNOWN when it is not empty, otherwise a value that no class can
  %   have: NaN for numbers (integer and logical labels then come back as
  %   double), '' for char and cell labels, <missing> for strings and
  %   <undefined> for categorical labels.

  idx = idx(:);
  ok = idx > 0;
  K = numel (idx);
  text = any (strcmp (info.kind, {'char', 'cellstr', 'string', 'categorical'}));
  if ~isempty (unknown)
    if isa (unknown, 'string') && isscalar (unknown)
      unknown = char (unknown);
    end
    if text && ~(ischar (unknown) && (isrow (unknown) || isempty (unknown)))
      error (['tarn:' cmd ':badOption'], ...
             'tarn_%s: Unknown must be a string for labels of kind %s; received %s', ...
             cmd, info.kind, tarn_describe (unknown));
    elseif ~text && ~((isnumeric (unknown) || islogical (unknown)) && isscalar (unknown) && ...
                      isreal (unknown))
      error (['tarn:' cmd ':badOption'], ...
             'tarn_%s: Unknown must be a real number for labels of kind %s; received %s', ...
             cmd, info.kind, tarn_describe (unknown));
    end
  end

  if ~text
    kind = info.kind;
    if isempty (unknown)
      unknown = NaN;
      if ~any (strcmp (kind, {'double', 'single'}))
        kind = 'double';
      end
    elseif double (cast (unknown, kind)) ~= double (unknown)
      kind = 'double';
    end
    labels = repmat (cast (unknown, kind), K, 1);
    labels(ok) = cast (info.classes(idx(ok)), kind);
    return
  end

  if isempty (unknown)
    unknown = '';
  end
  cells = repmat ({unknown}, K, 1);
  cells(ok) = info.classes(idx(ok));
  switch info.kind
    case 'char'
      labels = char (cells);
      if K == 0
        labels = char (zeros (0, 0));
      end
    case 'cellstr'
      labels = cells;
    case 'string'
      labels = string (cells);
      if isempty (unknown)
        labels(~ok) = string (NaN);
      end
    case 'categorical'
      categories = info.categories;
      if ~isempty (unknown) && ~any (strcmp (categories, unknown))
        categories = [categories; {unknown}];
      end
      labels = categorical (cells, categories);
  end
end
