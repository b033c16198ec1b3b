function text = tarn_describe (value)
  % TARN_DESCRIBE  A short description of a value for an error message.
  %
  %   text = tarn_describe (value) gives small numbers and strings as they
  %   would be typed (Inf, [1 2], 'abc', 1+2i) and anything else by its size
  %   and class ('a 3x2 cell array').

  if ischar (value) && (isrow (value) || isempty (value)) && numel (value) <= 40
    text = ['''' value ''''];
  elseif (isnumeric (value) || islogical (value)) && ~issparse (value) && ...
          ismatrix (value) && numel (value) >= 1 && numel (value) <= 6
    text = mat2str (value, 6);
  else
    sz = sprintf ('%dx', size (value));
    text = sprintf ('a %s %s array', sz(1:end - 1), class (value));
  end
end
