function engine = tarn_parallel_engine (value, cmd)
  % TARN_PARALLEL_ENGINE  Where the tasks of a toolbox command run.
  %
  %   engine = tarn_parallel_engine (value, cmd) reads the value of option
  %   Parallel of command tarn_CMD and returns a struct with the fields
  %     kind         'off' (in order, in this session), 'local' (processes
  %                  on this machine) or 'cluster' (servers of a cluster)
  %     workers      processes asked for: Inf for all the cores; in MATLAB,
  %                  the workers parfor may use (0 when no pool is open)
  %     connections  the pconnect connections of a cluster, else []
  %     label        the value as a user would type it, for messages
  %
  %   'local' and a worker count use Octave's parallel package (loaded here
  %   when it is installed but not loaded) or, in MATLAB, the open parallel
  %   pool. Errors: tarn:CMD:badOption for any other value,
  %   tarn:CMD:noParallelPackage where Octave has no parallel package.

  fn = ['tarn_' cmd];
  octave = exist ('OCTAVE_VERSION', 'builtin') ~= 0;
  engine = struct ('kind', 'off', 'workers', 0, 'connections', [], 'label', '''off''');
  if isa (value, 'string') && isscalar (value)
    value = char (value);
  end
  if ischar (value) && any (strcmpi (value, {'off', 'local'}))
    engine.kind = lower (value);
    engine.workers = Inf;
    engine.label = ['''' lower(value) ''''];
  elseif (isnumeric (value) || islogical (value)) && isscalar (value) && isreal (value) && ...
          value >= 1 && value == round (value) && isfinite (value)
    engine.kind = 'local';
    engine.workers = double (value);
    engine.label = sprintf ('%d', engine.workers);
  elseif isa (value, 'pconnections')
    engine.kind = 'cluster';
    engine.connections = value;
    engine.label = 'connections from pconnect';
    return
  else
    error (['tarn:' cmd ':badOption'], ...
           ['%s: Parallel must be ''off'', ''local'', a number of workers, or the ' ...
            'connections that pconnect returns; received %s'], fn, tarn_describe (value));
  end
  if strcmp (engine.kind, 'off')
    engine.workers = 0;
    return
  end

  if octave
    if exist ('parcellfun', 'file') == 0
      try
        pkg ('load', 'parallel');
      catch %#ok<CTCH>
      end
    end
    if exist ('parcellfun', 'file') == 0
      error (['tarn:' cmd ':noParallelPackage'], ...
             ['%s: Parallel %s runs on Octave''s parallel package, which is not installed; ' ...
              'install the Debian package octave-parallel (apt-get install octave-parallel) ' ...
              'or run pkg install -forge parallel'], fn, engine.label);
    end
  else
    % MATLAB: parfor on the open pool, in order in this session without one.
    pool = [];
    if exist ('gcp', 'file') ~= 0
      pool = gcp ('nocreate');
    end
    if isempty (pool)
      warning (['tarn:' cmd ':noPool'], ...
               '%s: Parallel %s: no parallel pool is open (parpool), so the tasks run in order', ...
               fn, engine.label);
      engine.workers = 0;
    else
      engine.workers = min (engine.workers, pool.NumWorkers);
    end
  end
end
