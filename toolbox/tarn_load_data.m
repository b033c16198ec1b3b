## -*- texinfo -*-
## @deftypefn {} {[@var{X}, @var{y}, @var{class_names}] =} tarn_load_data (@var{data_set})
## Read one of the data sets shipped in @file{data/}: @qcode{"iris"},
## @qcode{"wine"} or @qcode{"breast_cancer"} (or a path to a CSV file of
## the same form: a @samp{#} source line, a header, numeric rows whose last
## column is the class, numbered from 1). The data sets are looked for in
## @file{data/} beside this file (as the package installs them), then in
## the repository's @file{data/}.
## @end deftypefn

function [X, y, class_names] = tarn_load_data (data_set)
  if (exist (data_set, "file") == 2 && any (data_set == "/"))
    file = data_set;
  else
    here = fileparts (mfilename ("fullpath"));
    file = fullfile (here, "data", [data_set ".csv"]);
    if (exist (file, "file") != 2)
      file = fullfile (here, "..", "data", [data_set ".csv"]);
    endif
  endif
  if (exist (file, "file") != 2)
    error ("tarn_load_data: no data set '%s' (looked for %s)", data_set, file);
  endif
  M = dlmread (file, ",", 2, 0);
  X = M(:, 1:end-1);
  y = M(:, end);
  fid = fopen (file);
  source = fgetl (fid);
  fclose (fid);
  class_names = regexp (source, 'classes (.*)$', 'tokens', 'once');
  if (! isempty (class_names))
    class_names = regexp (class_names{1}, '(\d+) (\w+)', 'tokens');
  endif
  class_names = cellfun (@(t) t{2}, class_names, "UniformOutput", false);
  if (numel (class_names) < max (y))
    class_names = arrayfun (@(k) sprintf ("class%d", k), 1:max (y), "UniformOutput", false);
  endif
endfunction
