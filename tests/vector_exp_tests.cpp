// The vector exp() against the C library's, bit for bit, over 10^8 inputs
// of every kind; and the one property of the library's exp() that pruning
// leans on: it never falls as its argument rises.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <cstring>
#include <limits>

#include "model/vector_exp.h"

namespace {

bool same_bits(double a, double b)
{
    return std::memcmp(&a, &b, sizeof a) == 0;
}

struct Numbers {
    std::uint64_t state = 0x243f6a8885a308d3ULL;
    std::uint64_t bits()
    {
        state = state * 6364136223846793005ULL + 1442695040888963407ULL;
        return state ^ (state >> 29);
    }
    double unit() { return static_cast<double>(bits() >> 11) * 0x1p-53; }
    double any_double()
    {
        const std::uint64_t b = bits();
        double x;
        std::memcpy(&x, &b, sizeof x);
        return x;
    }
};

// Input n of the test: the results' whole range (0, subnormal, normal,
// infinite), every kind of double as input, and the edges of the
// library's plain path (|x| of 2^-54 and 512) and of its results.
double input(Numbers& numbers, std::uint64_t n)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double edges[] = {0.0,
                            -0.0,
                            0x1p-54,
                            -0x1p-54,
                            512.0,
                            -512.0,
                            709.782712893384,
                            709.7827128933841,
                            -708.3964185322641,
                            -745.1332191019411,
                            -745.1332191019412,
                            inf,
                            -inf,
                            std::numeric_limits<double>::quiet_NaN(),
                            5e-324,
                            -5e-324};
    switch (n % 8) {
        case 0:
            return numbers.any_double();
        case 1:
            return edges[(n / 8) % 16];
        case 2: {  // around an edge, a few ulps away
            double x = edges[(n / 8) % 11];
            for (int step = static_cast<int>(numbers.bits() % 9); step > 0; --step)
                x = std::nextafter(x, (n / 8) % 2 ? inf : -inf);
            return x;
        }
        case 3:
            return std::ldexp(numbers.unit() * 2.0 - 1.0, -70 + static_cast<int>(numbers.bits() % 70));
        default:
            return -760.0 + 1480.0 * numbers.unit();
    }
}

}  // namespace

TEST(VectorExp, GivesTheLibrarysBitsOnAHundredMillionInputs)
{
    const tarn::VectorExp* v = tarn::vector_exp();
    if (v == nullptr)
        GTEST_SKIP() << "this CPU has no vector exp()";
    Numbers numbers;
    double in[8];
    double out[8];
    std::uint64_t n = 0;
    std::uint64_t wrong = 0;
    while (n < 100000000) {
        for (int l = 0; l < v->lanes; ++l)
            in[l] = input(numbers, n++);
        v->exp(in, out);
        for (int l = 0; l < v->lanes; ++l) {
            const double expected = std::exp(in[l]);
            if (!same_bits(out[l], expected)) {
                if (++wrong <= 5)
                    ADD_FAILURE() << std::hexfloat << "exp(" << in[l] << ") = " << out[l] << ", library " << expected;
            }
        }
    }
    EXPECT_EQ(wrong, 0u);
    EXPECT_TRUE(tarn::vector_exp_in_use());  // the check of the first use passed too
}

TEST(VectorExp, TheLibrarysExpNeverFalls)
{
    Numbers numbers;
    for (int k = 0; k < 10000000; ++k) {
        const double x = -750.0 + 1465.0 * numbers.unit();
        const double next = std::nextafter(x, 1000.0);
        ASSERT_LE(std::exp(x), std::exp(next)) << std::hexfloat << x;
    }
}

TEST(VectorExp, ExpLanesIsTheLibrarysWithOrWithoutTheVectors)
{
    Numbers numbers;
    for (bool vectors : {true, false}) {
        tarn::set_vector_exp(vectors);
        for (int count = 1; count <= 8; ++count) {
            double in[8];
            double out[8];
            for (int l = 0; l < count; ++l)
                in[l] = input(numbers, static_cast<std::uint64_t>(count * 8 + l));
            tarn::exp_lanes(in, out, count);
            for (int l = 0; l < count; ++l)
                EXPECT_TRUE(same_bits(out[l], std::exp(in[l]))) << in[l];
        }
    }
    tarn::set_vector_exp(true);
}
