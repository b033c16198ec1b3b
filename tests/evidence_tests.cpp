// tarn_evidence: its arguments, its agreement with tarn_score and with the
// evidence computed straight from the templates (on random cases),
// exhausted memory, interrupts and hostile numbers.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "commands.h"
#include "differential.h"
#include "fault_harness.h"
#include "model/integer.h"

using standin::ArrayPtr;

namespace {

const double inf = std::numeric_limits<double>::infinity();
const double nan_value = std::numeric_limits<double>::quiet_NaN();

struct Evidence {
    std::vector<double> log_evidence;  // K x C, column by column
    std::vector<double> classes;
    std::vector<double> best_choice;
    std::vector<double> winner;
};

Evidence evidence(const std::vector<ArrayPtr>& inputs)
{
    const harness::Result r = harness::call(commands::evidence, 4, inputs);
    EXPECT_EQ(harness::violation(commands::evidence, r), "");
    EXPECT_FALSE(r.raised) << r.error;
    if (r.raised)
        return {};
    const auto values = harness::outputs_of(r);
    return {values[0], values[1], values[2], values[3]};
}

std::vector<double> scored(const std::vector<ArrayPtr>& inputs, int rule)
{
    const harness::Result r = harness::call(
        commands::score, 1,
        {inputs[0], inputs[1], inputs[2], inputs[3], standin::scalar(-1), standin::scalar(rule), standin::scalar(0)});
    EXPECT_FALSE(r.raised) << r.error;
    return r.raised ? std::vector<double>{} : standin::values_of(r.outputs[0].get());
}

// What rule 1 computes for one pattern, straight from the template rows
// (row by row, features in order): each node's choice value if it passes,
// and per class the double sum of exp(choice) in node order, beside the
// same sum in long double shifted to stay clear of underflow.
struct Straight {
    std::vector<double> sums;
    std::vector<long double> log_sums;  // -inf where no node passes
};

Straight straight(const std::vector<std::vector<double>>& rows, const std::vector<int>& class_of, int C,
                  const double* x, double vigilance)
{
    Straight s{std::vector<double>(C, 0.0), std::vector<long double>(C, -INFINITY)};
    std::vector<std::vector<double>> choices(C);
    for (std::size_t j = 0; j < rows.size(); ++j) {
        const std::size_t M = (rows[j].size() - 1) / 2;
        double d2 = 0.0;
        double log_sigma = 0.0;
        for (std::size_t i = 0; i < M; ++i) {
            const double d = (rows[j][i] - x[i]) / rows[j][M + i];
            d2 = d2 + d * d;
            log_sigma = log_sigma + std::log(rows[j][M + i]);
        }
        const double log_match = -0.5 * d2;
        if (!(std::exp(log_match) >= vigilance))
            continue;
        const double choice = log_match + (std::log(rows[j][2 * M]) - log_sigma);
        s.sums[class_of[j]] = s.sums[class_of[j]] + std::exp(choice);
        choices[class_of[j]].push_back(choice);
    }
    for (int c = 0; c < C; ++c) {
        if (choices[c].empty())
            continue;
        const long double top = *std::max_element(choices[c].begin(), choices[c].end());
        s.log_sums[c] = top;
        if (std::isinf(top))
            continue;
        long double sum = 0;
        for (double v : choices[c])
            sum += std::exp(static_cast<long double>(v) - top);
        s.log_sums[c] = top + std::log(sum);
    }
    return s;
}

}  // namespace

// On random models and patterns, some far enough for every exp() to
// underflow: Winner names the node of tarn_score's rule 0; LogEvidence is
// the log of rule 1's sums to within rounding, finite wherever a node of the
// class passes; and its largest entry names rule 1's class wherever rule 1
// decides by a margin.
TEST(EvidenceAgreement, WithTarnScoreAndWithTheSumsThemselves)
{
    int underflowed = 0;
    for (std::uint64_t seed = 1; seed <= 1000; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        std::mt19937_64 rng(seed);
        auto below = [&rng](int n) { return static_cast<int>(rng() % static_cast<std::uint64_t>(n)); };
        std::normal_distribution<double> normal(0.0, 1.0);
        const int J = below(25);
        const int M = 1 + below(5);
        const int K = below(15);
        const bool whole_labels = below(4) != 0;
        std::vector<std::vector<double>> rows(J);
        std::vector<double> labels;
        std::vector<double> flat;
        for (auto& row : rows) {
            for (int i = 0; i < M; ++i)
                row.push_back(3.0 * normal(rng));
            for (int i = 0; i < M; ++i)
                row.push_back(0.2 + std::fabs(normal(rng)));
            row.push_back(below(10) == 0 ? 0.0 : (1 + below(100)) / 100.0);
            flat.insert(flat.end(), row.begin(), row.end());
            labels.push_back(whole_labels || below(3) != 0 ? 1 + below(4) : below(2) ? 2.5 : nan_value);
        }
        std::vector<double> patterns;
        for (int k = 0; k < K; ++k)
            for (int i = 0; i < M; ++i)
                patterns.push_back((k % 4 == 3 ? 200.0 : 3.0) * normal(rng));
        const double vigilances[] = {0.0, 0.0, 1.0, 0.5, 0.01, (below(1000)) / 1000.0};
        const double vigilance = vigilances[below(6)];
        const std::vector<ArrayPtr> inputs = {standin::matrix(J, 2 * M + 1, flat), standin::column(labels),
                                              standin::scalar(vigilance), standin::matrix(K, M, patterns)};

        const Evidence e = evidence(inputs);
        const auto rule0 = scored(inputs, 0);
        const auto rule1 = scored(inputs, 1);
        const int C = static_cast<int>(e.classes.size());
        ASSERT_EQ(e.log_evidence.size(), static_cast<std::size_t>(K * C));
        std::vector<int> class_of;
        for (double label : labels)
            class_of.push_back(static_cast<int>(
                std::find(e.classes.begin(), e.classes.end(), tarn::integer_from_double(label)) - e.classes.begin()));
        for (int k = 0; k < K; ++k) {
            const int w = static_cast<int>(e.winner[k]);
            ASSERT_EQ(w == 0 ? -1.0 : tarn::integer_from_double(labels[w - 1]), rule0[k]) << "pattern " << k + 1;

            const Straight s = straight(rows, class_of, C, &patterns[k * M], vigilance);
            int best = -1;
            for (int c = 0; c < C; ++c) {
                const double E = e.log_evidence[c * K + k];
                if (std::isinf(s.log_sums[c])) {
                    ASSERT_EQ(E, static_cast<double>(s.log_sums[c])) << "pattern " << k + 1 << ", class " << c + 1;
                } else {
                    ASSERT_NEAR(E, s.log_sums[c], 1e-12 * (1 + std::fabs(E)))
                        << "pattern " << k + 1 << ", class " << c + 1;
                    ASSERT_LE(e.best_choice[c * K + k], E);
                }
                if (best < 0 || E > e.log_evidence[best * K + k])
                    best = c;
            }
            std::vector<double> sums = s.sums;
            std::sort(sums.rbegin(), sums.rend());
            if (C > 0 && sums[0] == 0 && !std::isinf(e.log_evidence[best * K + k]))
                ++underflowed;
            if (!whole_labels || rule1[k] == -1 || (C > 1 && sums[0] - sums[1] <= 1e-12 * sums[0]))
                continue;
            ASSERT_EQ(e.classes[best], rule1[k]) << "pattern " << k + 1;
        }
    }
    EXPECT_GT(underflowed, 50);  // the far patterns did what they are for
}

// Classes are the distinct labels after the integer conversion,
// ascending; a class no node of which passes has -Inf evidence.
TEST(Evidence, ClassesAscendAndOutputsHaveTheirShapes)
{
    const auto templates = standin::matrix(4, 3, {0, 1, 0.25, 0, 1, 0.25, 10, 1, 0.25, 0, 1, 0.25});
    const auto labels = standin::column({7.9, -2, 7, nan_value});
    const Evidence e = evidence({templates, labels, standin::scalar(0.5), standin::column({0, 10})});
    EXPECT_EQ(e.classes, (std::vector<double>{-2, 0, 7}));
    EXPECT_EQ(e.winner, (std::vector<double>{1, 3}));
    // Class 7 holds rows 1 and 3, of which only row 1 passes for pattern 1.
    EXPECT_EQ(e.log_evidence[4], std::log(0.25));
    EXPECT_EQ(e.log_evidence[1], -inf);
    EXPECT_EQ(e.best_choice,
              (std::vector<double>{std::log(0.25), -inf, std::log(0.25), -inf, std::log(0.25), std::log(0.25)}));
    // Any number of outputs up to four; none gives ans the evidence.
    for (int nlhs : {0, 1, 2}) {
        const auto r = harness::call(commands::evidence, nlhs, {templates, labels, standin::scalar(0), templates});
        EXPECT_EQ(r.error, commands::evidence.message("4th input argument (Patterns) must be 4x1 to match Templates; "
                                                      "received 4x3, with Templates 4x3."));
        const auto ok =
            harness::call(commands::evidence, nlhs, {templates, labels, standin::scalar(0), standin::column({1})});
        ASSERT_FALSE(ok.raised);
        EXPECT_EQ(standin::dims_of(ok.outputs[0].get()), (std::vector<std::size_t>{1, 3}));
    }
}

TEST(Evidence, ArgumentsAreCheckedInOrderAndNamed)
{
    const auto templates = standin::matrix(2, 3, {0, 1, 0.5, 5, 1, 0.5});
    const std::vector<ArrayPtr> good = {templates, standin::column({1, 2}), standin::scalar(0.5),
                                        standin::column({0, 5})};
    struct Refusal {
        int slot;
        ArrayPtr value;
        std::string message;
    };
    const std::vector<Refusal> refusals = {
        {0, standin::make_array(mxCELL_CLASS, {2, 3}),
         "1st input argument (Templates) must be a real, full, numeric "
         "or logical array; received a cell array."},
        {0, standin::matrix(2, 3, {0, 1, 0.5, 5, 1, nan_value}),
         "1st input argument (Templates) must have priors of "
         "0 or more; row 2 has NaN."},
        {0, standin::make_array(mxDOUBLE_CLASS, {2, 0}),
         "1st input argument (Templates) must have a column of "
         "priors; row 1 has no column."},
        {2, standin::make_array(mxDOUBLE_CLASS, {1, 0}),
         "3rd input argument (vigilance) must be a scalar; received "
         "1x0."},
        {2, standin::scalar(1.0000000001), "3rd input argument (vigilance) must be in [0, 1]; received 1.0000000001."},
        {3, standin::make_array(mxDOUBLE_CLASS, {2, 1}, {}, false, true),
         "4th input argument (Patterns) must be a "
         "real, full, numeric or logical array; "
         "received a sparse array."},
    };
    for (const auto& r : refusals) {
        auto inputs = good;
        inputs[static_cast<std::size_t>(r.slot)] = r.value;
        const auto outcome = harness::call(commands::evidence, 4, inputs);
        EXPECT_EQ(outcome.error, commands::evidence.message(r.message));
        EXPECT_EQ(harness::violation(commands::evidence, outcome), "");
    }
    EXPECT_EQ(harness::call(commands::evidence, 1, {good.begin(), good.end() - 1}).error,
              commands::evidence.message("4 input arguments required; received 3."));
    EXPECT_EQ(harness::call(commands::evidence, 5, good).error,
              commands::evidence.message("at most 4 output arguments; received 5."));
}

// Each allocation fails once and an interrupt arrives at each poll, for a
// model of twelve nodes in four classes and for no model at all.
TEST(EvidenceFaults, EveryAllocationPointFailsOnceAndTheCommandStaysUsable)
{
    std::vector<double> rows;
    std::vector<double> labels;
    for (int j = 0; j < 12; ++j) {
        rows.insert(rows.end(), {10.0 * j, -10.0 * j, 1.0 + 0.1 * j, 1.5, 1.0 / 12});
        labels.push_back(1 + j % 4);
    }
    const auto patterns = standin::matrix(3, 2, {0.2, 0.1, 59.0, -61.0, 1000.0, 1000.0});
    const auto counted = fault_test::fail_every_point(
        commands::evidence, 4,
        {standin::matrix(12, 5, rows), standin::column(labels), standin::scalar(0.25), patterns});
    EXPECT_GT(counted.host, 0);
    EXPECT_GT(counted.node, 0);
    EXPECT_GE(counted.polls, 3);
    const ScopedTileCache cache(256);  // vigilance 0, in a tile: nodes left out
    fault_test::fail_every_point(commands::evidence, 4,
                                 {standin::matrix(12, 5, rows), standin::column(labels), standin::scalar(0), patterns});
    fault_test::fail_every_point(commands::evidence, 4,
                                 {standin::make_array(mxDOUBLE_CLASS, {0, 5}),
                                  standin::make_array(mxDOUBLE_CLASS, {0, 1}), standin::scalar(0), patterns});
}

// Deviations of zero, tiny or negative, priors of zero or infinite, and
// patterns that are not numbers: the evidence is what IEEE arithmetic makes
// of them (a class with an undefined choice value has undefined evidence),
// and the same on every matching path.
TEST(EvidenceHostile, HostileModelsGiveTheirArithmeticOnEveryPath)
{
    const auto templates = standin::matrix(5, 3, {0, 1, 0, 0, -1, 0.5, 0, 0, 0.5, 0, 1e-300, inf, 0, 1, 0.5});
    const auto labels = standin::column({1, 2, 3, 4, 5});
    const auto patterns = standin::column({0, 1, nan_value, 1e300});
    const Evidence e = evidence({templates, labels, standin::scalar(0), patterns});
    EXPECT_EQ(e.log_evidence[0], -inf);          // prior 0
    EXPECT_TRUE(std::isnan(e.log_evidence[4]));  // ln of a negative deviation
    EXPECT_EQ(e.log_evidence[12], inf);          // infinite prior
    EXPECT_EQ(e.log_evidence[16 + 3], -inf);     // 1e300 away: passes at 0, exp() gives 0
    EXPECT_EQ(e.winner[2], 0);                   // NaN passes no node
    differential::expect_paths_agree(tarn_evidence_entry, 4, {templates, labels, standin::scalar(0), patterns},
                                     "hostile evidence");
}

// Weighing leaves out what cannot change the evidence, and gives the bits,
// text and work of the path that computes every node, pattern by pattern
// or in tiles: on random models
// (every node prunable, or a few odd rows that make the whole call scan in
// full), and on the rows built to sit on the decision edges, whose ties
// fall within a class, across classes and after a pattern won by the
// higher node.
TEST(EvidenceDifferential, LeavingOutChangesNoBit)
{
    for (std::uint64_t seed = 1; seed <= 300; ++seed) {
        // A third of the calls in tiles of patterns, as for a model larger
        // than the cache.
        const ScopedTileCache cache(seed % 3 == 1 ? 2048 : ~std::size_t{0});
        std::mt19937_64 rng(seed);
        std::uniform_int_distribution<int> pick(0, 1 << 30);
        const int J = pick(rng) % 70;
        const int M = 1 + pick(rng) % 9;
        const bool hostile = seed % 10 == 0;
        const auto templates = differential::random_templates(rng, J, M, hostile);
        if (seed % 3 == 0) {  // narrow nodes: choice values far above 0
            double* deviations = mxGetPr(templates.get()) + static_cast<std::size_t>(J) * M;  // column-major
            for (int v = 0; v < J * M; ++v)
                deviations[v] *= 0.01;
        }
        const int classes = 1 + pick(rng) % 5;
        std::vector<double> labels;
        for (int j = 0; j < J; ++j)
            labels.push_back(1 + pick(rng) % classes);
        const auto patterns = differential::random_data(rng, pick(rng) % 30, M, 3, hostile);
        differential::expect_paths_agree(
            tarn_evidence_entry, 4,
            {templates, standin::column(labels), standin::scalar(seed % 7 == 0 ? 0.01 : 0.0),
             differential::matrix_of(patterns)},
            "seed " + std::to_string(seed));
    }
    // One feature, every node on the pattern: choice values are ln(prior).
    // Class 1 holds its best (prior 1) and then terms on both sides of half
    // an ulp of 1, four at a time; class 2 starts far below its best, its
    // sum at first tiny and then swamped.
    std::vector<double> rows = {0, 1, 1};
    for (double gap : {36.1, 36.3, 36.5, 36.7, 36.8, 37.0, 37.2, 37.4, 36.6, 40.0, 36.7, 36.72})
        rows.insert(rows.end(), {0, 1, std::exp(-gap)});
    for (double gap : {800.0, 700.0, 400.0, 45.0, 0.0, 36.0})
        rows.insert(rows.end(), {0, 1, std::exp(-gap)});
    std::vector<double> classes(13, 1.0);
    classes.resize(19, 2.0);
    differential::expect_paths_agree(
        tarn_evidence_entry, 4,
        {standin::matrix(19, 3, rows), standin::column(classes), standin::scalar(0), standin::column({0.0, 1e-9})},
        "terms about half an ulp of the sum");
    for (bool odd : {false, true}) {
        for (int rule : {0, 1, 2}) {
            auto inputs = differential::edge_call(odd, 0, rule % 2);
            inputs.resize(4);
            if (rule == 2) {  // nodes 2 and 20 of one class, and 5 and 13
                std::vector<double> parity;
                for (int j = 0; j < 40; ++j)
                    parity.push_back(1 + j % 2);
                inputs[1] = standin::column(parity);
            }
            differential::expect_paths_agree(
                tarn_evidence_entry, 4, inputs,
                std::string(odd ? "odd" : "plain") + " edge rows, labels " + std::to_string(rule));
        }
    }
}
