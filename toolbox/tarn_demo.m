## -*- texinfo -*-
## @deftypefn {} {} tarn_demo ()
## @deftypefnx {} {} tarn_demo (@var{data_set})
## @deftypefnx {} {@var{result} =} tarn_demo (@var{data_set}, @var{vigilance}, @var{gamma})
## Train on a shipped data set and classify its held-out rows.
##
## @var{data_set} is @qcode{"iris"} (the default), @qcode{"wine"} or
## @qcode{"breast_cancer"}, a CSV file in the repository's @file{data/}.
## The split is fixed: every third row (rows 3, 6, 9, ...) is a test row,
## the others train. Features are standardised with the training rows' mean
## and standard deviation. The demo trains with @code{tarn_learn}, then
## classifies the test rows with both decision rules of @code{tarn_score},
## printing both reports, the accuracy and a confusion table for each.
## @end deftypefn

function result = tarn_demo (data_set = "iris", vigilance = 0, gamma = 1)
  [X, y, names] = tarn_load_data (data_set);
  test_rows = mod ((1:rows (X))', 3) == 0;
  Xtrain = X(! test_rows, :);  ytrain = y(! test_rows);
  Xtest = X(test_rows, :);     ytest = y(test_rows);

  mu = mean (Xtrain);
  sd = std (Xtrain);
  sd(sd == 0) = 1;
  Xtrain = (Xtrain - mu) ./ sd;
  Xtest = (Xtest - mu) ./ sd;

  printf ("tarn demo: %s, %d features, %d training rows, %d test rows\n",
          data_set, columns (X), rows (Xtrain), rows (Xtest));
  printf ("tarn_learn (vigilance %g, gamma %g, at most 100 passes, stop when no node is created)\n",
          vigilance, gamma);
  [T, L, n] = tarn_learn (Xtrain, ytrain, vigilance, gamma, 100, 1, 0, 1);
  printf ("%d nodes after %d list presentations\n", rows (T), n);

  unknown = -1;
  rule_names = {"winner-take-all", "per-label sums"};
  accuracy = zeros (1, 2);
  for rule = 0:1
    printf ("\ntarn_score, decision rule %d (%s), vigilance 0\n", rule, rule_names{rule + 1});
    predicted = tarn_score (T, L, 0, Xtest, unknown, rule, 1);
    accuracy(rule + 1) = mean (predicted == ytest);
    printf ("accuracy: %.4f (%d of %d test rows)\n", accuracy(rule + 1),
            sum (predicted == ytest), rows (ytest));
    print_confusion (ytest, predicted, names, unknown);
  endfor

  if (nargout > 0)
    result = struct ("data_set", data_set, "nodes", rows (T), "passes", n,
                     "accuracy_rule0", accuracy(1), "accuracy_rule1", accuracy(2));
  endif
endfunction

function print_confusion (truth, predicted, names, unknown)
  classes = unique (truth)';
  printf ("confusion (rows: true class, columns: predicted; ? = unclassified)\n");
  printf ("%16s", "");
  printf ("%8d", classes);
  printf ("%8s\n", "?");
  for c = classes
    printf ("%16s", sprintf ("%d %s", c, names{c}));
    for d = classes
      printf ("%8d", sum (truth == c & predicted == d));
    endfor
    printf ("%8d\n", sum (truth == c & predicted == unknown));
  endfor
endfunction
