## status = soak_session (iterations, bound_kb)
## Trains and classifies ITERATIONS times in this one Octave session (one
## call of each plug-in per iteration: tarn_learn, tarn_resume on from its
## model, tarn_score and tarn_evidence with that model; plus argument
## errors and empty calls every 50th), cycling through four small random data
## sets, each with its own options. Every result must equal, bit for bit,
## the first result for the same data set, and the resident memory of the
## process (VmRSS) must not grow by more than BOUND_KB after the first 100
## iterations. Status 0 when both hold.

function status = soak_session (iterations = 10000, bound_kb = 1536)
  rand ("state", 11);
  randn ("state", 11);
  sets = 4;
  for s = 1:sets
    X{s} = [randn(8, 3); randn(8, 3) + 3; randn(8, 3) - 3];
    y{s} = [ones(8, 1); 2 * ones(8, 1); 3 * ones(8, 1)];
    Xtest{s} = 4 * rand (10, 3) - 2;
    trim(s) = mod (s, 2);
    rule(s) = floor ((s - 1) / 2);
  endfor
  first = cell (sets, 1);

  baseline = 0;
  largest = 0;
  samples = 0;
  mismatches = 0;
  tic;
  for i = 1:iterations
    s = mod (i - 1, sets) + 1;
    [T, L, n] = tarn_learn (X{s}, y{s}, 0.2, 1.0, 5, 1, trim(s), 0);
    [T, L, n2, N] = tarn_resume (T, L, n * 24, Xtest{s}, 1 + (Xtest{s}(:, 1) > 0), 0.2, 1.0, 2, 1, trim(s), 0);
    p = tarn_score (T, L, 0.05, Xtest{s}, -1, rule(s), 0);
    [E, C, B, W] = tarn_evidence (T, L, 0.05, Xtest{s});
    result = {bits(T), bits(L), n, n2, N, bits(p), bits(E), bits(B), bits(W)};
    if (isempty (first{s}))
      first{s} = result;
    elseif (! isequal (result, first{s}))
      mismatches++;
      if (mismatches <= 5)
        printf ("soak: iteration %d gave a different result for data set %d\n", i, s);
      endif
    endif

    if (mod (i, 50) == 0)
      try
        tarn_score (T, L, 2, Xtest{s}, -1, 0, 0);
      catch
      end_try_catch
      try
        tarn_resume (T, L, N + 1, Xtest{s}, 1, 0.2, 1, 1, 0, 0, 0);
      catch
      end_try_catch
      try
        tarn_evidence (T, L, -1, Xtest{s});
      catch
      end_try_catch
      [T0, L0, n0] = tarn_learn (zeros (0, 3), zeros (0, 1), 0.5, 1, 1, 1, 0, 0);
      p0 = tarn_score (T0, L0, 0.5, Xtest{s}, -1, 1, 0);
      E0 = tarn_evidence (T0, L0, 0.5, Xtest{s});
      [T0, L0] = tarn_resume (T0, L0, 0, zeros (0, 3), zeros (0, 1), 0.5, 1, 1, 1, 0, 0);
    endif

    if (i == 100)
      baseline = resident_kb ();
      largest = baseline;
    elseif (i > 100 && (mod (i, 250) == 0 || i == iterations))
      largest = max (largest, resident_kb ());
      samples++;
    endif
  endfor
  seconds = toc;

  final = resident_kb ();
  growth = largest - baseline;
  printf ("soak: %d iterations (%d plug-in calls) in %.1f s\n", iterations,
          4 * iterations + 8 * floor (iterations / 50), seconds);
  printf ("soak: VmRSS after 100 iterations %d kB, at the end %d kB, largest of %d samples %d kB (growth %d kB, bound %d kB)\n",
          baseline, final, samples, largest, growth, bound_kb);
  printf ("soak: %d results differed from the first result for the same data\n", mismatches);
  status = double (mismatches != 0 || growth > bound_kb || baseline == 0);
endfunction

function b = bits (x)
  b = typecast (double (x(:)), "uint64");
endfunction

function kb = resident_kb ()
  status = fileread ("/proc/self/status");
  kb = str2double (regexp (status, 'VmRSS:\s*(\d+)\s*kB', 'tokens', 'once'){1});
endfunction
