## The plug-ins at the Octave prompt on hostile numbers: NaN, infinities,
## values near the end of the double range, tiny and huge gamma, templates
## with zero or negative deviations and zero priors. Results must be what
## IEEE arithmetic gives: NaN and Inf carried through, nothing replaced.

%!test
%! ## A NaN feature stays in the node made from it; that node never matches.
%! [T, L, n] = tarn_learn ([NaN 0; 0 0; 0 0], [1; 1; 1], 0.5, 1, 1, 1, 0, 0);
%! assert (size (T), [2 5]);
%! assert (isnan (T(1, 1)));
%! assert (T(1, 2:5), [0 1 1 1/3]);
%! assert (T(2, :), [0 0 sqrt(0.5) sqrt(0.5) 2/3]);
%! p = tarn_score (T, L, 0, [NaN 0; 0 0], -9, 0, 0);
%! assert (p, [-9; 1]);

%!test
%! ## Infinite patterns: no node can code them, so every pass adds one.
%! [T, L, n] = tarn_learn ([Inf 0; 1 0], [1; 2], 0, 1, 2, 1, 0, 0);
%! assert (n, 2);
%! assert (L, [1; 2; 1]);
%! assert (T([1 3], 1), [Inf; Inf]);

%!test
%! ## Values of 1e300 overflow the learnt deviation, not the mean.
%! [T, L, n] = tarn_learn ([1e300; -1e300; 1e300], [1; 1; 1], 0, 1, 1, 1, 0, 0);
%! assert (rows (T), 1);
%! assert (isfinite (T(1, 1)));
%! assert (T(1, 2:3), [Inf 1]);

%!test
%! ## gamma 1e-300 is kept exactly; its square underflows when learning.
%! [T, L, n] = tarn_learn ([0; 0; 1], [1; 1; 1], 0.5, 1e-300, 1, 1, 0, 0);
%! assert (T, [0 0 2/3; 1 1e-300 1/3]);
%! ## gamma 1e300 matches everything; the first update overflows to Inf.
%! [T, L, n] = tarn_learn ([0; 1; 2], [1; 2; 1], 1, 1e300, 1, 1, 0, 0);
%! assert (T, [1 Inf 2/3; 1 1e300 1/3]);
%! assert (L, [1; 2]);

%!test
%! ## Zero deviation: the choice is -Inf + Inf = NaN, which rule 0 keeps
%! ## once it leads and which decides nothing under rule 1.
%! T = [0 0 1; 10 1 1];
%! assert (tarn_score (T, [7; 9], 0, [5; 0], -3, 0, 0), [7; 9]);
%! assert (tarn_score (T, [7; 9], 0, [5; 0], -3, 1, 0), [9; 9]);
%! report = evalc ("p = tarn_score ([0 0 1], 7, 0, 5, -3, 0, 3);");
%! assert (! isempty (regexp (report, 'CCF\(1\)=-?nan', 'once')), report);

%!test
%! ## Negative deviation: ln(sigma) is NaN, so is every choice of the node.
%! T = [0 -1 1; 10 1 1];
%! assert (tarn_score (T, [7; 9], 0, [0; 10], -3, 0, 0), [7; 7]);
%! assert (tarn_score (T, [7; 9], 0, [0; 10], -3, 1, 0), [9; 9]);

%!test
%! ## Zero priors: ln(0) = -Inf loses to any finite choice and sums to 0.
%! assert (tarn_score ([0 1 0; 10 1 1], [7; 9], 0, 0, -3, 0, 0), 9);
%! assert (tarn_score ([0 1 0; 10 1 0], [7; 9], 0, [0; 10], -3, 0, 0), [7; 7]);
%! assert (tarn_score ([0 1 0; 10 1 0], [7; 9], 0, [0; 10], -3, 1, 0), [-3; -3]);

%!test
%! ## Patterns infinitely far away tie at -Inf: rule 0 takes node 1, rule 1
%! ## has only zero sums.
%! far = [Inf; -Inf; 1e300; NaN];
%! assert (tarn_score ([0 1 1; 10 1 1], [7; 9], 0, far, -3, 0, 0), [7; 7; 7; -3]);
%! assert (tarn_score ([0 1 1; 10 1 1], [7; 9], 0, far, -3, 1, 0), [-3; -3; -3; -3]);

%!test
%! ## tarn_resume carries NaN, Inf and huge values through a model as
%! ## tarn_learn does: the model of the first rows, trained on with the
%! ## rest, is the model of all rows.
%! X = [NaN 0; 0 0; Inf 0; 1e300 1; 0 0; 1 -1e300];
%! y = [1; 1; 2; 1; NaN; 2.5];
%! for vigilance = [0 0.5]
%!   [T, L, n] = tarn_learn (X(1:3, :), y(1:3), vigilance, 1e-300, 1, 0, 0, 0);
%!   [T, L] = tarn_resume (T, L, 3, X(4:6, :), y(4:6), vigilance, 1e-300, 1, 0, 0, 0);
%!   [T2, L2, n2] = tarn_learn (X, y, vigilance, 1e-300, 1, 0, 0, 0);
%!   assert (isequaln (T, T2) && isequal (L, L2));
%! endfor

%!test
%! ## tarn_evidence: a zero prior gives -Inf, an infinite one Inf, a
%! ## negative deviation NaN; a row 1e100 away still gets finite evidence.
%! T = [0 1 0; 0 1 Inf; 0 -1 0.5; 0 1 0.5];
%! [E, classes, best, winner] = tarn_evidence (T, [1; 2; 3; 4], 0, [0; 1e100; NaN]);
%! assert (E(1, :), [-Inf Inf NaN log(0.5)]);
%! assert (isfinite (E(2, 4)) && E(2, 4) == best(2, 4));
%! assert (E(3, :), -Inf (1, 4));
%! assert (winner(3), 0);
