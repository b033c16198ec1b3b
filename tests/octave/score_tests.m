## tarn_score at the Octave prompt: every argument rule with its exact
## message, results and console text worked out by hand, the round trip
## from tarn_learn, and the work totals of the two plug-ins.

%!function expect_score_error (expected, nout, varargin)
%!  try
%!    if (nout == 0)
%!      tarn_score (varargin{:});
%!    elseif (nout == 1)
%!      p = tarn_score (varargin{:});
%!    else
%!      [p, q] = tarn_score (varargin{:});
%!    endif
%!  catch err
%!    full = ["tarn_score: TARN_SCORE: " expected];
%!    assert (strcmp (err.message, full), "got '%s', expected '%s'", err.message, full);
%!    return;
%!  end_try_catch
%!  error ("tarn_score accepted arguments it should refuse: %s", expected);
%!endfunction

%!function args = valid_args ()
%!  ## Nodes at 0 and 10 (deviation 1, prior 1), labels 7 and 9.
%!  args = {[0 1 1; 10 1 1], [7; 9], 0.5, [0; 5; 10.5], -3, 0, 0};
%!endfunction

%!function args = with_arg (k, value)
%!  args = valid_args ();
%!  args{k} = value;
%!endfunction

%!function flops = flops_of (report)
%!  flops = str2double (regexp (report, '(\d+) FLOPs', 'tokens'){end}{1});
%!endfunction

%!function [X, y] = clusters (per_class, seed)
%!  ## Three classes, 8 apart, deviation 0.5.
%!  randn ("state", seed);
%!  centres = [0 0; 8 0; 0 8];
%!  X = zeros (0, 2);
%!  y = zeros (0, 1);
%!  for c = 1:3
%!    X = [X; centres(c, :) + 0.5 * randn(per_class, 2)];
%!    y = [y; c * ones(per_class, 1)];
%!  endfor
%!endfunction

## Argument rules, in the order they are checked.
%!test expect_score_error ("7 input arguments required.", 1, 1, 2, 3);
%!test expect_score_error ("7 input arguments required.", 1, valid_args (){:}, 0);
%!test expect_score_error ("1st input argument (Templates) must be  a two dimensional array (matrix).", 1, with_arg (1, ones (2, 3, 2)){:});
%!test expect_score_error ("1st input argument (Templates) must be a real, full, numeric array.", 1, with_arg (1, [0 1 1i; 10 1 1]){:});
%!test expect_score_error ("1st input argument (Templates) must be a real, full, numeric array.", 1, with_arg (1, sparse ([0 1 1; 10 1 1])){:});
%!test expect_score_error ("1st input argument (Templates) must be a real, full, numeric array.", 1, with_arg (1, {1, 2, 3}){:});
%!test expect_score_error ("2nd input argument (NLabels) must a vector.", 1, with_arg (2, ones (2, 1, 2)){:});
%!test expect_score_error ("2nd input argument (NLabels) must be of type  2x1 or 1x2.", 1, with_arg (2, [7 9 9]){:});
%!test expect_score_error ("2nd input argument (NLabels) must be of type  2x1 or 1x2.", 1, with_arg (2, ones (2)){:});
%!test expect_score_error ("2nd input argument (NLabels) must be a real, full, numeric array.", 1, with_arg (2, "ab"){:});
%!test expect_score_error ("3rd input argument (vigilance) must be a scalar.", 1, with_arg (3, [0.5 0.5 0.5]){:});
%!test expect_score_error ("3rd input argument (vigilance) must be a scalar.", 1, with_arg (3, zeros (1, 0)){:});
%!test expect_score_error ("3rd input argument (vigilance) must be a real, full, numeric array.", 1, with_arg (3, complex (0.5, 0)){:});
%!test expect_score_error ("3rd input argument (vigilance) must be in [0.0, 1.0].", 1, with_arg (3, -0.01){:});
%!test expect_score_error ("3rd input argument (vigilance) must be in [0.0, 1.0].", 1, with_arg (3, 1.01){:});
%!test expect_score_error ("3rd input argument (vigilance) must be in [0.0, 1.0].", 1, with_arg (3, NaN){:});
%!test expect_score_error ("4th input argument (Patterns) must be  a two dimensional array (matrix).", 1, with_arg (4, ones (3, 1, 2)){:});
%!test expect_score_error ("4th input argument (Patterns) must be of type  3x1.", 1, with_arg (4, ones (3, 2)){:});
%!test expect_score_error ("4th input argument (Patterns) must be a real, full, numeric array.", 1, with_arg (4, "abc"'){:});
%!test expect_score_error ("5th input argument (unknown_label) must be a scalar.", 1, with_arg (5, []){:});
%!test expect_score_error ("5th input argument (unknown_label) must be a real, full, numeric array.", 1, with_arg (5, struct ()){:});
%!test expect_score_error ("6th input argument (decision_option) must be scalar.", 1, with_arg (6, [0 1]){:});
%!test expect_score_error ("6th input argument (decision_option) must be a real, full, numeric array.", 1, with_arg (6, "0"){:});
%!test expect_score_error ("6th input argument (decision_option) must be 0 or 1.", 1, with_arg (6, 2){:});
%!test expect_score_error ("7th input argument (oflag) must be scalar.", 1, with_arg (7, ones (1, 1, 2)){:});
%!test expect_score_error ("7th input argument (oflag) must be a real, full, numeric array.", 1, with_arg (7, {1}){:});
%!test expect_score_error ("7th input argument (oflag) must be 0,1,2 or 3.", 1, with_arg (7, 4){:});
%!test expect_score_error ("7th input argument (oflag) must be 0,1,2 or 3.", 1, with_arg (7, -1){:});
%!test expect_score_error ("1 output argument required.", 0, valid_args (){:});
%!test expect_score_error ("1 output argument required.", 2, valid_args (){:});
%!test expect_score_error ("7th input argument (oflag) must be 0,1,2 or 3.", 2, with_arg (7, 9){:});
%!test expect_score_error ("4th input argument (Patterns) must be of type  10x3.", 1, ones (4, 8), 1:4, 0.5, ones (10, 4), -1, 0, 0);

## Template rows whose prior would leave the choice undefined.
%!test expect_score_error ("1st input argument (Templates) has a negative or undefined prior in row 2.", 1, with_arg (1, [0 1 1; 10 1 -0.5]){:});
%!test expect_score_error ("1st input argument (Templates) has a negative or undefined prior in row 1.", 1, with_arg (1, [0 1 NaN; 10 1 -0.5]){:});
%!test expect_score_error ("1st input argument (Templates) has no prior in row 1.", 1, zeros (2, 0), [7; 9], 0.5, zeros (3, 0), -3, 0, 0);

%!test
%! ## Limits that are accepted, and integer arguments truncated toward zero.
%! args = valid_args ();
%! ## Pattern 2 lies halfway: equal choice values, the lower node wins.
%! assert (tarn_score (args{1:2}, 0, args{4}, -1.7, -0.5, 3.9 - 3), [7; 7; 9]);
%! ## Under rule 1 its equal sums decide nothing: unknown_label NaN is 0.
%! assert (tarn_score (args{1:2}, 0, args{4}, NaN, 1.7, 0), [7; 0; 9]);
%! ## At vigilance 1 only the pattern on a mean passes.
%! assert (tarn_score (args{1:2}, 1, args{4}, NaN, 1.7, 0), [7; 0; 0]);
%! assert (tarn_score (args{1}, [7.9 9.2], args{3:end}), [7; -3; 9]);

%!test
%! ## Other real classes are read as doubles; the inputs stay as they were.
%! args = valid_args ();
%! copy = args;
%! p = tarn_score (int8 (args{1}), uint16 (args{2}), single (0.5), single (args{4}), int32 (-3), false, uint8 (0));
%! assert (p, [7; -3; 9]);
%! assert (class (p), "double");
%! assert (isequal (args, copy));

%!test
%! ## Worked out by hand: one feature, mean 1, deviation 2, prior 0.25,
%! ## pattern 2: log match -(1/2)((1 - 2)/2)^2, plus ln 0.25 - ln 2.
%! out = evalc ("p = tarn_score ([1 2 0.25], 4, 0, 2, -1, 0, 3);");
%! ccf = -0.5 * ((1 - 2) / 2)^2 + (log (0.25) - log (2));
%! assert (! isempty (strfind (out, sprintf ("      CCF(1)=%f\n", ccf))));
%! assert (strcmp (sprintf ("%f", ccf), "-2.204442"));
%! assert (p, 4);

%!test
%! ## The two rules disagree when two weaker nodes of one label outvote a
%! ## stronger one; equal sums of two labels decide nothing.
%! T = [0 1 0.4; 0 1 0.3; 0 1 0.3];
%! assert (tarn_score (T, [1 2 2], 0.5, [0.1; 0.2], -1, 0, 0), [1; 1]);
%! assert (tarn_score (T, [1 2 2], 0.5, [0.1; 0.2], -1, 1, 0), [2; 2]);
%! assert (tarn_score (T(2:3, :), [1 2], 0.5, 0.1, -1, 1, 0), -1);
%! ## Without features the largest prior decides.
%! assert (tarn_score ([0.25; 0.75], [3; 4], 1, zeros (2, 0), -1, 0, 0), [4; 4]);

%!test
%! ## Empty templates or patterns are valid.
%! assert (tarn_score (zeros (0, 3), zeros (0, 1), 0.5, [1; 2], -1, 0, 0), [-1; -1]);
%! assert (tarn_score (zeros (0, 3), zeros (1, 0), 0.5, [1; 2], -1, 1, 0), [-1; -1]);
%! assert (size (tarn_score ([0 1 1], 7, 0.5, zeros (0, 1), -1, 0, 0)), [0 1]);

%!test
%! ## The console text of a small case, whole, at each level.
%! clear tarn_score
%! args = valid_args ();
%! out = evalc ("p = tarn_score (args{1:6}, 3);");
%! expected = ["\nList presentation of 3 patterns:\n" ...
%!             "   Pattern #1 is being presented\n" ...
%!             "      CCF(1)=0.000000\n" ...
%!             "      Node #2 fails the VT (MFV=0.000000 < rho=0.500000)\n" ...
%!             "   Pattern #1 selected by node #1 and classified as '7'\n" ...
%!             "   Pattern #2 is being presented\n" ...
%!             "      Node #1 fails the VT (MFV=0.000004 < rho=0.500000)\n" ...
%!             "      Node #2 fails the VT (MFV=0.000004 < rho=0.500000)\n" ...
%!             "   Pattern #2 could not be classified\n" ...
%!             "   Pattern #3 is being presented\n" ...
%!             "      Node #1 fails the VT (MFV=0.000000 < rho=0.500000)\n" ...
%!             "      CCF(2)=-0.125000\n" ...
%!             "   Pattern #3 selected by node #2 and classified as '9'\n" ...
%!             "\nGAM performance phase summary\n" ...
%!             "Test set contained 3 test patterns\n" ...
%!             "0 inactive nodes detected (0.000000%)\n" ...
%!             "unable to classify 1 patterns (33.333333%)\n" ...
%!             "46 FLOPs and 6 comparisons in 0 seconds\n\n"];
%! assert (out, expected);
%! assert (p, [7; -3; 9]);
%! ## The totals carry over: the same call again adds its 46 node flops.
%! out = evalc ("p = tarn_score (args{1:5}, 1, 2);");
%! assert (out, ["\nList presentation of 3 patterns:\n" ...
%!               "   Pattern #1 classified as '7'\n" ...
%!               "   Pattern #2 could not be classified\n" ...
%!               "   Pattern #3 classified as '9'\n" ...
%!               "\nGAM performance phase summary\n" ...
%!               "Test set contained 3 test patterns\n" ...
%!               "unable to classify 1 patterns (33.333333%)\n" ...
%!               "96 FLOPs and 18 comparisons in 0 seconds\n\n"]);
%! out = evalc ("p = tarn_score (args{1:2}, 0.5, 0, args{5:6}, 1);");
%! assert (out, ["\nGAM performance phase summary\n" ...
%!               "Test set contained 1 test patterns\n" ...
%!               "1 inactive node detected (50.000000%)\n" ...
%!               "113 FLOPs and 2 comparisons in 0 seconds\n\n"]);
%! assert (evalc ("p = tarn_score (args{1:6}, 0);"), "");

%!test
%! ## Train, then classify: the training rows come back with their labels
%! ## at vigilance 0, and fresh rows from the same classes are classified.
%! [X, y] = clusters (30, 1);
%! [T, L, n] = tarn_learn (X, y, 0.5, 0.5, 20, 1, 0, 0);
%! assert (columns (T), 5);
%! assert (all (ismember (L, 1:3)));
%! [Xnew, ynew] = clusters (20, 2);
%! for rule = 0:1
%!   assert (tarn_score (T, L, 0, X, -1, rule, 0), y);
%!   assert (mean (tarn_score (T, L, 0, Xnew, -1, rule, 0) == ynew) >= 0.95);
%! endfor

%!test
%! ## The shipped data sets: every third row held out, features
%! ## standardised by the training rows, vigilance 0.1 and gamma 0.5 in
%! ## training, vigilance 0 in classification.
%! data = fullfile (fileparts (which ("run_octave_tests")), "..", "..", "data");
%! floors = struct ("iris", 0.9, "wine", 0.85, "breast_cancer", 0.88);
%! for name = fieldnames (floors)'
%!   M = dlmread (fullfile (data, [name{1} ".csv"]), ",", 2, 0);
%!   X = M(:, 1:end-1);
%!   y = M(:, end);
%!   test_rows = mod ((1:rows (X))', 3) == 0;
%!   mu = mean (X(! test_rows, :));
%!   sd = std (X(! test_rows, :));
%!   sd(sd == 0) = 1;
%!   X = (X - mu) ./ sd;
%!   [T, L, n] = tarn_learn (X(! test_rows, :), y(! test_rows), 0.1, 0.5, 100, 1, 0, 0);
%!   for rule = 0:1
%!     p = tarn_score (T, L, 0, X(test_rows, :), -1, rule, 0);
%!     accuracy = mean (p == y(test_rows));
%!     assert (accuracy >= floors.(name{1}), "%s, rule %d: accuracy %f", name{1}, rule, accuracy);
%!   endfor
%! endfor

%!test
%! ## Loaded together, the two plug-ins keep their own work totals.
%! clear tarn_score tarn_learn
%! X = [0; 0.1; 5; 5.1];
%! y = [1; 1; 2; 2];
%! learn1 = evalc ("[T, L, n] = tarn_learn (X, y, 0.5, 1, 10, 1, 0, 1);");
%! J = rows (T);
%! ## Vigilance 0: every node passes every pattern; rule 0 adds no flops.
%! score = evalc ("p = tarn_score (T, L, 0, X, -1, 0, 1);");
%! assert (p, y);
%! assert (flops_of (score), J * (2 + 2) + 4 * J * (4 + 2) + 4 * J);
%! learn2 = evalc ("[T, L, n] = tarn_learn (X, y, 0.5, 1, 10, 1, 0, 1);");
%! assert (flops_of (learn2), 2 * flops_of (learn1) + J);
