// tarn_score on hostile numbers: patterns that are not numbers, infinite or
// near the end of the double range, and templates with zero, negative,
// tiny or huge deviations and zero or infinite priors. Nothing may crash or
// read astray, and every decision must follow IEEE arithmetic through the
// match, the choice and the decision rules: a choice value that is not a
// number never beats another and is never beaten, sums that are not
// numbers decide nothing, and nothing is replaced by a number on the way.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "every_kernel_path.h"
#include "score_harness.h"

namespace {

const double inf = std::numeric_limits<double>::infinity();
const double nan_value = std::numeric_limits<double>::quiet_NaN();
const double unknown = -3;

struct Scored {
    std::vector<double> labels;
    std::string console;
};

// Classifies one-feature patterns against template rows {mean, sigma,
// prior} labelled 7, 9, 11, ... in row order, and checks what every call
// must give whatever the numbers (harness.h), no error and a K x 1 column.
Scored score(const std::vector<std::vector<double>>& rows, const std::vector<double>& patterns, double vigilance,
             double rule, const std::vector<double>& node_labels = {})
{
    std::vector<double> labels = node_labels;
    for (std::size_t j = 0; node_labels.empty() && j < rows.size(); ++j)
        labels.push_back(7 + 2 * static_cast<double>(j));
    const auto outcome =
        score_test::run(score_test::one_feature_templates(rows), labels, vigilance, patterns, rule, 3, unknown);
    EXPECT_EQ(harness::violation(score_test::command, outcome), "");
    EXPECT_FALSE(outcome.raised) << outcome.error;
    if (outcome.raised)
        return {};
    EXPECT_EQ(standin::dims_of(outcome.outputs[0].get()), (std::vector<std::size_t>{patterns.size(), 1}));
    return Scored{score_test::labels_of(outcome), outcome.console};
}

using Labels = std::vector<double>;

}  // namespace

class ScoreHostileNumbers : public OnEveryKernelPath {};
TARN_ON_EVERY_KERNEL_PATH(ScoreHostileNumbers);

// A pattern that is not a number matches nothing, at any vigilance.
TEST_P(ScoreHostileNumbers, NotANumberPatternsAreNeverClassified)
{
    for (double rule : {0.0, 1.0}) {
        SCOPED_TRACE(rule);
        const Scored s = score({{0, 1, 1}, {10, 1, 1}}, {nan_value, 0, -nan_value}, 0.0, rule);
        EXPECT_EQ(s.labels, (Labels{unknown, 7, unknown}));
        EXPECT_NE(s.console.find("Node #2 fails the VT (MFV="), std::string::npos);
    }
}

// An infinite or 1e300-scale pattern is infinitely far from every node:
// match 0 passes vigilance 0 only, and every choice is -inf. Rule 0 takes
// the first node (no later one is strictly greater); under rule 1 every
// sum is exp(-inf) = 0 and nothing is classified.
TEST_P(ScoreHostileNumbers, InfinitelyFarPatternsTieAtMinusInfinity)
{
    const std::vector<double> far = {inf, -inf, 1e300, -1e300, std::numeric_limits<double>::max()};
    EXPECT_EQ(score({{0, 1, 1}, {10, 1, 1}}, far, 0.0, 0).labels, (Labels{7, 7, 7, 7, 7}));
    EXPECT_EQ(score({{0, 1, 1}, {10, 1, 1}}, far, 0.0, 1).labels,
              (Labels{unknown, unknown, unknown, unknown, unknown}));
    EXPECT_EQ(score({{0, 1, 1}, {10, 1, 1}}, far, 1e-300, 0).labels,
              (Labels{unknown, unknown, unknown, unknown, unknown}));
    const Scored traced = score({{0, 1, 1}}, {inf}, 0.0, 0);
    EXPECT_NE(traced.console.find("CCF(1)=-inf"), std::string::npos) << traced.console;
}

// A zero deviation: a pattern elsewhere is infinitely far (match 0), but
// ln(prior) - ln(0) = +inf, so its choice is -inf + inf, not a number; the
// pattern at the mean gives 0/0 and fails the vigilance test.
TEST_P(ScoreHostileNumbers, ZeroDeviationsGiveChoicesThatAreNotNumbers)
{
    const std::vector<std::vector<double>> rows = {{0, 0, 1}, {10, 1, 1}};
    // Pattern 5: node 1 passes first with a NaN choice and node 2's finite
    // one is not strictly greater, so rule 0 keeps node 1. Pattern 0 fails
    // node 1 and goes to node 2.
    EXPECT_EQ(score(rows, {5, 0}, 0.0, 0).labels, (Labels{7, 9}));
    // Rule 1: exp(NaN) makes label 7's sum NaN, which is neither greater
    // than nor equal to anything, so label 9 decides alone.
    EXPECT_EQ(score(rows, {5, 0}, 0.0, 1).labels, (Labels{9, 9}));
    // In second place the NaN choice cannot take over from node 2.
    EXPECT_EQ(score({{10, 1, 1}, {0, 0, 1}}, {5}, 0.0, 0).labels, (Labels{7}));
    // A NaN choice alone: rule 0 still has a winner, rule 1 has no sum above 0.
    EXPECT_EQ(score({{0, 0, 1}}, {5}, 0.0, 0).labels, (Labels{7}));
    EXPECT_EQ(score({{0, 0, 1}}, {5}, 0.0, 1).labels, (Labels{unknown}));
    const Scored traced = score({{0, 0, 1}}, {5, 0}, 0.0, 0);
    const bool printed_nan = traced.console.find("CCF(1)=nan\n") != std::string::npos ||
                             traced.console.find("CCF(1)=-nan\n") != std::string::npos;
    EXPECT_TRUE(printed_nan) << traced.console;
}

// A negative deviation squares away in the match but its logarithm is not
// a number, so every choice of that node is not a number either.
TEST_P(ScoreHostileNumbers, NegativeDeviationsPoisonOnlyTheirOwnNode)
{
    const std::vector<std::vector<double>> rows = {{0, -1, 1}, {10, 1, 1}};
    EXPECT_EQ(score(rows, {0, 10}, 0.5, 0).labels, (Labels{7, 9}));
    EXPECT_EQ(score(rows, {0, 10}, 0.0, 0).labels, (Labels{7, 7}));
    EXPECT_EQ(score(rows, {0, 10}, 0.0, 1).labels, (Labels{9, 9}));
}

// Deviations of 1e-300 put any pattern off the mean infinitely far; 1e300
// makes every pattern match perfectly, with a choice of ln(prior) - 690.8.
TEST_P(ScoreHostileNumbers, TinyAndHugeDeviations)
{
    EXPECT_EQ(score({{0, 1e-300, 1}, {10, 1e-300, 1}}, {0, 1e-290, 10}, 1e-300, 0).labels, (Labels{7, unknown, 9}));
    EXPECT_EQ(score({{0, 1e300, 0.5}, {10, 1e300, 1}}, {-1e100, 5, 1e100}, 1.0, 0).labels, (Labels{9, 9, 9}));
    EXPECT_EQ(score({{0, 1e300, 0.5}, {10, 1e300, 0.5}}, {3}, 1.0, 1).labels, (Labels{unknown}));
    // An infinite deviation: the distance is 0 but the choice -inf, which
    // any finite choice beats and which comes first among equals.
    EXPECT_EQ(score({{0, inf, 1}, {10, 1, 1}}, {0, 1e200}, 0.0, 0).labels, (Labels{9, 7}));
}

// A zero prior gives ln(0) = -inf: such a node is beaten by any finite
// choice under rule 0 and adds exp(-inf) = 0 under rule 1. An infinite
// prior wins everything it passes, and two of them tie under rule 1.
TEST_P(ScoreHostileNumbers, ZeroAndInfinitePriors)
{
    EXPECT_EQ(score({{0, 1, 0}, {10, 1, 1}}, {0}, 0.0, 0).labels, (Labels{9}));
    EXPECT_EQ(score({{0, 1, 0}, {10, 1, 1}}, {0}, 0.0, 1).labels, (Labels{9}));
    EXPECT_EQ(score({{0, 1, 0}, {10, 1, 0}}, {0, 10}, 0.0, 0).labels, (Labels{7, 7}));
    EXPECT_EQ(score({{0, 1, 0}, {10, 1, 0}}, {0, 10}, 0.0, 1).labels, (Labels{unknown, unknown}));

    EXPECT_EQ(score({{0, 1, inf}, {10, 1, 1}}, {10}, 0.0, 0).labels, (Labels{7}));
    EXPECT_EQ(score({{0, 1, inf}, {10, 1, 1}}, {10}, 0.0, 1).labels, (Labels{7}));
    EXPECT_EQ(score({{0, 1, inf}, {10, 1, inf}}, {5}, 0.0, 1).labels, (Labels{unknown}));
    // A prior too small for its logarithm to matter against a near match.
    EXPECT_EQ(score({{0, 1, 1e-300}, {1, 1, 1}}, {0}, 0.0, 0).labels, (Labels{9}));
}

// Template means that are not numbers or infinite match nothing but their
// own kind of nothing: the node fails every vigilance or sits at -inf.
TEST_P(ScoreHostileNumbers, TemplateMeansThatAreNotFinite)
{
    EXPECT_EQ(score({{nan_value, 1, 1}, {10, 1, 1}}, {0, 10}, 0.0, 0).labels, (Labels{9, 9}));
    EXPECT_EQ(score({{nan_value, 1, 1}}, {0}, 0.0, 1).labels, (Labels{unknown}));
    EXPECT_EQ(score({{inf, 1, 1}, {10, 1, 1}}, {inf, 10}, 0.0, 0).labels, (Labels{9, 9}));
}

// The integer conversion of the labels: a node labelled NaN predicts 0
// (the conversion's defined value), and under rule 1 each such row is a
// label of its own that never equals another, so two of them tie.
TEST_P(ScoreHostileNumbers, LabelsThatAreNotNumbersConvertToZero)
{
    const std::vector<std::vector<double>> rows = {{0, 1, 1}, {0, 1, 1}};
    EXPECT_EQ(score(rows, {0}, 0.0, 0, {nan_value, 5}).labels, (Labels{0}));
    EXPECT_EQ(score(rows, {0}, 0.0, 1, {nan_value, nan_value}).labels, (Labels{unknown}));
    EXPECT_EQ(score(rows, {0}, 0.0, 1, {inf, 1e300}).labels, (Labels{unknown}));
    EXPECT_EQ(score({{0, 1, 1}}, {0}, 0.0, 1, {-inf}).labels, (Labels{0}));
}
