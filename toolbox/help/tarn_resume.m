% TARN_RESUME  Train on from a model, exactly where training stopped.
%
%   [Templates, NLabels, passes, presentations, Active] = tarn_resume (
%       Templates, NLabels, presentations, Patterns, PLabels, vigilance,
%       gamma, max_list_presentations, no_creation_flag, trim_option, oflag)
%
%   tarn_resume takes a model that tarn_learn (or an earlier tarn_resume)
%   returned, with the number of row presentations it has seen, and goes
%   on training it on the rows of Patterns exactly as if training had
%   never stopped: each template row becomes a node again, its count of
%   presentations recovered from its prior, and new rows update those
%   nodes or make new ones by the rules of tarn_learn. So
%
%     [T, L] = tarn_learn (X1, y1, ...one pass...);
%     [T, L] = tarn_resume (T, L, rows(X1), X2, y2, ...one pass...);
%
%   gives, bit for bit, the model that one pass of tarn_learn over [X1; X2]
%   gives; and k calls of one pass each over the same rows give what one
%   call of k passes gives.
%
%   All eleven inputs are required, by position:
%
%   Templates  the model: J-by-(2M+1), as tarn_learn returns it, for the M
%              columns of Patterns. No rows (a 0-by-(2M+1) matrix) with
%              presentations 0 trains from scratch, as tarn_learn does.
%   NLabels    the class of each template row, J-by-1 or 1-by-J.
%   presentations
%              the row presentations the model has seen: for a model of
%              tarn_learn, its passes times its rows; for one of
%              tarn_resume, its 4th output. Each prior times presentations
%              must be a whole number of at least 1 (to within 1e-6), the
%              count of its node, and the counts may not add up to more
%              than presentations.
%   Patterns, PLabels, vigilance, gamma, max_list_presentations,
%   no_creation_flag, trim_option, oflag
%              as for tarn_learn (see help tarn_learn). Rows, passes and
%              pattern numbers in the traces count this call's rows; node
%              numbers count the model's nodes first. trim_option 1 leaves
%              out the nodes, old or new, that took no row during this
%              call's last pass.
%
%   presentations + max_list_presentations * rows (Patterns) may not exceed
%   4294967295: the total is kept in 32 bits.
%
%   Any number of outputs from 0 to 5:
%
%   Templates, NLabels, passes
%              as for tarn_learn; the priors are the counts over the new
%              presentation total.
%   presentations
%              the new presentation total: presentations + passes * rows.
%   Active     a column with 1 for every returned node that was made or
%              updated during this call's last pass, 0 for the others.
%
%   Examples:
%
%     % Train on half the rows, then on the other half: the model one pass
%     % over all rows gives.
%     [X, y] = tarn_load_data('iris');
%     X = (X - mean(X)) ./ std(X);
%     [T, L, n] = tarn_learn(X(1:75, :), y(1:75), 0, 1, 1, 0, 0, 0);
%     [T, L, n, N] = tarn_resume(T, L, 75, X(76:150, :), y(76:150), 0, 1, 1, 0, 0, 0);
%     [T2, L2, n2] = tarn_learn(X, y, 0, 1, 1, 0, 0, 0);
%     same = isequal(T, T2) && isequal(L, L2)
%     % -> same = 1
%
%     % Train pass by pass, printing the model's size after each pass,
%     % until a pass makes no node; then keep the nodes that took a row in
%     % the last pass (as tarn_learn's stop flag and trimming would).
%     [X, y] = tarn_load_data('wine');
%     X = (X - mean(X)) ./ std(X);
%     T = zeros(0, 2 * size(X, 2) + 1);  L = zeros(0, 1);  N = 0;
%     for pass = 1:100
%       before = size(T, 1);
%       [T, L, n, N, active] = tarn_resume(T, L, N, X, y, 0, 1, 1, 0, 0, 0);
%       fprintf('pass %d: %d nodes\n', pass, size(T, 1));
%       if size(T, 1) == before
%         break;
%       end
%     end
%     T = T(active == 1, :);  L = L(active == 1);
%
%   Notes:
%
%   * Keep presentations with the model: it is what turns the priors back
%     into counts. A model whose nodes were trimmed or dropped keeps the
%     presentations of the whole training.
%   * The model's deviations are taken as they are; new nodes start with
%     this call's gamma.
%
%   See also tarn_learn, tarn_score, tarn_evidence.

%!shared X, y
%! randn ("state", 5);
%! X = [randn(30, 2); randn(30, 2) + 3];
%! y = [ones(30, 1); 2 * ones(30, 1)];
%! X = X(randperm (60), :);

%!test
%! ## Half the rows, then the other half: one pass over all rows.
%! for vigilance = [0 0.3 1]
%!   [T, L, n] = tarn_learn (X(1:25, :), y(1:25), vigilance, 1, 1, 0, 0, 0);
%!   [T, L, n, N, A] = tarn_resume (T, L, 25, X(26:end, :), y(26:end), ...
%!                                  vigilance, 1, 1, 0, 0, 0);
%!   [T2, L2, n2] = tarn_learn (X, y, vigilance, 1, 1, 0, 0, 0);
%!   assert (T, T2);
%!   assert (L, L2);
%!   assert ([n N], [1 60]);
%!   assert (size (A), size (L));
%! endfor

%!test
%! ## From nothing, tarn_resume is tarn_learn, printed report included.
%! clear -f tarn_learn tarn_resume
%! learnt = evalc ("[T, L, n] = tarn_learn (X, y, 0, 1, 5, 1, 1, 2);");
%! resumed = evalc (["[T2, L2, n2] = tarn_resume (zeros (0, 5), zeros (0, 1), 0, X, y, " ...
%!                   "0, 1, 5, 1, 1, 2);"]);
%! assert (resumed, learnt);
%! assert ({T2, L2, n2}, {T, L, n});

%!test
%! ## No outputs give ans the templates.
%! [T, L, n] = tarn_learn (X, y, 0, 1, 1, 0, 0, 0);
%! tarn_resume (T, L, 60, X, y, 0, 1, 1, 0, 0, 0);
%! assert (columns (ans), 5);

%!error <disagree: row 1: prior 0.5 x 3 presentations = 1.5,>
%! tarn_resume ([0 1 0.5], 1, 3, 0, 1, 0, 1, 1, 0, 0, 0)
%!error <must be a whole number from 0 to 4294967295; received 2.5>
%! tarn_resume ([0 1 0.5], 1, 2.5, 0, 1, 0, 1, 1, 0, 0, 0)
%!error <11 input arguments required; received 3> tarn_resume (1, 2, 3)
%!error <must have M columns for the 2M\+1 of Templates>
%! tarn_resume ([0 1 0.5], 1, 2, [0 0], 1, 0, 1, 1, 0, 0, 0)
%!error <would exceed 4294967295>
%! tarn_resume ([0 1 0.5], 1, 2, [0; 0; 0], [1; 1; 1], 0, 1, 2^31 - 1, 0, 0, 0)
