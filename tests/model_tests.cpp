// The category node, the integer conversion and the work accounting.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <vector>

#include "model/category_nodes.h"
#include "model/integer.h"
#include "model/node_memory.h"
#include "model/work.h"
#include "standin.h"

using tarn::CategoryNodes;

namespace {

const double inf = std::numeric_limits<double>::infinity();
const double not_a_number = std::numeric_limits<double>::quiet_NaN();

// A set holding one node, node 0; null when memory ran out.
using NodePtr = std::unique_ptr<CategoryNodes>;

NodePtr fresh(const std::vector<double>& x, int label, double gamma)
{
    tarn::feature_count = static_cast<int>(x.size());
    tarn::initial_sigma = gamma;
    auto nodes = std::make_unique<CategoryNodes>(tarn::feature_count);
    return nodes->node_init(x.data(), label, 0) ? std::move(nodes) : nullptr;
}

NodePtr loaded(const std::vector<double>& row, int label)
{
    tarn::feature_count = static_cast<int>((row.size() - 1) / 2);
    auto nodes = std::make_unique<CategoryNodes>(tarn::feature_count);
    return nodes->node_init(row.data(), label, 1) ? std::move(nodes) : nullptr;
}

// Flops that the node operations report, measured by the test host.
template <typename Body>
unsigned long long work_of(Body body)
{
    return standin::within_call(body).work;
}

}  // namespace

TEST(IntegerConversion, TruncatesTowardZeroAndKeepsTheLow32Bits)
{
    EXPECT_EQ(tarn::integer_from_double(2.9), 2);
    EXPECT_EQ(tarn::integer_from_double(-0.7), 0);
    EXPECT_EQ(tarn::integer_from_double(-1.7), -1);
    EXPECT_EQ(tarn::integer_from_double(not_a_number), 0);
    EXPECT_EQ(tarn::integer_from_double(inf), 0);
    EXPECT_EQ(tarn::integer_from_double(-inf), 0);
    EXPECT_EQ(tarn::integer_from_double(4294967297.0), 1);  // 2^32 + 1
    EXPECT_EQ(tarn::integer_from_double(2147483648.0), -2147483647 - 1);
    EXPECT_EQ(tarn::integer_from_double(-9223372036854775808.0), 0);  // -2^63: low bits are 0
    EXPECT_EQ(tarn::integer_from_double(9223372036854775808.0), 0);   // 2^63 is out of range
    EXPECT_EQ(tarn::integer_from_double(1e300), 0);
}

TEST(CategoryNode, FreshNodeMatchesItsOwnPatternPerfectly)
{
    auto node = fresh({1.5, -2.0, 0.25}, 3, 0.7);
    ASSERT_TRUE(node);
    EXPECT_EQ(node->count(0), 1u);
    EXPECT_TRUE(node->active(0));
    EXPECT_EQ(node->prior(0), -1.0);
    EXPECT_EQ(node->log_const(0), 0.0);
    EXPECT_EQ(node->label(0), 3);
    const std::vector<double> x{1.5, -2.0, 0.25};
    const tarn::NodeMatch match = node->node_match(0, x.data());
    EXPECT_EQ(match.log_match, 0.0);
    EXPECT_EQ(match.match_value, 1.0);
}

TEST(CategoryNode, MatchFollowsTheNormalisedDistanceInFeatureOrder)
{
    auto node = fresh({0.0, 1.0}, 1, 0.5);
    const std::vector<double> x{0.3, 0.1};
    const tarn::NodeMatch match = node->node_match(0, x.data());
    double s = 0.0;
    const double d0 = (0.0 - 0.3) / 0.5;
    s = s + d0 * d0;
    const double d1 = (1.0 - 0.1) / 0.5;
    s = s + d1 * d1;
    EXPECT_EQ(match.log_match, -0.5 * s);
    EXPECT_EQ(match.match_value, std::exp(-0.5 * s));
}

TEST(CategoryNode, ChoiceOfATrainingNodeUsesCountOverPresentations)
{
    auto node = fresh({2.0, 4.0}, 1, 0.5);
    tarn::presentation_total = 1;
    const std::vector<double> x{2.5, 4.0};
    const double log_match = node->node_match(0, x.data()).log_match;
    const double choice = node->node_choice(0, log_match);
    // count 1, N 1: the choice is the log match minus M ln(gamma).
    EXPECT_DOUBLE_EQ(choice, log_match - 2 * std::log(0.5));
    const double exact = (std::log(1.0) - std::log(1.0)) + (log_match - (0.0 + std::log(0.5) + std::log(0.5)));
    EXPECT_EQ(choice, exact);
}

TEST(CategoryNode, LearningMovesMeansAndDeviationsExactly)
{
    const double g = 0.3;
    auto node = fresh({1.0, -1.0}, 1, g);
    const std::vector<double> x{2.0, -0.2};
    node->node_learn(0, x.data());
    EXPECT_EQ(node->count(0), 2u);
    const double b = 1.0 / 2.0;
    for (int i = 0; i < 2; ++i) {
        const double old_mean = i == 0 ? 1.0 : -1.0;
        const double mean = b * x[i] + (1.0 - b) * old_mean;
        const double d = mean - x[i];
        EXPECT_EQ(node->mean(0, i), mean);
        EXPECT_EQ(node->sigma(0, i), std::sqrt((1.0 - b) * (g * g) + b * (d * d)));
    }
    // The midpoint, and sqrt(g^2/2 + d^2/2) with d half the step.
    EXPECT_DOUBLE_EQ(node->mean(0, 0), 1.5);
    EXPECT_DOUBLE_EQ(node->sigma(0, 0), std::sqrt(g * g / 2 + 0.25 / 2));
}

TEST(CategoryNode, LearningThePatternAtTheMeanShrinksEveryDeviation)
{
    auto node = fresh({1.0, 2.0}, 1, 1.0);
    const std::vector<double> x{1.0, 2.0};
    node->node_learn(0, x.data());
    node->node_learn(0, x.data());
    EXPECT_EQ(node->count(0), 3u);
    EXPECT_EQ(node->mean(0, 0), 1.0);
    EXPECT_DOUBLE_EQ(node->sigma(0, 1), std::sqrt(1.0 / 2) * std::sqrt(2.0 / 3));
    EXPECT_TRUE(node->active(0));
}

TEST(CategoryNode, ExportWritesMeansDeviationsAndPrior)
{
    auto node = fresh({1.0, 2.0}, 4, 0.5);
    const std::vector<double> x{3.0, 2.0};
    node->node_learn(0, x.data());
    tarn::presentation_total = 8;
    std::vector<double> row(5, -7.0);
    node->node_to_template(0, row.data());
    EXPECT_EQ(row[0], node->mean(0, 0));
    EXPECT_EQ(row[1], node->mean(0, 1));
    EXPECT_EQ(row[2], node->sigma(0, 0));
    EXPECT_EQ(row[3], node->sigma(0, 1));
    EXPECT_EQ(row[4], 2.0 / 8.0);
    EXPECT_EQ(node->prior(0), 0.25);
}

TEST(CategoryNode, LoadedNodeReproducesTheTrainingChoiceValue)
{
    auto node = fresh({0.4, -1.2, 3.0}, 2, 0.8);
    const std::vector<double> a{0.9, -1.0, 2.5};
    const std::vector<double> b{0.1, -1.5, 3.3};
    node->node_learn(0, a.data());
    node->node_learn(0, b.data());
    tarn::presentation_total = 11;
    const std::vector<double> probe{0.5, -1.1, 2.8};
    const double trained = node->node_choice(0, node->node_match(0, probe.data()).log_match);

    std::vector<double> row(7);
    node->node_to_template(0, row.data());
    auto again = loaded(row, 2);
    ASSERT_TRUE(again);
    EXPECT_FALSE(again->active(0));
    EXPECT_EQ(again->prior(0), 3.0 / 11.0);
    const double loaded_choice = again->node_choice(0, again->node_match(0, probe.data()).log_match);
    EXPECT_NEAR(loaded_choice, trained, 1e-12 * std::fabs(trained));
}

TEST(CategoryNode, ZeroPriorAndInfiniteDistancesPropagate)
{
    auto zero_prior = loaded({0.0, 1.0, 0.0}, 1);
    const std::vector<double> x{0.5};
    EXPECT_EQ(zero_prior->log_const(0), -inf);
    EXPECT_EQ(zero_prior->node_choice(0, zero_prior->node_match(0, x.data()).log_match), -inf);

    // A zero deviation puts a differing pattern infinitely far away:
    // exp(-inf) is 0, which still passes a vigilance of 0.
    auto flat = loaded({0.0, 0.0, 0.5}, 1);
    const tarn::NodeMatch far = flat->node_match(0, x.data());
    EXPECT_EQ(far.log_match, -inf);
    EXPECT_EQ(far.match_value, 0.0);
    const std::vector<double> same{0.0};
    EXPECT_TRUE(std::isnan(flat->node_match(0, same.data()).match_value));

    auto negative = loaded({0.0, -1.0, 0.5}, 1);
    EXPECT_TRUE(std::isnan(negative->log_const(0)));
}

TEST(CategoryNode, EachOperationReportsItsWork)
{
    // M = 1: loading 4, match 6, choice 1 (prior set) or 7, learn 12, export 1.
    NodePtr node;
    EXPECT_EQ(work_of([&] { node = loaded({0.0, 1.0, 0.5}, 1); }), 4u);
    const std::vector<double> x{0.2};
    EXPECT_EQ(work_of([&] { node->node_match(0, x.data()); }), 6u);
    EXPECT_EQ(work_of([&] { node->node_choice(0, -0.02); }), 1u);

    NodePtr trained;
    EXPECT_EQ(work_of([&] { trained = fresh({0.0}, 1, 1.0); }), 0u);
    tarn::presentation_total = 1;
    EXPECT_EQ(work_of([&] { trained->node_choice(0, -0.02); }), 7u);
    EXPECT_EQ(work_of([&] { trained->node_learn(0, x.data()); }), 12u);
    std::vector<double> row(3);
    EXPECT_EQ(work_of([&] { trained->node_to_template(0, row.data()); }), 1u);

    const auto before = tarn::flop_total;
    work_of([&] { trained->node_match(0, x.data()); });
    EXPECT_EQ(tarn::flop_total - before, 6u);
    EXPECT_EQ(tarn::comparison_total, 0u);
}

TEST(CategoryNode, ExhaustedMemoryLeavesNothingBehind)
{
    const auto live = tarn::node_memory_live_blocks();
    for (long k = 1; k <= 2; ++k) {
        tarn::node_memory_fail_at(k);
        auto node = fresh({1.0, 2.0}, 1, 1.0);
        EXPECT_FALSE(node) << "allocation " << k;
        EXPECT_EQ(tarn::node_memory_live_blocks(), live);
    }
    tarn::node_memory_fail_at(0);
    auto node = fresh({1.0, 2.0}, 1, 1.0);
    EXPECT_TRUE(node);
    EXPECT_EQ(tarn::node_memory_live_blocks(), live + 2);
}

namespace {
std::int64_t fake_milliseconds = 0;
std::int64_t fake_clock()
{
    return fake_milliseconds;
}
}  // namespace

TEST(WorkAccounting, SecondsAreCutBeforeTheyAreSubtracted)
{
    tarn::set_millisecond_clock(fake_clock);
    fake_milliseconds = 999;
    const int s0 = tarn::clock_seconds();
    fake_milliseconds = 1001;
    EXPECT_EQ(tarn::clock_seconds() - s0, 1);
    fake_milliseconds = 1001;
    const int s1 = tarn::clock_seconds();
    fake_milliseconds = 1999;
    EXPECT_EQ(tarn::clock_seconds() - s1, 0);
    tarn::set_millisecond_clock(nullptr);
}

TEST(WorkAccounting, WorkLineHoldsSixtyFourBitTotals)
{
    const auto outcome = standin::within_call([] { tarn::print_work_line(5000000000ull, 12, 3); });
    EXPECT_EQ(outcome.console, "5000000000 FLOPs and 12 comparisons in 3 seconds\n\n");
}
