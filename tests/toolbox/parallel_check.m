## status = parallel_check (server_path, data_set, grid)
## tarn_tune on DATA_SET with the options GRID (Octave code of a cell array
## of Name, Value pairs), in order,
## with Parallel 2 and on the cluster of the octave-pserver on localhost
## (whose tarn is in SERVER_PATH); 0 when all three give the same results
## to the bit, and so do the folds of a tarn_crossval run as tasks. Prints
## the wall time of each tarn_tune run.
function status = parallel_check (server_path, data_set, grid)
  pkg load parallel
  [X, y] = tarn_load_data (data_set);
  printf ("tarn_tune (X, y, %s{:}) on %s (%dx%d)\n", grid, data_set, rows (X), columns (X));
  grid = eval (grid);
  runs = {"off", 2, []};
  names = {"serial", "local, 2 workers", "loopback cluster, 1 server"};
  results = cell (1, 3);
  folds = cell (1, 3);
  connections = pconnect ({"localhost"}, struct ("use_tls", false));
  unwind_protect
    reval (sprintf ("addpath ('%s');", server_path), connections(2));
    runs{3} = connections;
    for k = 1:3
      started = tic ();
      results{k} = tarn_tune (X, y, grid{:}, "Parallel", runs{k});
      printf ("%-28s %7.2f s wall\n", names{k}, toc (started));
      ## The folds of one cross-validation as the tasks.
      folds{k} = tarn_crossval (X, y, "KFold", 4, "Voters", 2, "Parallel", runs{k});
    endfor
  unwind_protect_cleanup
    sclose (connections);
  end_unwind_protect
  status = 0;
  for k = 2:3
    if (! isequaln (stable (results{k}), stable (results{1})))
      printf ("%s: the results differ from the serial run\n", names{k});
      status = 1;
    endif
    varying = {"train_time", "predict_time", "options"};
    if (! isequaln (rmfield (folds{k}, varying), rmfield (folds{1}, varying)))
      printf ("%s: tarn_crossval differs from the serial run\n", names{k});
      status = 1;
    endif
  endfor
  r = results{1};
  printf ("%d settings; chosen: %s\n", numel (r.table), r.choice);
  if (status == 0)
    printf ("the three runs give the same results to the bit\n");
  endif
endfunction

function r = stable (r)
  ## The result without the times measured and the Parallel option given.
  r.table = rmfield (r.table, "time");
  r.cv = rmfield (r.cv, {"train_time", "predict_time", "options"});
  r.model = rmfield (r.model, "training_time");
  r = rmfield (r, {"elapsed", "options", "text"});
endfunction
