## tarn_score at the Octave prompt: every argument rule with its exact
## message.

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
