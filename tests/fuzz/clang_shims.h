// Included ahead of every source of the fuzz build, which clang compiles.
// clang lacks GCC's one-operand vector permutation __builtin_shuffle; this
// gives it, for the fuzz build only, as the same lane-by-lane permutation
// (indices taken modulo the lane count, as GCC does).
#pragma once

#if defined(__clang__) && defined(__cplusplus)
template <typename Vector, typename Mask>
inline Vector tarn_fuzz_shuffle(Vector v, Mask mask)
{
    constexpr int lanes = static_cast<int>(sizeof(Vector) / sizeof(v[0]));
    Vector r = v;
    for (int i = 0; i < lanes; ++i)
        r[i] = v[static_cast<int>(mask[i]) & (lanes - 1)];
    return r;
}
#define __builtin_shuffle(v, ...) tarn_fuzz_shuffle(v, __VA_ARGS__)
#endif
