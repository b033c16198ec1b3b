function text = tarn_value_text (value)
  % TARN_VALUE_TEXT  A setting's value as text, for tables and axis labels.
  %
  %   text = tarn_value_text (value) is VALUE itself when it is a char
  %   array (a Rule such as 'evidence'), else num2str (VALUE).

  if ischar (value)
    text = value;
  else
    text = num2str (value);
  end
end
