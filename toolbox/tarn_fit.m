function model = tarn_fit (X, y, varargin)
  % TARN_FIT  Train a Gaussian ARTMAP classifier.
  %
  %   model = tarn_fit (X, y)
  %   model = tarn_fit (X, y, Name, Value, ...)
  %
  %   X is an N-by-M real matrix, one pattern per row; y holds the N class
  %   labels: numbers (any real values: each distinct value is a class),
  %   logicals, a char matrix (one label per row), a cell array of strings,
  %   or, where the host has them, a string or categorical array. MODEL is a
  %   struct that tarn_predict classifies with and tarn_update trains
  %   further; it holds no function handles or objects, so save -v7 and load
  %   carry it between sessions and between Octave and MATLAB.
  %
  %   Options (Name, Value pairs, or one struct with these fields, such as
  %   model.parameters of an earlier fit; names in any case):
  %
  %   'Vigilance'   0      match a node must reach (0..1) to take part in
  %                        training; 0 lets every node compete
  %   'Gamma'       1      initial standard deviation of a new node, in the
  %                        units of the features as trained (standardised:
  %                        1 is one standard deviation)
  %   'MaxPasses'   100    largest number of passes over the rows
  %   'StopWhenNoNewNodes'
  %                 true   stop after a pass that creates no node
  %   'Trim'        false  drop the nodes that neither won nor learnt in
  %                        the last pass
  %   'Standardize' true   scale every feature to mean 0 and standard
  %                        deviation 1 over the training rows (a constant
  %                        feature keeps scale 1 and is reported); the
  %                        model keeps the scaling and applies it to every
  %                        later X
  %   'Voters'      1      number of members: member 1 learns the rows in
  %                        their given order, members 2..V in orders drawn
  %                        by tarn_random_order from Seed; tarn_predict
  %                        takes the plurality of their labels
  %   'Seed'        1      seed of those orders
  %   'Verbose'     0      0 quiet; 1 one line per pass as it happens (pass,
  %                        nodes, new nodes, updates, seconds); 2 adds the
  %                        report of every training call
  %   'Rule'   'evidence'  decision rule that tarn_predict uses by default:
  %                        'winner', 'sum' or 'evidence' (see tarn_predict)
  %
  %   The defaults were chosen by 10-fold cross-validation on the three
  %   data sets shipped with tarn (scripts/measure_defaults.m).
  %
  %   MODEL fields:
  %     format, version    'tarn model' and the format version (1)
  %     classes            the distinct labels (C-by-1, numbers of the class
  %                        of y, or a cell array of strings), in the order of
  %                        the class numbers 1..C used by the node labels and
  %                        by the columns of tarn_predict's scores
  %     label_kind         class of y ('double', 'logical', 'char',
  %                        'cellstr', 'string', 'categorical', ...)
  %     categories         all categories of categorical labels, else {}
  %     features           M
  %     center, scale      1-by-M: rows are trained and classified as
  %                        (X - center) ./ scale (0 and 1 without
  %                        standardising)
  %     constant_features  features whose scale was 0 (kept at 1)
  %     parameters         the options above, except Verbose
  %     templates          member 1's nodes, one per row: M means, M standard
  %                        deviations, the prior (as tarn_learn returns them)
  %     node_labels        class number (1..C) of each node
  %     presentations      rows presented to member 1 in all its training
  %     passes             passes made by member 1 in all its training
  %     members            members 2..V, a struct array with the fields
  %                        templates, node_labels, presentations, passes
  %                        (empty for one voter)
  %     rng_state          state of tarn_random_order after the last draw
  %     rows               rows learnt, over tarn_fit and tarn_update
  %     training_time      seconds spent training, over all calls
  %
  %   Warnings (identifiers, so they can be switched off with warning):
  %     tarn:fit:constantFeature    a feature is constant over the rows
  %     tarn:fit:gammaScale         Gamma is far from the spread of the
  %                                 features as trained, or their spreads
  %                                 differ widely without standardising
  %     tarn:fit:conflictingLabels  identical rows with different labels
  %     tarn:fit:maxPasses          training stopped at MaxPasses while
  %                                 still creating nodes
  %
  %   Errors have identifiers tarn:fit:... and say what was received: badX,
  %   complexX, nonFiniteX, noRows, badLabels, labelCount, missingLabel,
  %   optionPairs, unknownOption, badOption, range.
  %
  %   Example:
  %     [X, y] = tarn_load_data ('iris');
  %     model = tarn_fit (X, y);
  %     labels = tarn_predict (model, X);
  %     fprintf ('training accuracy %.3f with %d nodes\n', ...
  %              mean (labels == y), size (model.templates, 1));
  %
  %   See also tarn_predict, tarn_update, tarn_crossval, tarn_random_order.

  if nargin < 2
    error ('tarn:fit:arguments', ...
           'tarn_fit: X and y are required: model = tarn_fit (X, y, Name, Value, ...)');
  end
  t0 = tic ();
  names = {'Vigilance', 'Gamma', 'MaxPasses', 'StopWhenNoNewNodes', 'Trim', ...
           'Standardize', 'Voters', 'Seed', 'Verbose', 'Rule'};
  p = tarn_options ('fit', names, varargin);
  verbose = p.Verbose;
  p = rmfield (p, 'Verbose');

  X = tarn_check_patterns (X, 'fit');
  [N, M] = size (X);
  if N == 0 || M == 0
    error ('tarn:fit:noRows', ...
           'tarn_fit: X needs at least one row and one column; received a %dx%d matrix', N, M);
  end
  [idx, info] = tarn_encode_labels (y, N, 'fit');

  % Standardisation with the training rows' statistics.
  center = zeros (1, M);
  scale = ones (1, M);
  constant = zeros (1, 0);
  if p.Standardize
    center = mean (X, 1);
    scale = std (X, 0, 1);
    constant = find (scale == 0);
    scale(constant) = 1;
    if ~isempty (constant)
      warning ('tarn:fit:constantFeature', ...
               ['tarn_fit: %d features are constant over the training rows and keep scale 1 ' ...
                '(features %s)'], ...
               numel (constant), mat2str (constant));
    end
    X = bsxfun (@rdivide, bsxfun (@minus, X, center), scale);
    overflow = ~isfinite (center) | ~isfinite (scale) | any (~isfinite (X), 1);
    if any (overflow)
      bad = find (overflow, 1);
      error ('tarn:fit:range', ...
             ['tarn_fit: feature %d is too large to standardise (mean %s, standard ' ...
              'deviation %s); rescale it first'], bad, num2str (center(bad)), num2str (scale(bad)));
    end
  end
  check_gamma (X, p);
  tarn_check_conflicts (X, idx, 'fit');

  % The members.
  V = p.Voters;
  empty = struct ('templates', zeros (0, 2 * M + 1), 'node_labels', zeros (0, 1), ...
                  'presentations', 0, 'passes', 0);
  if verbose >= 1
    fprintf ('tarn_fit: %d rows, %d features, %d classes, voters: %d\n', N, M, ...
             numel (info.classes), V);
    tarn_flush ();
  end

  model = struct ();
  model.format = 'tarn model';
  model.version = 1;
  model.classes = info.classes;
  model.label_kind = info.kind;
  model.categories = info.categories;
  model.features = M;
  model.center = center;
  model.scale = scale;
  model.constant_features = constant;
  model.parameters = p;
  model = tarn_train_voters (model, repmat (empty, V, 1), p.Seed, X, idx, p, verbose, t0, 'fit');
  model.rows = N;
  model.training_time = toc (t0);
end

function check_gamma (X, p)
  % Gamma against the spread of the features as trained.
  spread = std (X, 0, 1);
  spread = spread(spread > 0);
  if isempty (spread)
    return
  end
  lo = min (spread);
  hi = max (spread);
  if p.Gamma > 5 * hi || p.Gamma < lo / 5
    warning ('tarn:fit:gammaScale', ...
             ['tarn_fit: Gamma %g is far from the spread of the features as trained ' ...
              '(standard deviations %g to %g); nodes that wide or narrow classify poorly'], ...
             p.Gamma, lo, hi);
  elseif hi > 100 * lo
    warning ('tarn:fit:gammaScale', ...
             ['tarn_fit: the features'' standard deviations range from %g to %g, and Gamma %g ' ...
              'applies to all of them alike; use ''Standardize'', true'], lo, hi, p.Gamma);
  end
end

%!shared X, y
%! [X, y] = tarn_load_data ('iris');

%!test
%! % Defaults: standardised rows, one tarn_learn call with the guide's
%! % parameters; the model records what it needs.
%! model = tarn_fit (X, y);
%! Z = (X - mean (X)) ./ std (X);
%! [T, L, n] = tarn_learn (Z, y, 0, 1, 100, 1, 0, 0);
%! assert (model.templates, T);
%! assert (model.classes(model.node_labels), L);
%! assert ([model.passes, model.presentations, model.rows], [n, n * 150, 150]);
%! assert (model.center, mean (X), 1e-12);
%! assert (model.scale, std (X), 1e-12);
%! assert (isempty (model.members) && model.parameters.Voters == 1);
%! % The parameters of a model are options of a new fit.
%! again = tarn_fit (X, y, setfield (model.parameters, 'Gamma', 2));
%! assert (again.parameters.Gamma, 2);
%! assert (again.templates, tarn_fit (X, y, 'Gamma', 2).templates);

%!test
%! % Labels of any kind: the same nodes for 2.5/1e10/-3, text and cells.
%! numbers = [2.5; 1e10; -3];
%! m1 = tarn_fit (X, numbers(y));
%! m2 = tarn_fit (X, int16 (y));
%! words = {'b'; 'c'; 'a'};
%! m3 = tarn_fit (X, words(y));
%! m4 = tarn_fit (X, char (words(y)));
%! assert (m1.classes, [-3; 2.5; 1e10]);
%! assert (m3.classes, {'a'; 'b'; 'c'});
%! assert (m4.label_kind, 'char');
%! assert (m1.templates, m2.templates);
%! assert (m1.templates, m3.templates);
%! assert (m3.node_labels, m4.node_labels);
%! assert (m1.classes(m1.node_labels), numbers(m2.classes(m2.node_labels)));

%!test
%! % Progress runs pass by pass through tarn_resume: the same templates as
%! % one tarn_learn call, trimmed too, and one line per pass.
%! for trim = [false true]
%!   quiet = tarn_fit (X, y, 'Trim', trim, 'Gamma', 0.5, 'Vigilance', 0.2);
%!   options = {'Trim', trim, 'Gamma', 0.5, 'Vigilance', 0.2};
%!   text = evalc ('loud = tarn_fit (X, y, options{:}, ''Verbose'', 1);');
%!   assert (loud.templates, quiet.templates);
%!   assert (loud.node_labels, quiet.node_labels);
%!   assert ([loud.passes, loud.presentations], [quiet.passes, quiet.presentations]);
%!   lines = regexp (text, 'pass (\d+): (\d+) nodes, (\d+) new, (\d+) updates, [\d.]+ s', 'tokens');
%!   assert (numel (lines), quiet.passes);
%!   last = [quiet.passes, size(loud.templates, 1) * ~trim, 0, 150];
%!   assert (str2double (lines{end}), last, -Inf);
%! end

%!test
%! % Voters learn seeded orders of the rows; member 1 the given order.
%! model = tarn_fit (X, y, 'Voters', 3, 'Seed', 5);
%! assert (numel (model.members), 2);
%! assert (model.templates, tarn_fit (X, y).templates);
%! order = tarn_random_order (150, 5);
%! Z = (X - mean (X)) ./ std (X);
%! [T, L, n] = tarn_learn (Z(order, :), y(order), 0, 1, 100, 1, 0, 0);
%! assert (model.members(1).templates, T);

%!test
%! % Saved in one session, loaded in a fresh one: the same labels and scores.
%! model = tarn_fit (X, y, 'Voters', 3);
%! [labels, scores] = tarn_predict (model, X);
%! file = [tempname() '.mat'];
%! save ('-v7', file, 'model', 'X');
%! folders = cellfun (@(f) fileparts (which (f)), {'tarn_fit', 'tarn_learn', 'tarn_evidence'}, ...
%!                    'UniformOutput', false);
%! code = sprintf ('addpath (''%s''); ', folders{:});
%! code = [code sprintf(['load (''%s''); [labels, scores] = tarn_predict (model, X); ' ...
%!                       'save (''-v7'', ''%s'', ''labels'', ''scores'');'], file, file)];
%! status = system (sprintf ('octave-cli --no-gui --norc --quiet --no-history --eval "%s"', code));
%! fresh = load (file);
%! delete (file);
%! assert (status, 0);
%! assert (fresh.labels, labels);
%! assert (fresh.scores, scores);

%!warning <features 2> tarn_fit ([1 5; 2 5; 3 5], [1; 2; 1]);
%!warning id=tarn:fit:gammaScale tarn_fit (X, y, 'Gamma', 1e3);
%!warning id=tarn:fit:gammaScale tarn_fit ([X(:, 1:3) 1e4 * X(:, 4)], y, 'Standardize', false);
%!warning <3 rows \(1 distinct> tarn_fit ([0 0; 1 1; 0 0; 0 0], [1; 1; 2; 1], 'MaxPasses', 1);
%!test
%! warning ('off', 'tarn:fit:conflictingLabels', 'local');
%! lastwarn ('');
%! tarn_fit ([0 0; 1 1; 0 0], [1; 1; 2], 'MaxPasses', 4);
%! [text, id] = lastwarn ();
%! assert (id, 'tarn:fit:maxPasses');
%! assert (~isempty (strfind (text, 'MaxPasses 4')));
%! assert (~isempty (regexp (text, '\(\d+ new nodes', 'once')));

%!error <X holds 2 NaN or Inf values; the first is NaN at row 2, column 1>
%! tarn_fit ([1 1; NaN 2; 3 Inf], [1; 2; 1])
%!error id=tarn:fit:badX tarn_fit ({1, 2}, [1 2])
%!error id=tarn:fit:complexX tarn_fit ([1 2i], 1)
%!error id=tarn:fit:noRows tarn_fit (zeros (0, 2), [])
%!error id=tarn:fit:range tarn_fit ([1e308; -1e308], [1; 2])
%!error <y has 2 labels but X has 3 rows> tarn_fit (ones (3, 1), [1 2])
%!error <1 missing labels \(NaN\); the first is at row 2> tarn_fit (ones (3, 1), [1 NaN 2])
%!error <missing labels \(empty strings\)> tarn_fit (ones (2, 1), {'a', ''})
%!error <element 2 is 5> tarn_fit (ones (2, 1), {'a', 5})
%!error id=tarn:fit:badLabels tarn_fit (ones (2, 1), struct ('a', {1, 2}))
%!error <Gamma must be a finite number greater than 0; received Inf> tarn_fit (X, y, 'Gamma', Inf)
%!error <Vigilance must be a number from 0 to 1; received NaN> tarn_fit (X, y, 'Vigilance', NaN)
%!error <MaxPasses must be a whole number from 1 to 2\^31-1; received 2.5>
%! tarn_fit (X, y, 'MaxPasses', 2.5)
%!error <Rule must be .*received 'best'> tarn_fit (X, y, 'Rule', 'best')
%!error <unknown option 'Vigilence'; did you mean 'Vigilance'> tarn_fit (X, y, 'Vigilence', 0)
%!error id=tarn:fit:optionPairs tarn_fit (X, y, 'Gamma')
