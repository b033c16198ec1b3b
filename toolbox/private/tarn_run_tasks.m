function results = tarn_run_tasks (engine, name, shared, tasks, progress)
  % TARN_RUN_TASKS  Run independent tasks in order, on local cores or on a cluster.
  %
  %   results = tarn_run_tasks (engine, name, shared, tasks, progress) calls
  %   the task function NAME (a toolbox function, public or private) once
  %   for each element of the cell array TASKS, as
  %     results{k} = NAME (shared{:}, tasks{k}{:})
  %   SHARED holds the arguments common to every task (the data), each
  %   TASKS{k} a cell array of the task's own arguments. ENGINE (see
  %   tarn_parallel_engine) says where the calls run:
  %     'off'      in order, in this session
  %     'local'    Octave: parcellfun of the parallel package, in
  %                ENGINE.workers processes; MATLAB: parfor
  %     'cluster'  Octave: netcellfun over the servers of
  %                ENGINE.connections, each with tarn on its path
  %   A task reads nothing but its arguments, so the results are the same
  %   wherever it runs. RESULTS is a column cell array in the order of TASKS.
  %   PROGRESS, a function handle or [], is called as PROGRESS (k, results{k})
  %   as each task ends (in order, once all have ended, where they run
  %   elsewhere). An error in a task is raised here with its identifier and
  %   message.

  n = numel (tasks);
  results = cell (n, 1);
  if strcmp (engine.kind, 'off') || n == 0
    for k = 1:n
      results{k} = feval (name, shared{:}, tasks{k}{:});
      if ~isempty (progress)
        progress (k, results{k});
      end
    end
    return
  end

  % Elsewhere, every call goes through tarn_run_task, a public function
  % that servers find on their own path (a handle to a private function
  % carries this machine's path). It returns errors as values.
  if exist ('OCTAVE_VERSION', 'builtin') ~= 0
    args = cell (1, 1 + numel (shared) + numel (tasks{1}));
    args{1} = repmat ({name}, n, 1);
    for j = 1:numel (shared)
      args{1 + j} = repmat (shared(j), n, 1);
    end
    for j = 1:numel (tasks{1})
      args{1 + numel (shared) + j} = cellfun (@(t) t{j}, tasks(:), 'UniformOutput', false);
    end
    if strcmp (engine.kind, 'local')
      workers = min (engine.workers, n);
      outcome = parcellfun (workers, @tarn_run_task, args{:}, 'UniformOutput', false, ...
                            'VerboseLevel', 0);
    else
      outcome = netcellfun (engine.connections, @tarn_run_task, args{:}, 'UniformOutput', false);
    end
  else
    outcome = cell (n, 1);
    parfor (k = 1:n, engine.workers)
      outcome{k} = tarn_run_task (name, shared{:}, tasks{k}{:});
    end
  end

  for k = 1:n
    if ~outcome{k}.ok
      failure = outcome{k}.error;
      if isempty (failure.identifier)
        error ('%s', failure.message);
      end
      error (failure.identifier, '%s', failure.message);
    end
    results{k} = outcome{k}.value;
    if ~isempty (progress)
      progress (k, results{k});
    end
  end
end
