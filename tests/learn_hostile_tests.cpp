// tarn_learn on hostile numbers: patterns that are not numbers, infinite or
// near the end of the double range, and deviations so small or so large
// that their squares leave it. Nothing may crash or read astray, and every
// value must come out as IEEE arithmetic makes it: a NaN or an infinity in
// the data stays one in the templates, and nothing is clamped or replaced.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "every_kernel_path.h"
#include "learn_harness.h"

using learn_test::Call;
using learn_test::rows_of;

namespace {

const double inf = std::numeric_limits<double>::infinity();
const double nan_value = std::numeric_limits<double>::quiet_NaN();
const double smallest_subnormal = std::numeric_limits<double>::denorm_min();

struct Trained {
    std::vector<std::vector<double>> templates;
    std::vector<double> labels;
    double passes = 0;
    std::string console;
};

// Trains at the given output level and checks what every call must give
// whatever the numbers (harness.h), no error and outputs of the promised
// shapes.
Trained train(Call call)
{
    const auto outcome = learn_test::run(call);
    EXPECT_EQ(harness::violation(learn_test::command, outcome), "");
    EXPECT_FALSE(outcome.raised) << outcome.error;
    if (outcome.raised)
        return {};
    const auto width = standin::dims_of(call.patterns.get())[1] * 2 + 1;
    const auto dims = standin::dims_of(outcome.outputs[0].get());
    EXPECT_EQ(dims[1], width);
    EXPECT_EQ(standin::dims_of(outcome.outputs[1].get()), (std::vector<std::size_t>{dims[0], 1}));
    return Trained{rows_of(outcome.outputs[0]), standin::values_of(outcome.outputs[1].get()),
                   standin::values_of(outcome.outputs[2].get())[0], outcome.console};
}

Call with_data(std::size_t rows, std::size_t columns, const std::vector<double>& patterns,
               const std::vector<double>& labels)
{
    Call c;
    c.patterns = standin::matrix(rows, columns, patterns);
    c.labels = standin::column(labels);
    c.max_list_presentations = 1;
    c.trim_option = 0;
    return c;
}

}  // namespace

class LearnHostileNumbers : public OnEveryKernelPath {};
TARN_ON_EVERY_KERNEL_PATH(LearnHostileNumbers);

// A feature that is not a number makes every match with it not a number,
// which fails every vigilance: the node made from it keeps its NaN mean and
// never learns, and the other patterns train as if it were not there.
TEST_P(LearnHostileNumbers, NotANumberInAPatternStaysInItsOwnNode)
{
    for (double vigilance : {0.0, 0.5}) {
        SCOPED_TRACE(vigilance);
        Call c = with_data(3, 2, {nan_value, 0, 0, 0, 0, 0}, {1, 1, 1});
        c.vigilance = vigilance;
        c.oflag = 4;
        const Trained t = train(c);
        ASSERT_EQ(t.templates.size(), 2u);
        EXPECT_TRUE(std::isnan(t.templates[0][0]));
        EXPECT_EQ(t.templates[0][1], 0.0);
        EXPECT_EQ(t.templates[0][2], 1.0);
        EXPECT_EQ(t.templates[0][3], 1.0);
        EXPECT_EQ(t.templates[0][4], 1.0 / 3.0);
        EXPECT_EQ(t.templates[1], (std::vector<double>{0, 0, std::sqrt(0.5), std::sqrt(0.5), 2.0 / 3.0}));
        EXPECT_NE(t.console.find("nan < rho="), std::string::npos) << t.console;
    }
}

// An infinite feature puts every other pattern infinitely far away (match
// 0, which passes vigilance 0, with choice -inf), and matching it against
// its own node gives inf - inf, not a number: the infinite pattern can
// never be coded by an existing node and makes a new one in every pass.
TEST_P(LearnHostileNumbers, InfinitePatternsMakeANewNodeEveryPass)
{
    for (double sign : {1.0, -1.0}) {
        SCOPED_TRACE(sign);
        Call c = with_data(2, 2, {sign * inf, 0, 1, 0}, {1, 2});
        c.vigilance = 0.0;
        c.max_list_presentations = 2;
        const Trained t = train(c);
        EXPECT_EQ(t.passes, 2.0);
        ASSERT_EQ(t.templates.size(), 3u);
        EXPECT_EQ(t.labels, (std::vector<double>{1, 2, 1}));
        EXPECT_EQ(t.templates[0], (std::vector<double>{sign * inf, 0, 1, 1, 0.25}));
        EXPECT_EQ(t.templates[2], (std::vector<double>{sign * inf, 0, 1, 1, 0.25}));
        // The finite node learnt its pattern again in pass 2.
        EXPECT_EQ(t.templates[1], (std::vector<double>{1, 0, std::sqrt(0.5), std::sqrt(0.5), 0.5}));
    }
}

// Values near 1e300: differences of 2e300 square to infinity, so the match
// is 0 and the deviation learnt from them is infinite; an infinite
// deviation then matches everything perfectly, and means stay finite.
TEST_P(LearnHostileNumbers, HugeValuesOverflowDeviationsButNotMeans)
{
    Call c = with_data(3, 1, {1e300, -1e300, 1e300}, {1, 1, 1});
    c.vigilance = 0.0;
    c.oflag = 4;
    const Trained t = train(c);
    ASSERT_EQ(t.templates.size(), 1u);
    const auto& row = t.templates[0];
    EXPECT_TRUE(std::isfinite(row[0]));
    EXPECT_NEAR(row[0], 1e300 / 3, 1e285);
    EXPECT_EQ(row[1], inf);
    EXPECT_EQ(row[2], 1.0);
    EXPECT_NE(t.console.find("updated  node #1"), std::string::npos);

    // The largest finite magnitudes, one pattern each side of zero and in
    // different classes, stay apart and exact.
    const double largest = std::numeric_limits<double>::max();
    Call far = with_data(2, 1, {largest, -largest}, {1, 2});
    far.vigilance = 0.0;
    const Trained apart = train(far);
    ASSERT_EQ(apart.templates.size(), 2u);
    EXPECT_EQ(apart.templates[0][0], largest);
    EXPECT_EQ(apart.templates[1][0], -largest);
}

// gamma 1e-300 is kept exactly (and so is the smallest subnormal); after a
// second identical pattern the squared deviation underflows and the learnt
// deviation is exactly 0, after which any other pattern is infinitely far.
TEST_P(LearnHostileNumbers, TinyGammaIsKeptExactlyAndItsSquareUnderflows)
{
    for (double gamma : {1e-300, smallest_subnormal}) {
        SCOPED_TRACE(gamma);
        Call c = with_data(3, 1, {0, 0, 1}, {1, 1, 1});
        c.gamma = gamma;
        c.vigilance = 0.5;
        const Trained t = train(c);
        ASSERT_EQ(t.templates.size(), 2u);
        EXPECT_EQ(t.templates[0], (std::vector<double>{0, 0, 2.0 / 3.0}));
        EXPECT_EQ(t.templates[1], (std::vector<double>{1, gamma, 1.0 / 3.0}));
    }
}

// gamma 1e300: every distance divided by it is 0, so everything matches
// perfectly; match tracking then finds no better node and creates one, and
// the first update squares the deviation to infinity.
TEST_P(LearnHostileNumbers, HugeGammaMatchesEverythingAndOverflowsWhenLearning)
{
    Call c = with_data(3, 1, {0, 1, 2}, {1, 2, 1});
    c.gamma = 1e300;
    c.vigilance = 1.0;
    const Trained t = train(c);
    ASSERT_EQ(t.templates.size(), 2u);
    EXPECT_EQ(t.labels, (std::vector<double>{1, 2}));
    EXPECT_EQ(t.templates[0], (std::vector<double>{1, inf, 2.0 / 3.0}));
    EXPECT_EQ(t.templates[1], (std::vector<double>{1, 1e300, 1.0 / 3.0}));

    Call widest = with_data(2, 1, {0, 1}, {1, 1});
    widest.gamma = std::numeric_limits<double>::max();
    EXPECT_EQ(train(widest).templates.at(0), (std::vector<double>{0.5, inf, 1}));
}

// A single-precision or integer-class input carries its special values into
// the double arithmetic unchanged.
TEST_P(LearnHostileNumbers, SpecialValuesOfOtherClassesArriveUnchanged)
{
    Call c;
    c.patterns = standin::make_array(mxSINGLE_CLASS, {3, 1}, {nan_value, inf, -0.0});
    c.labels = standin::make_array(mxINT8_CLASS, {3, 1}, {1, 2, 3});
    c.vigilance = 0.0;
    c.max_list_presentations = 1;
    const Trained t = train(c);
    ASSERT_EQ(t.templates.size(), 3u);
    EXPECT_TRUE(std::isnan(t.templates[0][0]));
    EXPECT_EQ(t.templates[1][0], inf);
    EXPECT_EQ(t.templates[2][0], 0.0);
    EXPECT_TRUE(std::signbit(t.templates[2][0]));
}
