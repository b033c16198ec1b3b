function tarn_check_conflicts (X, idx, cmd)
  % TARN_CHECK_CONFLICTS  Warn about identical rows with different labels.
  %
  %   tarn_check_conflicts (X, idx, cmd) warns (tarn:CMD:conflictingLabels)
  %   when some rows of X are equal but their class numbers IDX are not:
  %   no node can tell them apart, so training that waits for a pass
  %   without new nodes may never get one.

  [~, ~, group] = unique (X, 'rows');
  group = group(:);
  lo = accumarray (group, idx(:), [], @min);
  hi = accumarray (group, idx(:), [], @max);
  bad = lo ~= hi;
  if any (bad)
    warning (['tarn:' cmd ':conflictingLabels'], ...
             ['tarn_%s: %d rows (%d distinct patterns) have identical features but different ' ...
              'labels; no model can classify them all, and training may go on creating ' ...
              'nodes until MaxPasses'], ...
             cmd, nnz (bad(group)), nnz (bad));
  end
end
