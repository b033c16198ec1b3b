function member = tarn_train (member, X, y, p, verbose, heading, started)
  % TARN_TRAIN  Train one member of a model on rows X with class numbers y.
  %
  %   member = tarn_train (member, X, y, p, verbose, heading, started)
  %   continues the training of MEMBER (a struct with the fields templates,
  %   node_labels, presentations and passes; templates empty and
  %   presentations 0 for a new member) on the rows X with labels Y, with
  %   the training parameters of P (Vigilance, Gamma, MaxPasses,
  %   StopWhenNoNewNodes, Trim). It adds the field last_new_nodes, the
  %   number of nodes created in the last pass (NaN where it is not known:
  %   with VERBOSE 0 it is read only when training may have stopped at
  %   MaxPasses while still creating nodes).
  %
  %   VERBOSE 0 trains in one call of tarn_learn (tarn_resume for a member
  %   that has been trained already). VERBOSE 1 or 2 trains pass by pass
  %   through tarn_resume and prints, after each pass, a line that starts
  %   with HEADING: the pass, the nodes, the new nodes, the updates and the
  %   seconds since tic STARTED; VERBOSE 2 adds the report of every call. Both
  %   give the same templates to the bit.

  flag = double (p.StopWhenNoNewNodes);
  trim = double (p.Trim);
  P = size (X, 1);
  T = member.templates;
  L = member.node_labels;
  presentations = member.presentations;
  fresh = isempty (T) && presentations == 0;
  last_new = NaN;
  passes = 0;

  if verbose == 0
    % The stop flag with more than one pass: read the pass lines, to know
    % whether the last pass still created nodes.
    watch = flag == 1 && p.MaxPasses > 1;
    oflag = 2 * watch;
    if fresh
      call = ['[T, L, passes] = tarn_learn (X, y, p.Vigilance, p.Gamma, p.MaxPasses, ' ...
              'flag, trim, oflag);'];
    else
      call = ['[T, L, passes, presentations] = tarn_resume (T, L, presentations, X, y, ' ...
              'p.Vigilance, p.Gamma, p.MaxPasses, flag, trim, oflag);'];
    end
    if watch
      text = evalc (call);
      lines = regexp (text, 'List presentation #\d+: (\d+) new nodes? created', 'tokens');
      if ~isempty (lines)
        last_new = str2double (lines{end}{1});
      end
    else
      eval (call);
    end
    if fresh
      presentations = passes * P;
    end
  else
    oflag = double (verbose >= 2);
    active = zeros (size (T, 1), 1);
    while passes < p.MaxPasses
      before = size (T, 1);
      [T, L, ~, presentations, active] = tarn_resume (T, L, presentations, X, y, ...
                                                      p.Vigilance, p.Gamma, 1, flag, 0, oflag);
      passes = passes + 1;
      last_new = size (T, 1) - before;
      fprintf ('%spass %d: %d nodes, %d new, %d updates, %.2f s\n', heading, ...
               member.passes + passes, size (T, 1), last_new, P - last_new, toc (started));
      tarn_flush ();
      if flag && last_new == 0
        break
      end
    end
    if trim
      T = T(active ~= 0, :);
      L = L(active ~= 0);
    end
  end

  member.templates = T;
  member.node_labels = L;
  member.presentations = presentations;
  member.passes = member.passes + passes;
  member.last_new_nodes = last_new;
end
