function X = tarn_check_patterns (X, cmd)
  % TARN_CHECK_PATTERNS  X as a full real double matrix of finite values.
  %
  %   X = tarn_check_patterns (X, cmd) refuses, with the identifiers
  %   tarn:CMD:badX, tarn:CMD:complexX and tarn:CMD:nonFiniteX, anything
  %   that is not a real numeric (or logical) matrix of finite values. The
  %   message says what was received; for NaN and Inf, how many there are
  %   and where the first one is (in reading order: by rows).

  fn = ['tarn_' cmd];
  if ~(isnumeric (X) || islogical (X)) || ~ismatrix (X)
    error (['tarn:' cmd ':badX'], ...
           '%s: X must be a real numeric matrix, one row per pattern; received %s', ...
           fn, tarn_describe (X));
  end
  if ~isreal (X)
    [c, r] = find (imag (X).' ~= 0, 1);
    error (['tarn:' cmd ':complexX'], ...
           '%s: X must be real; received complex values, the first %s at row %d, column %d', ...
           fn, num2str (X(r, c)), r, c);
  end
  X = double (full (X));
  bad = ~isfinite (X);
  if any (bad(:))
    [c, r] = find (bad.', 1);
    error (['tarn:' cmd ':nonFiniteX'], ...
           ['%s: X holds %d NaN or Inf values; the first is %s at row %d, column %d. ' ...
            'Remove or fill those rows first'], ...
           fn, nnz (bad), num2str (X(r, c)), r, c);
  end
end
