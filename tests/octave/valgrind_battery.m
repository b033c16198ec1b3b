## valgrind_battery ()
## Calls the plug-ins through everything they do, for a run under
## valgrind's memcheck: valid calls at every output level and with both
## decision rules, every argument error, empty inputs, inputs of other
## classes, and data with NaN, infinities, huge values, zero and negative
## deviations and zero priors. Each call's outcome (result or error) is
## checked against what it must be, so that a battery that silently stopped
## early, or ran without the plug-ins, fails rather than looks clean.
## Prints "valgrind battery: N calls, N refused" at the end.

function valgrind_battery ()
  if (any (cellfun (@exist, {"tarn_learn", "tarn_score", "tarn_resume", "tarn_evidence"}) != 3))
    error ("valgrind battery: the tarn plug-ins are not on the path");
  endif
  calls = 0;
  refused = 0;

  randn ("state", 7);
  X = [randn(6, 3); randn(6, 3) + 4];
  y = [ones(6, 1); 2 * ones(6, 1)];

  ## Valid training at every output level, trimming on and off.
  for oflag = 0:4
    for trim = 0:1
      [T, L, n] = tarn_learn (X, y, 0.3, 1.0, 3, 0, trim, oflag);
      calls++;
      check (columns (T) == 7 && rows (T) == rows (L) && n >= 1, "training result");
    endfor
  endfor
  [T, L, ~] = tarn_learn (X, y, 0.3, 1.0, 3, 0, 0, 0);

  ## Valid classification at every output level with both rules.
  for oflag = 0:3
    for rule = 0:1
      p = tarn_score (T, L, 0.1, X, -1, rule, oflag);
      calls++;
      check (isequal (size (p), [12 1]), "classification result");
    endfor
  endfor

  ## Empty inputs.
  [T0, L0, n0] = tarn_learn (zeros (0, 3), zeros (0, 1), 0.5, 1, 2, 1, 1, 1);
  calls++;
  check (isequal (size (T0), [0 7]) && isempty (L0), "empty training");
  p = tarn_score (T0, L0, 0.5, X, -1, 0, 1);
  calls++;
  check (all (p == -1), "no templates");
  p = tarn_score (T0, L0, 0.5, X, -1, 1, 1);
  calls++;
  check (all (p == -1), "no templates, rule 1");
  p = tarn_score (T, L, 0.5, zeros (0, 3), -1, 1, 2);
  calls++;
  check (isequal (size (p), [0 1]), "no patterns");

  ## Other classes.
  [Ts, Ls, ~] = tarn_learn (single (X), int32 (y), single (0.3), int8 (1), uint16 (3), true, false, 0);
  calls++;
  check (rows (Ts) >= 2, "other classes");
  p = tarn_score (single (T), int8 (L), 0.1, int16 (round (X)), int32 (-1), logical (1), uint8 (0));
  calls++;
  check (numel (p) == 12, "other classes, scoring");

  ## Hostile numbers.
  H = X;
  H(1, 1) = NaN;  H(2, 2) = Inf;  H(3, 3) = -Inf;  H(4, 1) = 1e300;  H(5, 2) = -1e300;  H(6, 3) = realmin / 4;
  for gamma = [1e-300 1 1e300 realmax Inf]
    [Th, Lh, ~] = tarn_learn (H, y, 0, gamma, 2, 0, 1, 4);
    calls++;
    check (columns (Th) == 7, "hostile training");
    for rule = 0:1
      p = tarn_score (Th, Lh, 0, H, NaN, rule, 3);
      calls++;
      check (numel (p) == 12, "hostile classification");
    endfor
  endfor
  Tz = [0 0 0 0 1 1 0; 1 1 1 -1 1 1 1; 2 2 2 1e-300 1e300 Inf Inf; NaN 0 0 1 1 1 0.5];
  for rule = 0:1
    p = tarn_score (Tz, [1; 2; 3; NaN], 0, [0 0 0; 1 1 1; NaN 0 0; Inf 1e300 -1e300], 7, rule, 3);
    calls++;
    check (numel (p) == 4, "hostile templates");
  endfor

  ## Every argument error of tarn_learn, in the order of the checks.
  good = {X, y, 0.5, 1.0, 3, 1, 0, 0};
  bad_learn = {
    {1, 2, 3}
    {good{:}, 0}
    with(good, 1, ones (3, 2, 2))
    with(good, 1, [1i 0 0])
    with(good, 1, sparse (X))
    with(good, 1, {1, 2})
    with(good, 2, ones (12, 1, 2))
    with(good, 2, ones (1, 13))
    with(good, 2, ones (12, 2))
    with(good, 2, repmat ("a", 12, 1))
    with(good, 3, [0.5 0.5])
    with(good, 3, "a")
    with(good, 3, NaN)
    with(good, 3, 1.5)
    with(good, 4, [])
    with(good, 4, 1i)
    with(good, 4, 0)
    with(good, 5, [1 2])
    with(good, 5, {3})
    with(good, 5, 0.9)
    with(good, 6, zeros (2))
    with(good, 6, "b")
    with(good, 6, 2)
    with(good, 7, [])
    with(good, 7, struct ())
    with(good, 7, -1)
    with(good, 8, ones (1, 1, 2))
    with(good, 8, [1 2])
    with(good, 8, {1})
    with(good, 8, 5)
  };
  for k = 1:numel (bad_learn)
    refused += refuses (@() tarn_learn_outputs (bad_learn{k}{:}), "TARN_LEARN: ");
    calls++;
  endfor
  ## The output count, last.
  try
    tarn_learn (good{:});
  catch err
    refused += strncmp (err.message, "tarn_learn: TARN_LEARN: ", 24);
  end_try_catch
  calls++;

  ## Every argument error of tarn_score, in the order of the checks, and
  ## the template priors.
  good = {T, L, 0.5, X, -1, 0, 0};
  bad_score = {
    {1, 2, 3}
    {good{:}, 0}
    with(good, 1, ones (2, 7, 2))
    with(good, 1, T * 1i)
    with(good, 1, sparse (T))
    with(good, 1, {1})
    with(good, 2, ones (rows (T), 1, 2))
    with(good, 2, ones (rows (T) + 1, 1))
    with(good, 2, repmat ("a", rows (T), 1))
    with(good, 3, [])
    with(good, 3, "a")
    with(good, 3, -0.01)
    with(good, 4, ones (2, 3, 2))
    with(good, 4, ones (2, 4))
    with(good, 4, X * 1i)
    with(good, 5, [1 2])
    with(good, 5, {1})
    with(good, 6, [0 1])
    with(good, 6, struct ())
    with(good, 6, 2)
    with(good, 7, [])
    with(good, 7, "c")
    with(good, 7, 4)
    with(good, 1, [T(:, 1:6) -ones(rows (T), 1)])
    with(good, 1, [T(:, 1:6) NaN(rows (T), 1)])
    with(with (with (good, 1, zeros (2, 0)), 2, [1; 2]), 4, zeros (3, 0))
  };
  for k = 1:numel (bad_score)
    refused += refuses (@() tarn_score (bad_score{k}{:}), "TARN_SCORE: ");
    calls++;
  endfor
  try
    [p, q] = tarn_score (good{:});
  catch err
    refused += strncmp (err.message, "tarn_score: TARN_SCORE: ", 24);
  end_try_catch
  calls++;

  ## tarn_resume: training on at every output level with any number of
  ## outputs, from the model and from nothing, on hostile numbers; every
  ## kind of refusal.
  [T, L, n] = tarn_learn (X(1:6, :), y(1:6), 0.3, 1.0, 1, 0, 0, 0);
  for oflag = 0:4
    [Tr, Lr, nr, Nr, Ar] = tarn_resume (T, L, 6, X(7:end, :), y(7:end), 0.3, 1.0, 3, 1, mod (oflag, 2), oflag);
    calls++;
    check (columns (Tr) == 7 && Nr == 6 + 6 * nr && numel (Ar) == rows (Tr), "training on");
  endfor
  tarn_resume (T, L, 6, X, y, 0.3, 1, 1, 0, 0, 0);
  [Te, Le] = tarn_resume (zeros (0, 7), zeros (0, 1), 0, X, y, 0.3, 1, 2, 1, 1, 1);
  [Th, Lh] = tarn_resume (single (T), int8 (L), uint16 (6), H, y, 0, 1e-300, 2, 0, 1, 4);
  calls += 3;
  check (isequal (Te, tarn_learn_outputs (X, y, 0.3, 1, 2, 1, 1, 0)), "training on from nothing");
  good = {T, L, 6, X, y, 0.3, 1, 2, 0, 0, 0};
  bad_resume = {
    {1, 2}
    with(good, 1, ones (2, 7, 2))
    with(good, 2, "ab")
    with(good, 3, 6.5)
    with(good, 3, 7)
    with(good, 4, X(:, 1:2))
    with(good, 5, y(1:3))
    with(good, 6, 2)
    with(good, 7, -1)
    with(good, 8, 2^31 - 1)
    with(good, 9, 2)
    with(good, 10, {0})
    with(good, 11, [1 2])
  };
  for k = 1:numel (bad_resume)
    refused += refuses (@() tarn_resume (bad_resume{k}{:}), "TARN_RESUME: ");
    calls++;
  endfor

  ## tarn_evidence: any number of outputs, no model, hostile numbers; every
  ## kind of refusal.
  [E, C, B, W] = tarn_evidence (T, L, 0, X);
  E1 = tarn_evidence (T0, L0, 0.5, X);
  tarn_evidence (Tz, [1; 2; 3; NaN], 0, [0 0 0; 1 1 1; NaN 0 0; Inf 1e300 -1e300]);
  [Eh, Ch, Bh, Wh] = tarn_evidence (single (Th), int16 (Lh), 0, H);
  calls += 4;
  check (isequal (size (E), [12 numel(C)]) && isequal (size (E1), [12 0]) && numel (Wh) == 12, "evidence");
  good = {T, L, 0.5, X};
  bad_evidence = {
    {1, 2, 3}
    with(good, 1, T * 1i)
    with(good, 1, [T(:, 1:6) -ones(rows (T), 1)])
    with(good, 2, ones (rows (T) + 1, 1))
    with(good, 3, NaN)
    with(good, 4, ones (2, 4))
  };
  for k = 1:numel (bad_evidence)
    refused += refuses (@() tarn_evidence (bad_evidence{k}{:}), "TARN_EVIDENCE: ");
    calls++;
  endfor

  expected_refusals = numel (bad_learn) + numel (bad_score) + numel (bad_resume) + numel (bad_evidence) + 2;
  check (refused == expected_refusals, sprintf ("%d of %d refusals", refused, expected_refusals));
  printf ("valgrind battery: %d calls, %d refused\n", calls, refused);
endfunction

function check (condition, what)
  if (! condition)
    error ("valgrind battery: unexpected result: %s", what);
  endif
endfunction

function args = with (args, k, value)
  args{k} = value;
endfunction

function varargout = tarn_learn_outputs (varargin)
  [varargout{1:3}] = tarn_learn (varargin{:});
endfunction

## 1 when f raises an error of the plug-in (its message begins with the
## command's name), 0 when it runs; any other error is passed on.
function ok = refuses (f, prefix)
  try
    f ();
    ok = 0;
  catch err
    if (isempty (strfind (err.message, prefix)))
      rethrow (err);
    endif
    ok = 1;
  end_try_catch
endfunction
