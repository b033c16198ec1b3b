## tarn_learn at the Octave prompt: every argument rule with its exact
## message, the report as printed, and results worked out by hand.

%!function expect_learn_error (expected, varargin)
%!  try
%!    [T, L, n] = tarn_learn (varargin{:});
%!  catch err
%!    assert (err.message, ["tarn_learn: TARN_LEARN: " expected]);
%!    return;
%!  end_try_catch
%!  error ("tarn_learn accepted arguments it should refuse: %s", expected);
%!endfunction

%!function args = valid_args ()
%!  args = {[0 0; 1 1; 5 5], [1; 1; 2], 0.5, 1.0, 10, 1, 0, 0};
%!endfunction

%!function args = with_arg (k, value)
%!  args = valid_args ();
%!  args{k} = value;
%!endfunction

%!test expect_learn_error ("8 input arguments required.", 1, 2, 3);
%!test expect_learn_error ("8 input arguments required.", valid_args (){:}, 0);
%!test expect_learn_error ("1st input argument (Patterns) must be  a two dimensional array (matrix).", with_arg (1, ones (3, 2, 2)){:});
%!test expect_learn_error ("1st input argument (Patterns) must be a real, full, numeric array.", with_arg (1, [1i 0; 1 1; 5 5]){:});
%!test expect_learn_error ("1st input argument (Patterns) must be a real, full, numeric array.", with_arg (1, sparse ([0 0; 1 1; 5 5])){:});
%!test expect_learn_error ("1st input argument (Patterns) must be a real, full, numeric array.", with_arg (1, {1, 2}){:});
%!test expect_learn_error ("2nd input argument (PLabels) must a vector.", with_arg (2, ones (3, 1, 2)){:});
%!test expect_learn_error ("2nd input argument (PLabels) must be of type  3x1 or 1x3.", with_arg (2, [1 1 2 2]){:});
%!test expect_learn_error ("2nd input argument (PLabels) must be of type  3x1 or 1x3.", with_arg (2, ones (3, 2)){:});
%!test expect_learn_error ("2nd input argument (PLabels) must be a real, full, numeric array.", with_arg (2, "abc"){:});
%!test expect_learn_error ("3rd input argument (vigilance) must be a scalar.", with_arg (3, [0.5 0.5]){:});
%!test expect_learn_error ("3rd input argument (vigilance) must be a scalar.", with_arg (3, zeros (1, 0)){:});
%!test expect_learn_error ("3rd input argument (vigilance) must be a real, full, numeric array.", with_arg (3, "a"){:});
%!test expect_learn_error ("3rd input argument (vigilance) must be in [0,1].", with_arg (3, -0.0001){:});
%!test expect_learn_error ("3rd input argument (vigilance) must be in [0,1].", with_arg (3, 1.0001){:});
%!test expect_learn_error ("3rd input argument (vigilance) must be in [0,1].", with_arg (3, NaN){:});
%!test expect_learn_error ("4th input argument (gamma) must be a scalar.", with_arg (4, [1 2]){:});
%!test expect_learn_error ("4th input argument (gamma) must be a real, full, numeric array.", with_arg (4, 1 + 2i){:});
%!test expect_learn_error ("4th input argument (gamma) must bepositive.", with_arg (4, 0){:});
%!test expect_learn_error ("5th input argument (max_list_presentations) must be a scalar.", with_arg (5, []){:});
%!test expect_learn_error ("5th input argument (max_list_presentations) must be a real, full, numeric array.", with_arg (5, {3}){:});
%!test expect_learn_error ("5th input argument (max_list_presentations) must  be positive.", with_arg (5, 0.9){:});
%!test expect_learn_error ("6th input argument (no_creation_flag) must be a scalar.", with_arg (6, [0 1]){:});
%!test expect_learn_error ("6th input argument (no_creation_flag) must be either 0 or 1.", with_arg (6, 2){:});
%!test expect_learn_error ("7th input argument (trim_option) must be a scalar.", with_arg (7, ones (2)){:});
%!test expect_learn_error ("7th input argument (trim_option) must be either 0 or 1.", with_arg (7, -1){:});
%!test expect_learn_error ("8th input argument (oflag) must be scalar.", with_arg (8, ones (1, 1, 2)){:});
%!test expect_learn_error ("8th input argument must be scalar.", with_arg (8, [1 2]){:});
%!test expect_learn_error ("8th input argument (oflag) must be a real, full, numeric array.", with_arg (8, struct ()){:});
%!test expect_learn_error ("8th input argument (oflag) must be 0,1,2,3 or 4.", with_arg (8, 5){:});

%!test
%! ## The number of outputs is checked after every input.
%! args = valid_args ();
%! try
%!   tarn_learn (args{:});
%!   error ("no error");
%! catch err
%!   assert (err.message, "tarn_learn: TARN_LEARN: 3 output arguments required.");
%! end_try_catch
%! try
%!   [a, b] = tarn_learn (args{:});
%!   error ("no error");
%! catch err
%!   assert (err.message, "tarn_learn: TARN_LEARN: 3 output arguments required.");
%! end_try_catch

%!test
%! ## Limits that are accepted: vigilance 0 and 1, truncated integers.
%! [T, L, n] = tarn_learn ([0; 1], [1 2], 0, 1, 1.9, -0.5, 1.7, 0);
%! assert (n, 1);
%! [T, L, n] = tarn_learn ([0; 1], [1; 2], 1, 1, 4.9, 1, 0, 0);
%! assert (size (T), [2 3]);

%!test
%! ## Two patterns of one class at 0 and 0.1, gamma 1: worked out by hand.
%! out = evalc ("[T, L, n] = tarn_learn ([0; 0.1], [1; 1], 0.5, 1, 10, 1, 0, 1);");
%! flops = regexp (out, '(\d+) FLOPs', 'tokens'){1}{1};
%! expected = ["\nGAM training stopped after 2 list presentations\n" ...
%!             "No new nodes were created during the last list presentation.\n" ...
%!             "Training set contained 2 training patterns\n" ...
%!             "0 inactive nodes detected (0.000000% redundacy)\n" ...
%!             "1 node created (50.000000% inflation)\n" ...
%!             flops " FLOPs and 3 comparisons in 0 seconds\n\n"];
%! assert (out, expected);
%! ## Pattern 2 halves the distance: mean 0.05, sigma sqrt(1/2 + 0.05^2/2);
%! ## pass 2 adds 0 and 0.1 again.
%! m2 = 0.05; s2 = sqrt (0.5 * 1 + 0.5 * (m2 - 0.1)^2);
%! m3 = (1/3) * 0 + (2/3) * m2; s3 = sqrt ((2/3) * s2^2 + (1/3) * (m3 - 0)^2);
%! m4 = (1/4) * 0.1 + (3/4) * m3; s4 = sqrt ((3/4) * s3^2 + (1/4) * (m4 - 0.1)^2);
%! assert (T, [m4 s4 1], 0);
%! assert (L, 1);
%! assert (n, 2);

%!test
%! ## Level 3 traces each pattern; level 2 prints only the pass lines.
%! out = evalc ("[T, L, n] = tarn_learn ([0; 5], [1; 2], 0.5, 1, 1, 0, 0, 3);");
%! assert (strncmp (out, ["   Pattern #1 is being presented (label 1)\n" ...
%!                        "   Pattern #1 created  node #1 (label 1).\n" ...
%!                        "   Pattern #2 is being presented (label 2)\n" ...
%!                        "   Pattern #2 created  node #2 (label 2).\n" ...
%!                        "   Summary: 2 new nodes created, 0 node updates\n" ...
%!                        "\nGAM training stopped after 1 list presentation\n"], 116));
%! out = evalc ("[T, L, n] = tarn_learn ([0; 5], [1; 2], 0.5, 1, 2, 0, 0, 2);");
%! assert (strncmp (out, ["List presentation #1: 2 new nodes created, 0 node updates\n" ...
%!                        "List presentation #2: 0 new nodes created, 2 node updates\n\n"], 116));

%!test
%! ## Other real classes train exactly like doubles; inputs stay untouched.
%! X = [0 0; 0.5 0.25; 3 3; 3.5 2.75]; y = [1; 1; 2; 2];
%! X0 = X;
%! [T1, L1, n1] = tarn_learn (X, y, 0.5, 1, 10, 1, 0, 0);
%! [T2, L2, n2] = tarn_learn (single (X), int32 (y), single (0.5), uint8 (1), int16 (10), true, false, int8 (0));
%! assert (T2, T1, 0);
%! assert (L2, L1);
%! assert (n2, n1);
%! assert (X, X0);

%!test
%! ## No patterns: empty templates of the right width.
%! [T, L, n] = tarn_learn (zeros (0, 3), zeros (0, 1), 0.5, 1, 4, 0, 0, 0);
%! assert (size (T), [0 7]);
%! assert (size (L), [0 1]);
%! assert (n, 4);

%!test
%! ## Priors sum to one; the same input gives the same templates bit for bit.
%! rand ("seed", 7); X = [rand(40, 3); rand(40, 3) + 2]; y = [ones(40, 1); 2 * ones(40, 1)];
%! [T, L, n] = tarn_learn (X, y, 0.7, 0.3, 20, 1, 0, 0);
%! assert (sum (T(:, end)), 1, 1e-12);
%! [T2, L2, n2] = tarn_learn (X, y, 0.7, 0.3, 20, 1, 0, 0);
%! assert (isequal (T, T2) && isequal (L, L2) && n == n2);
%! assert (all (ismember (L, [1 2])));

%!test
%! ## The work totals persist while the plug-in stays loaded.
%! clear tarn_learn
%! out1 = evalc ("[T, L, n] = tarn_learn ([0; 0.1], [1; 1], 0.5, 1, 10, 1, 0, 1);");
%! out2 = evalc ("[T, L, n] = tarn_learn ([0; 0.1], [1; 1], 0.5, 1, 10, 1, 0, 1);");
%! f1 = str2double (regexp (out1, '(\d+) FLOPs', 'tokens'){1}{1});
%! f2 = str2double (regexp (out2, '(\d+) FLOPs', 'tokens'){1}{1});
%! assert (f2, 2 * f1 + 1);
