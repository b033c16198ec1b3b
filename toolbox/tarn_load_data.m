function [X, y, class_names] = tarn_load_data(data_set)
  % TARN_LOAD_DATA  Read a data set: a shipped one by name, or a CSV file.
  %
  %   [X, y, class_names] = tarn_load_data(data_set)
  %
  %   data_set is the name of a shipped data set ('iris', 'wine',
  %   'breast_cancer', 'digits' or 'shuttle') or the path of a CSV file,
  %   absolute or relative to the current folder, with or without '.csv'.
  %   The file holds one row per sample: numbers separated by commas, the
  %   class (a whole number from 1) in the last column. Lines that begin
  %   with # are comments; a source line such as
  %   '# source: ...; classes 1 setosa, 2 versicolor' names the classes.
  %   The first other line is a header naming the columns when it is not
  %   a row of numbers. Every line after it is a row.
  %
  %   X            the features, one row per sample
  %   y            the classes, a column
  %   class_names  one name per class 1 to max(y), in a cell: those of the
  %                source line, else 'class1', 'class2', ...
  %
  %   data_set is looked for as a path (from the current folder, unless it
  %   is absolute), then as a path with '.csv' added; a plain name (no
  %   folder) then in data/ beside this file (where the package installs
  %   the shipped sets) and in the repository's data/. When none of them is
  %   a file, the error (identifier tarn:load_data:notFound) lists every
  %   path it looked for.
  %
  %   Example:
  %
  %     [X, y, names] = tarn_load_data('iris');
  %     fprintf('%d rows, %d features, classes: %s\n', size(X, 1), size(X, 2), ...
  %             strjoin(names, ', '));
  %     % -> 150 rows, 4 features, classes: setosa, versicolor, virginica
  %
  %   See also tarn_demo, tarn_learn.

  if nargin < 1 || ~ischar(data_set) || isempty(data_set) || size(data_set, 1) ~= 1
    error('tarn:load_data:name', ...
          'tarn_load_data: the data set must be a name or a path (a row of characters)');
  end
  file = find_file(data_set);
  [X, y, comments] = read_csv(file);
  class_names = read_class_names(comments, y);
end

function file = find_file(data_set)
  if is_absolute(data_set)
    candidates = {data_set};
  else
    candidates = {fullfile(pwd(), data_set)};
  end
  if numel(data_set) < 4 || ~strcmpi(data_set(end - 3:end), '.csv')
    candidates{end + 1} = [candidates{1} '.csv'];
    plain = ~any(data_set == '/' | data_set == '\');
  else
    plain = false;
  end
  if plain
    here = fileparts(mfilename('fullpath'));
    candidates{end + 1} = fullfile(here, 'data', [data_set '.csv']);
    candidates{end + 1} = fullfile(fileparts(here), 'data', [data_set '.csv']);
  end
  for k = 1:numel(candidates)
    if exist(candidates{k}, 'file') == 2
      file = candidates{k};
      return
    end
  end
  error('tarn:load_data:notFound', 'tarn_load_data: no data set ''%s''; looked for:%s', ...
        data_set, sprintf('\n  %s', candidates{:}));
end

function absolute = is_absolute(path)
  absolute = any(path(1) == '/\') || (numel(path) > 1 && path(2) == ':');
end

function [X, y, comments] = read_csv(file)
  lines = regexp(fileread(file), '\r?\n', 'split');
  numbers = 1:numel(lines);
  lines = strtrim(lines);
  used = ~cellfun('isempty', lines);
  lines = lines(used);
  numbers = numbers(used);
  is_comment = strncmp(lines, '#', 1);
  comments = lines(is_comment);
  lines = lines(~is_comment);
  numbers = numbers(~is_comment);
  % A header is a first line that does not read as numbers.
  if ~isempty(lines) && isempty(read_row(lines{1}))
    lines = lines(2:end);
    numbers = numbers(2:end);
  end
  if isempty(lines)
    error('tarn:load_data:empty', 'tarn_load_data: %s holds no rows of numbers', file);
  end
  fields = cellfun(@(line) sum(line == ','), lines) + 1;
  values = sscanf(strrep(strjoin(lines, ' '), ',', ' '), '%f');
  if any(fields ~= fields(1)) || numel(values) ~= numel(lines) * fields(1)
    % Name the first line that is not a row like the first one.
    for k = 1:numel(lines)
      if fields(k) ~= fields(1) || numel(read_row(lines{k})) ~= fields(1)
        error('tarn:load_data:badRow', ...
              'tarn_load_data: line %d of %s is not a row of %d numbers: %s', ...
              numbers(k), file, fields(1), lines{k});
      end
    end
  end
  if fields(1) < 2
    error('tarn:load_data:badRow', ...
          'tarn_load_data: %s has one column; the class must follow the features', file);
  end
  M = reshape(values, fields(1), numel(lines))';
  X = M(:, 1:end - 1);
  y = M(:, end);
end

function values = read_row(line)
  % The numbers of one line, or [] when it is not all numbers.
  [values, ~, ~, next] = sscanf(strrep(line, ',', ' '), '%f');
  if next <= numel(line) || numel(values) ~= sum(line == ',') + 1
    values = [];
  end
end

function names = read_class_names(comments, y)
  count = max([0; y(y == fix(y))]);
  names = arrayfun(@(k) sprintf('class%d', k), 1:count, 'UniformOutput', false);
  listed = regexp(strjoin(comments, ' '), 'classes ([^;]*)', 'tokens', 'once');
  if ~isempty(listed)
    for pair = regexp(listed{1}, '(\d+) (\w+)', 'tokens')
      names{str2double(pair{1}{1})} = pair{1}{2};
    end
  end
end

%!test
%! % The shipped sets, by name: every row, the classes named in the files.
%! [X, y, names] = tarn_load_data('iris');
%! assert(size(X), [150 4]);
%! assert(X(1, :), [5.1 3.5 1.4 0.2]);
%! assert(y([1 end]), [1; 3]);
%! assert(names, {'setosa', 'versicolor', 'virginica'});
%! [X, y] = tarn_load_data('breast_cancer');
%! assert([size(X), max(y)], [569 30 2]);

%!test
%! % The two larger sets: every row, every class, the names of the source line.
%! [X, y, names] = tarn_load_data('digits');
%! assert([size(X), min(y), max(y), min(X(:)), max(X(:))], [1797 64 1 10 0 16]);
%! assert(names([1 10]), {'digit_0', 'digit_9'});
%! [X, y, names] = tarn_load_data('shuttle');
%! assert(size(X), [58000 9]);
%! assert(accumarray(y, 1)', [45586 50 171 8903 3267 10 13]);
%! assert(X(1, :), [50 21 77 0 28 0 27 48 22]);
%! assert(names{7}, 'bpv_open');

%!test
%! % Any CSV, with or without the source line and the header, by absolute
%! % and relative paths, with or without .csv: every row comes back.
%! rows = [5 1 2 1; 6 7 8 2; -1.5 2e3 0 3];
%! body = sprintf('%g,%g,%g,%g\n', rows');
%! forms = {['# source: made here; classes 1 a, 2 b, 3 c' char(10) 'u,v,w,class' char(10) body], ...
%!          ['u,v,w,class' char(10) body], body, strrep(body, char(10), char([13 10]))};
%! work = tempname();
%! mkdir(fullfile(work, 'sub'));
%! here = pwd();
%! try
%!   cd(work);
%!   for k = 1:numel(forms)
%!     fid = fopen(fullfile(work, 'sub', 'set.csv'), 'w');
%!     fprintf(fid, '%s', forms{k});
%!     fclose(fid);
%!     for name = {fullfile(work, 'sub', 'set.csv'), fullfile(work, 'sub', 'set'), ...
%!                 fullfile('sub', 'set.csv'), fullfile('sub', 'set')}
%!       [X, y, names] = tarn_load_data(name{1});
%!       assert([X y], rows, 0);
%!     end
%!     if k == 1
%!       assert(names, {'a', 'b', 'c'});
%!     else
%!       assert(names, {'class1', 'class2', 'class3'});
%!     end
%!   end
%!   cd(fullfile(work, 'sub'));
%!   assert(tarn_load_data('set'), rows(:, 1:3));
%! catch err
%!   cd(here);
%!   confirm_recursive_rmdir(false, 'local');
%!   rmdir(work, 's');
%!   rethrow(err);
%! end
%! cd(here);
%! confirm_recursive_rmdir(false, 'local');
%! rmdir(work, 's');

%!test
%! % Nothing found: the message lists every path looked for.
%! try
%!   tarn_load_data(fullfile('no_such_dir', 'set'));
%!   error('no error');
%! catch err
%!   assert(err.identifier, 'tarn:load_data:notFound');
%!   assert(~isempty(strfind(err.message, fullfile(pwd(), 'no_such_dir', 'set.csv'))));
%! end
%! try
%!   tarn_load_data('no_such_set');
%!   error('no error');
%! catch err
%!   assert(numel(strfind(err.message, 'no_such_set')), 5);
%!   assert(~isempty(strfind(err.message, fullfile('data', 'no_such_set.csv'))));
%! end

%!test
%! % A row that is not like the first one is named, with its line number.
%! file = [tempname() '.csv'];
%! fid = fopen(file, 'w');
%! fprintf(fid, 'a,b\n1,2\n3,x\n');
%! fclose(fid);
%! try
%!   tarn_load_data(file);
%!   error('no error');
%! catch err
%!   assert(err.identifier, 'tarn:load_data:badRow');
%!   assert(~isempty(strfind(err.message, 'line 3 of')));
%! end
%! delete(file);
