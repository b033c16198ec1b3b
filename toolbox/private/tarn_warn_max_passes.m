function tarn_warn_max_passes (members, last_new, p, cmd)
  % TARN_WARN_MAX_PASSES  Warn when training stopped at MaxPasses too early.
  %
  %   tarn_warn_max_passes (members, last_new, p, cmd) warns
  %   (tarn:CMD:maxPasses) when training was to stop after a pass without
  %   new nodes but reached MaxPasses (more than 1) first, while the last
  %   pass of some member still created nodes (LAST_NEW, one per member).

  stuck = last_new > 0;
  if ~p.StopWhenNoNewNodes || p.MaxPasses <= 1 || ~any (stuck)
    return
  end
  if numel (members) == 1
    who = 'training';
  else
    who = sprintf ('%d of %d voters', nnz (stuck), numel (members));
  end
  warning (['tarn:' cmd ':maxPasses'], ...
           ['tarn_%s: %s stopped at MaxPasses %d while still creating nodes ' ...
            '(%d new nodes in the last pass); raise MaxPasses, Gamma or check the labels'], ...
           cmd, who, p.MaxPasses, sum (last_new(stuck)));
end
