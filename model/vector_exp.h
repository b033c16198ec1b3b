// exp() of several values at once, with the bits of the C library's exp().
//
// The library's exp() (glibc's, in its variant for CPUs with FMA, the one it
// picks on such CPUs) reduces x to r = x - k ln2/128, takes 2^(k/128) from a
// table and a polynomial in r; the vector version repeats those operations,
// fused where the library's are, lane by lane, for |x| in [2^-54, 512):
// every finite result above 2^-739 and below 2^739. Any other lane (tiny
// or huge x, infinities, values that are not numbers, results near
// overflow or in the subnormal range) is the library's exp() itself.
#pragma once

namespace tarn {

// out[l] = exp(in[l]) for l < count (at most 8), bit for bit as std::exp
// gives it: by the vector version where the CPU has it and it agreed with
// std::exp on a fixed sample the first time it was asked for, by std::exp
// otherwise.
void exp_lanes(const double* in, double* out, int count);

// Tests and the benchmark: the vector version of this CPU (four or eight
// lanes), unchecked, or null when the CPU has none; whether exp_lanes uses
// it; and a switch to keep exp_lanes on std::exp.
struct VectorExp {
    const char* name;
    int lanes;
    void (*exp)(const double* in, double* out);
};
const VectorExp* vector_exp();
bool vector_exp_in_use();
void set_vector_exp(bool enabled);

}  // namespace tarn
