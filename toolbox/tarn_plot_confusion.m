function ax = tarn_plot_confusion (cv, varargin)
  % TARN_PLOT_CONFUSION  Confusion matrix of a cross-validation.
  %
  %   tarn_plot_confusion (cv)
  %   tarn_plot_confusion (cv, 'ClassNames', names)
  %   ax = tarn_plot_confusion (...)
  %
  %   Draws into the current axes the confusion matrix of CV, a result of
  %   tarn_crossval (or the field cv of a tarn_tune result): one row per
  %   true class, one column per predicted class, each cell with its count
  %   written in and shaded by its share of the row. Rows that were not
  %   classified get a last column, 'none', when there are any. The title
  %   gives the accuracy. 'ClassNames' gives names to the classes, in the
  %   order of cv.classes (default: the classes themselves). AX is the
  %   axes.
  %
  %   Example:
  %     [X, y, names] = tarn_load_data ('wine');
  %     cv = tarn_crossval (X, y);
  %     figure ('Visible', 'off');
  %     tarn_plot_confusion (cv, 'ClassNames', names);
  %
  %   To save the picture: print (gcf, '-dpng', 'wine_confusion.png'); in
  %   octave-cli, whose gnuplot toolkit needs Ghostscript for -dpng,
  %   print (gcf, '-dpngcairo', 'wine_confusion.png').
  %
  %   See also tarn_crossval, tarn_tune, tarn_plot.

  if nargin < 1 || ~isstruct (cv) || ~isscalar (cv) || ...
     ~all (isfield (cv, {'confusion', 'unclassified', 'classes', 'accuracy', 'accuracy_std'}))
    error ('tarn:plot:badCrossval', ...
           'tarn_plot_confusion: cv must be a struct made by tarn_crossval; received %s', ...
           tarn_describe (cv));
  end
  C = numel (cv.classes);
  names = cell (1, C);
  for k = 1:C
    if iscell (cv.classes)
      names{k} = cv.classes{k};
    else
      names{k} = num2str (cv.classes(k));
    end
  end
  if ~isempty (varargin)
    if numel (varargin) ~= 2 || ~ischar (varargin{1}) || ~strcmpi (varargin{1}, 'ClassNames')
      error ('tarn:plot:unknownOption', ...
             'tarn_plot_confusion: the only option is ''ClassNames'', a name for each class');
    end
    names = varargin{2};
    if ~iscellstr (names) || numel (names) ~= C
      error ('tarn:plot:badOption', ...
             'tarn_plot_confusion: ClassNames must be %d strings, one per class; received %s', ...
             C, tarn_describe (names));
    end
    names = names(:)';
  end

  counts = cv.confusion;
  columns = names;
  if any (cv.unclassified)
    counts = [counts, cv.unclassified(:)];
    columns = [columns, {'none'}];
  end
  totals = max (sum (counts, 2), 1);
  share = bsxfun (@rdivide, counts, totals);

  ax = newplot ();
  imagesc ([1 size(counts, 2)], [1 C], share, 'Parent', ax);
  t = linspace (0, 1, 64)';
  colormap (ax, [1 - 0.85 * t, 1 - 0.65 * t, 1 - 0.35 * t]);
  set (ax, 'CLim', [0 1]);
  hold (ax, 'on');
  for r = 1:C
    for k = 1:size (counts, 2)
      shade = [0 0 0];
      if share(r, k) > 0.5
        shade = [1 1 1];
      end
      text (k, r, sprintf ('%d', counts(r, k)), 'Parent', ax, 'Color', shade, ...
            'HorizontalAlignment', 'center', 'VerticalAlignment', 'middle', 'FontSize', 11);
    end
  end
  hold (ax, 'off');
  set (ax, 'XTick', 1:size (counts, 2), 'XTickLabel', columns, 'YTick', 1:C, ...
       'YTickLabel', names, 'TickLength', [0 0], 'TickLabelInterpreter', 'none');
  axis (ax, [0.5 size(counts, 2) + 0.5 0.5 C + 0.5]);
  xlabel (ax, 'predicted class');
  ylabel (ax, 'true class');
  title (ax, sprintf ('%d-fold cross-validation: accuracy %.3f +- %.3f, %d rows', ...
                      numel (cv.fold_accuracy), cv.accuracy, cv.accuracy_std, sum (counts(:))));
  if nargout == 0
    clear ax;
  end
end

%!test
%! % The counts written in, a column for unclassified rows, names given.
%! cv = struct ('confusion', [5 1; 0 3], 'unclassified', [0; 2], 'classes', {{'a'; 'b'}}, ...
%!              'accuracy', 0.8, 'accuracy_std', 0.1, 'fold_accuracy', [0.7; 0.9]);
%! warning ('off', 'Octave:gnuplot-graphics', 'local');
%! f = figure ('Visible', 'off');
%! ax = tarn_plot_confusion (cv, 'ClassNames', {'one', 'two'});
%! assert (get (findobj (ax, 'Type', 'image'), 'CData'), [5 1 0; 0 3 2] ./ [6; 5]);
%! assert (sort (str2double (get (findobj (ax, 'Type', 'text'), 'String')))', [0 0 1 2 3 5]);
%! assert (get (ax, 'XTickLabel'), {'one'; 'two'; 'none'});
%! cv.unclassified = [0; 0];
%! tarn_plot_confusion (cv);
%! assert (get (gca, 'YTickLabel'), {'a'; 'b'});
%! close (f);

%!error id=tarn:plot:badCrossval tarn_plot_confusion (1)
