function outcome = tarn_run_task (name, varargin)
  % TARN_RUN_TASK  One task of tarn_crossval or tarn_tune, where it is sent.
  %
  %   outcome = tarn_run_task (name, ...) calls the toolbox function NAME
  %   (public or in the toolbox's private folder) with the other arguments
  %   and returns a struct with the fields ok (true when the call returned),
  %   value (what it returned) and error (identifier and message of the
  %   error it raised, else empty).
  %
  %   The option Parallel of tarn_crossval and tarn_tune sends each task to
  %   a worker process or cluster server through this function: it is found
  %   there by name on the server's own path, as the package or a copy of
  %   the toolbox, and errors come back as values for the client to raise.
  %   Users need not call it.
  %
  %   See also tarn_crossval, tarn_tune.

  outcome = struct ('ok', true, 'value', [], 'error', []);
  try
    outcome.value = feval (name, varargin{:});
  catch err
    outcome.ok = false;
    outcome.error = struct ('identifier', err.identifier, 'message', err.message);
  end
end

%!test
%! outcome = tarn_run_task ('tarn_describe', [1 2]);
%! assert (outcome.ok && strcmp (outcome.value, '[1 2]'));
%! outcome = tarn_run_task ('tarn_fit', [1 2], 1, 'Gamma', -1);
%! assert (~outcome.ok);
%! assert (outcome.error.identifier, 'tarn:fit:badOption');
