function tarn_flush ()
  % TARN_FLUSH  Show what has been printed so far at once.

  if exist ('OCTAVE_VERSION', 'builtin')
    fflush (stdout);
  else
    drawnow ('update');
  end
end
