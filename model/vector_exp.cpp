#include "model/vector_exp.h"

#include <cmath>
#include <cstdint>
#include <cstring>

#include "model/exp_table.h"

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define TARN_HAS_VECTOR_EXP 1
#include <immintrin.h>
#endif

namespace tarn {

namespace {

// The constants of the library's exp(): ln2/128 split in two, 128/ln2, the
// rounding shift and the polynomial's coefficients.
constexpr double inv_ln2_n = 0x1.71547652b82fep0 * 128;
constexpr double neg_ln2_hi_n = -0x1.62e42fefa0000p-8;
constexpr double neg_ln2_lo_n = -0x1.cf79abc9e3b3ap-47;
constexpr double shift = 0x1.8p52;
constexpr double c2 = 0x1.ffffffffffdbdp-2;
constexpr double c3 = 0x1.555555555543cp-3;
constexpr double c4 = 0x1.55555cf172b91p-5;
constexpr double c5 = 0x1.1111167a4d017p-7;

// Whether x lies where the library takes its plain path: |x| in [2^-54, 512).
inline bool plain(double x)
{
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    const std::uint32_t abstop = static_cast<std::uint32_t>(bits >> 52) & 0x7ff;
    return abstop - 0x3c9 < 0x3f;
}

// A lane off the plain path: tiny |x| (0 among them, a common input) as the
// library takes it, 1 + x; the others by the library itself.
inline double off_plain(double x)
{
    std::uint64_t bits;
    std::memcpy(&bits, &x, sizeof bits);
    const std::uint32_t abstop = static_cast<std::uint32_t>(bits >> 52) & 0x7ff;
    return abstop < 0x3c9 ? 1.0 + x : std::exp(x);
}

#if defined(TARN_HAS_VECTOR_EXP)
__attribute__((target("avx2,fma"))) void exp_avx2(const double* in, double* out)
{
    const __m256d x = _mm256_loadu_pd(in);
    const __m256d shifted = _mm256_fmadd_pd(x, _mm256_set1_pd(inv_ln2_n), _mm256_set1_pd(shift));
    const __m256i k = _mm256_castpd_si256(shifted);
    const __m256d kd = _mm256_sub_pd(shifted, _mm256_set1_pd(shift));
    __m256d r = _mm256_fmadd_pd(kd, _mm256_set1_pd(neg_ln2_hi_n), x);
    r = _mm256_fmadd_pd(kd, _mm256_set1_pd(neg_ln2_lo_n), r);
    const __m256i index = _mm256_slli_epi64(_mm256_and_si256(k, _mm256_set1_epi64x(127)), 1);
    const auto* table = reinterpret_cast<const long long*>(exp_table);
    const __m256d tail = _mm256_castsi256_pd(_mm256_i64gather_epi64(table, index, 8));
    const __m256i scale_bits = _mm256_add_epi64(_mm256_i64gather_epi64(table + 1, index, 8), _mm256_slli_epi64(k, 45));
    const __m256d low = _mm256_fmadd_pd(r, _mm256_set1_pd(c3), _mm256_set1_pd(c2));
    const __m256d tail_r = _mm256_add_pd(r, tail);
    const __m256d r2 = _mm256_mul_pd(r, r);
    const __m256d high = _mm256_fmadd_pd(r, _mm256_set1_pd(c5), _mm256_set1_pd(c4));
    const __m256d sum = _mm256_fmadd_pd(low, r2, tail_r);
    const __m256d tmp = _mm256_fmadd_pd(_mm256_mul_pd(r2, r2), high, sum);
    const __m256d scale = _mm256_castsi256_pd(scale_bits);
    _mm256_storeu_pd(out, _mm256_fmadd_pd(scale, tmp, scale));
    for (int l = 0; l < 4; ++l)
        if (!plain(in[l]))
            out[l] = off_plain(in[l]);
}

__attribute__((target("avx512f"))) void exp_avx512(const double* in, double* out)
{
    const __m512d x = _mm512_loadu_pd(in);
    const __m512d shifted = _mm512_fmadd_pd(x, _mm512_set1_pd(inv_ln2_n), _mm512_set1_pd(shift));
    const __m512i k = _mm512_castpd_si512(shifted);
    const __m512d kd = _mm512_sub_pd(shifted, _mm512_set1_pd(shift));
    __m512d r = _mm512_fmadd_pd(kd, _mm512_set1_pd(neg_ln2_hi_n), x);
    r = _mm512_fmadd_pd(kd, _mm512_set1_pd(neg_ln2_lo_n), r);
    // The masked forms, from zeros: GCC 12 warns of the unmasked ones'
    // undefined starting values.
    const __m512i zero = _mm512_setzero_si512();
    const __m512i index = _mm512_mask_slli_epi64(zero, 0xff, _mm512_and_si512(k, _mm512_set1_epi64(127)), 1);
    const auto* table = reinterpret_cast<const long long*>(exp_table);
    const __m512d tail = _mm512_castsi512_pd(_mm512_mask_i64gather_epi64(zero, 0xff, index, table, 8));
    const __m512i scale_bits = _mm512_add_epi64(_mm512_mask_i64gather_epi64(zero, 0xff, index, table + 1, 8),
                                                _mm512_mask_slli_epi64(zero, 0xff, k, 45));
    const __m512d low = _mm512_fmadd_pd(r, _mm512_set1_pd(c3), _mm512_set1_pd(c2));
    const __m512d tail_r = _mm512_add_pd(r, tail);
    const __m512d r2 = _mm512_mul_pd(r, r);
    const __m512d high = _mm512_fmadd_pd(r, _mm512_set1_pd(c5), _mm512_set1_pd(c4));
    const __m512d sum = _mm512_fmadd_pd(low, r2, tail_r);
    const __m512d tmp = _mm512_fmadd_pd(_mm512_mul_pd(r2, r2), high, sum);
    const __m512d scale = _mm512_castsi512_pd(scale_bits);
    _mm512_storeu_pd(out, _mm512_fmadd_pd(scale, tmp, scale));
    for (int l = 0; l < 8; ++l)
        if (!plain(in[l]))
            out[l] = off_plain(in[l]);
}

const VectorExp avx2_exp = {"avx2+fma", 4, exp_avx2};
const VectorExp avx512_exp = {"avx512", 8, exp_avx512};
#endif

enum class Check { not_yet, passed, failed };
Check check = Check::not_yet;
const VectorExp* checked = nullptr;  // the version that passed
bool enabled = true;

// The fixed sample of the check: the whole range of results, both ends of
// the plain path, and every kind of input the plain path leaves out.
bool agrees_with_library(const VectorExp& v)
{
    const double specials[] = {0.0,         -0.0,   1e-300, -1e-20, 0x1p-54, -0x1p-54, 0x1.fffffffffffffp-55,
                               511.9,       -511.9, 512.0,  -512.0, 709.78,  709.79,   -745.13,
                               -745.14,     -708.4, -740.0, 1e300,  -1e300,  HUGE_VAL, -HUGE_VAL,
                               std::nan("")};
    double in[8];
    double out[8];
    std::uint64_t state = 0x9e3779b97f4a7c15ULL;
    const int count = 1 << 14;
    for (int i = 0; i < count; ++i) {
        for (int l = 0; l < v.lanes; ++l) {
            state = state * 6364136223846793005ULL + 1442695040888963407ULL;
            const double unit = static_cast<double>(state >> 11) * 0x1p-53;
            const int s = (i * v.lanes + l) % 64;
            in[l] = s < 22 ? specials[s] : -760.0 + 1480.0 * unit;
        }
        v.exp(in, out);
        for (int l = 0; l < v.lanes; ++l) {
            const double expected = std::exp(in[l]);
            if (std::memcmp(&expected, &out[l], sizeof expected) != 0)
                return false;
        }
    }
    return true;
}

}  // namespace

const VectorExp* vector_exp()
{
#if defined(TARN_HAS_VECTOR_EXP)
    __builtin_cpu_init();
    if (__builtin_cpu_supports("avx512f"))
        return &avx512_exp;
    if (__builtin_cpu_supports("avx2") && __builtin_cpu_supports("fma"))
        return &avx2_exp;
#endif
    return nullptr;
}

bool vector_exp_in_use()
{
    if (check == Check::not_yet) {
        const VectorExp* v = vector_exp();
        check = v != nullptr && agrees_with_library(*v) ? Check::passed : Check::failed;
        checked = check == Check::passed ? v : nullptr;
    }
    return enabled && check == Check::passed;
}

void set_vector_exp(bool on)
{
    enabled = on;
}

void exp_lanes(const double* in, double* out, int count)
{
    if (vector_exp_in_use()) {
        const VectorExp& v = *checked;
        if (count == v.lanes) {
            v.exp(in, out);
            return;
        }
        double lanes_in[8];
        double lanes_out[8];
        for (int first = 0; first < count; first += v.lanes) {
            const int here = count - first < v.lanes ? count - first : v.lanes;
            for (int l = 0; l < v.lanes; ++l)
                lanes_in[l] = l < here ? in[first + l] : 0.0;
            v.exp(lanes_in, lanes_out);
            std::memcpy(out + first, lanes_out, static_cast<std::size_t>(here) * sizeof(double));
        }
        return;
    }
    for (int l = 0; l < count; ++l)
        out[l] = std::exp(in[l]);
}

}  // namespace tarn
