function files = make_pictures (out_dir, parallel)
  % MAKE_PICTURES  The pictures of the tuning guide, as PNG files.
  %
  %   files = make_pictures ()
  %   files = make_pictures (out_dir)
  %   files = make_pictures (out_dir, parallel)
  %
  %   Makes, from the data sets shipped with tarn, in OUT_DIR (default:
  %   doc/ of the repository) and returns their paths:
  %     tarn_plot_iris.png       tarn_plot of a model of iris' petal length
  %                              and width (all rows, default options)
  %     tarn_tuning_NAME.png     tarn_plot_tuning of tarn_tune (X, y), the
  %                              default grid, for NAME iris, wine and
  %                              breast_cancer
  %     tarn_confusion_wine.png  tarn_plot_confusion of the cross-validation
  %                              of the setting chosen for wine
  %   and prints the table of each tarn_tune run. PARALLEL (default 'off')
  %   is tarn_tune's option Parallel.
  %
  %   Needs no display: figures are invisible, and Octave draws them with
  %   gnuplot (Debian's gnuplot-nox) into its cairo PNG terminal. Run from
  %   the repository with the plug-ins built:
  %     octave-cli --eval "addpath('build', 'toolbox', 'scripts'); make_pictures"
  %
  %   See also tarn_plot, tarn_plot_tuning, tarn_plot_confusion, tarn_tune.

  here = fileparts (mfilename ('fullpath'));
  if nargin < 1 || isempty (out_dir)
    out_dir = fullfile (here, '..', 'doc');
  end
  if nargin < 2
    parallel = 'off';
  end
  if ~exist (out_dir, 'dir')
    mkdir (out_dir);
  end
  octave = exist ('OCTAVE_VERSION', 'builtin') ~= 0;
  device = '-dpng';
  if octave
    warning ('off', 'Octave:gnuplot-graphics');
    warning ('off', 'print:nogs');
    graphics_toolkit ('gnuplot');
    device = '-dpngcairo';
  end
  files = {};

  % A model of two features, so its regions and nodes are the whole
  % model. Some rows of iris have the same petal sizes under two labels.
  [X, y, names] = tarn_load_data ('iris');
  state = warning ('off', 'tarn:fit:conflictingLabels');
  model = tarn_fit (X(:, 3:4), y);
  warning (state);
  f = figure ('Visible', 'off', 'Position', [0 0 800 600]);
  tarn_plot (model, X(:, 3:4), y, 'FeatureNames', {'petal length (cm)', 'petal width (cm)'}, ...
             'ClassNames', names);
  files{end + 1} = save_picture (f, out_dir, 'tarn_plot_iris.png', device);

  for data_set = {'iris', 'wine', 'breast_cancer'}
    [X, y, names] = tarn_load_data (data_set{1});
    result = tarn_tune (X, y, 'Parallel', parallel);
    fprintf ('tarn_tune (X, y) on %s:\n\n%s\n', data_set{1}, result.text);
    f = figure ('Visible', 'off', 'Position', [0 0 800 600]);
    tarn_plot_tuning (result);
    files{end + 1} = save_picture (f, out_dir, ['tarn_tuning_' data_set{1} '.png'], device);
    if strcmp (data_set{1}, 'wine')
      f = figure ('Visible', 'off', 'Position', [0 0 640 480]);
      tarn_plot_confusion (result.cv, 'ClassNames', strrep (names, '_', ' '));
      files{end + 1} = save_picture (f, out_dir, 'tarn_confusion_wine.png', device);
    end
  end
  files = files(:);
end

function file = save_picture (f, out_dir, name, device)
  file = fullfile (out_dir, name);
  print (f, device, '-r100', file);
  close (f);
  fprintf ('wrote %s\n', file);
end
