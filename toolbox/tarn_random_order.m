function [order, state] = tarn_random_order (n, seed)
  % TARN_RANDOM_ORDER  A seeded random order of 1..n, the same on every host.
  %
  %   order = tarn_random_order (n, seed) returns a random permutation of
  %   1:n as a row vector. The same N and SEED give the same order in GNU
  %   Octave and in MATLAB, on every machine and version: unlike rand and
  %   randperm, whose streams differ between hosts, the generator is
  %   written out here in exact double arithmetic.
  %
  %   [order, state] = tarn_random_order (n, seed) also returns the state
  %   of the generator after the draw; passing STATE as the seed of the next
  %   call continues the same stream.
  %
  %   SEED is a whole number from 0 to 2^53-1. The generator is the minimal
  %   standard one of Park and Miller with multiplier 48271 (C++'s
  %   std::minstd_rand): state = mod (48271 * state, 2^31 - 1), started at
  %   mod (SEED, 2^31 - 1), with 0 replaced by 2^31 - 2. Every product stays
  %   below 2^47, so doubles hold it exactly. The order is a Fisher-Yates
  %   shuffle: for i = n down to 2, one step of the generator, then element
  %   i is swapped with element 1 + mod (state, i).
  %
  %   tarn_fit draws the row orders of its voters with it, and
  %   tarn_crossval its folds.
  %
  %   Example:
  %     tarn_random_order (5, 1)        % 4 5 1 3 2, in Octave and MATLAB

  if nargin ~= 2
    error ('tarn:random_order:arguments', 'tarn_random_order: two arguments required: n and seed');
  end
  if ~isnumeric (n) || ~isscalar (n) || ~isreal (n) || n < 0 || n ~= round (n) || ~isfinite (n)
    error ('tarn:random_order:badN', ...
           'tarn_random_order: n must be a whole number of 0 or more; received %s', ...
           tarn_describe (n));
  end
  if ~isnumeric (seed) || ~isscalar (seed) || ~isreal (seed) || seed < 0 || seed >= 2^53 || ...
      seed ~= round (seed)
    error ('tarn:random_order:badSeed', ...
           'tarn_random_order: seed must be a whole number from 0 to 2^53-1; received %s', ...
           tarn_describe (seed));
  end
  modulus = 2147483647;
  state = mod (double (seed), modulus);
  if state == 0
    state = modulus - 1;
  end
  order = 1:double (n);
  for i = double (n):-1:2
    state = mod (48271 * state, modulus);
    j = 1 + mod (state, i);
    swap = order(i);
    order(i) = order(j);
    order(j) = swap;
  end
end

%!test
%! % The generator is std::minstd_rand: its 10000th value from seed 1.
%! [~, state] = tarn_random_order (10001, 1);
%! assert (state, 399268537);
%! % A pinned order: the same on every host.
%! assert (tarn_random_order (5, 1), [4 5 1 3 2]);
%! assert (sort (tarn_random_order (1000, 7)), 1:1000);
%! % Passing the state on continues the stream.
%! [a, s] = tarn_random_order (4, 12345);
%! [b, s] = tarn_random_order (6, s);
%! [~, t] = tarn_random_order (9, 12345);
%! assert (s, t);
%! assert (tarn_random_order (0, 3), zeros (1, 0));
%! assert (tarn_random_order (4, 0), tarn_random_order (4, 2^31 - 2));

%!error id=tarn:random_order:badSeed tarn_random_order (3, -1)
%!error id=tarn:random_order:badSeed tarn_random_order (3, 1.5)
%!error id=tarn:random_order:badN tarn_random_order (NaN, 1)
