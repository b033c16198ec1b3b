// tarn_score through the stand-in host: the two decision rules, the traces
// and the report, the work counts; and the node round trip from training.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdint>
#include <limits>
#include <sstream>
#include <string>
#include <vector>

#include "kernel_path.h"
#include "model/category_nodes.h"
#include "model/node_memory.h"
#include "model/work.h"
#include "score_harness.h"

using harness::work_line;
using score_test::one_feature_templates;
using score_test::run;
using standin::ArrayPtr;
using standin::Outcome;

namespace {

const double not_a_number = std::numeric_limits<double>::quiet_NaN();

std::vector<double> labels_of(const Outcome& outcome)
{
    EXPECT_FALSE(outcome.raised) << outcome.error;
    return score_test::labels_of(outcome);
}

// A clock that reads whatever the test scripts, one value per reading.
std::vector<std::int64_t> clock_readings;
std::size_t clock_position = 0;
std::int64_t scripted_clock()
{
    if (clock_readings.empty())
        return 0;
    const std::size_t k = clock_position < clock_readings.size() ? clock_position : clock_readings.size() - 1;
    ++clock_position;
    return clock_readings[k];
}

class Scoring : public ::testing::Test {
protected:
    void SetUp() override
    {
        clock_readings.clear();
        clock_position = 0;
        tarn::set_millisecond_clock(scripted_clock);
        live_blocks = tarn::node_memory_live_blocks();
    }
    void TearDown() override
    {
        tarn::set_millisecond_clock(nullptr);
        EXPECT_EQ(tarn::node_memory_live_blocks(), live_blocks);
    }
    std::size_t live_blocks = 0;
};

// Node 1 at 0, node 2 at 10, both with deviation 1 and prior 1; pattern 1
// is at node 1, pattern 2 halfway (no node passes 0.5), pattern 3 near 2.
ArrayPtr two_far_nodes()
{
    return one_feature_templates({{0, 1, 1}, {10, 1, 1}});
}
const std::vector<double> three_patterns = {0, 5, 10.5};

}  // namespace

TEST_F(Scoring, WinnerTakeAllTracesAndReportAtEachLevel)
{
    const std::string header = "\nList presentation of 3 patterns:\n";
    const std::string results[] = {
        "   Pattern #1 selected by node #1 and classified as '7'\n",
        "   Pattern #2 could not be classified\n",
        "   Pattern #3 selected by node #2 and classified as '9'\n",
    };
    const std::string traces[] = {
        "   Pattern #1 is being presented\n"
        "      CCF(1)=0.000000\n"
        "      Node #2 fails the VT (MFV=0.000000 < rho=0.500000)\n",
        "   Pattern #2 is being presented\n"
        "      Node #1 fails the VT (MFV=0.000004 < rho=0.500000)\n"
        "      Node #2 fails the VT (MFV=0.000004 < rho=0.500000)\n",
        "   Pattern #3 is being presented\n"
        "      Node #1 fails the VT (MFV=0.000000 < rho=0.500000)\n"
        "      CCF(2)=-0.125000\n",
    };
    for (int oflag = 0; oflag <= 3; ++oflag) {
        SCOPED_TRACE(oflag);
        const std::uint64_t before = tarn::flop_total;
        const Outcome outcome = run(two_far_nodes(), {7, 9}, 0.5, three_patterns, 0, oflag, -3);
        EXPECT_EQ(labels_of(outcome), (std::vector<double>{7, -3, 9}));
        // Loading 2 x 4, matching 3 x 2 x 6, two choices of 1.
        EXPECT_EQ(tarn::flop_total - before, 46u);
        std::string expected;
        if (oflag >= 2) {
            expected += header;
            for (int p = 0; p < 3; ++p)
                expected += (oflag >= 3 ? traces[p] : "") + results[p];
        }
        if (oflag >= 1)
            expected +=
                "\nGAM performance phase summary\n"
                "Test set contained 3 test patterns\n"
                "0 inactive nodes detected (0.000000%)\n"
                "unable to classify 1 patterns (33.333333%)\n" +
                work_line(before + 46, 6);
        EXPECT_EQ(outcome.console, expected);
    }
}

TEST_F(Scoring, PerLabelSumsTracesAndReport)
{
    const std::uint64_t before = tarn::flop_total;
    const Outcome outcome = run(two_far_nodes(), {7, 9}, 0.5, three_patterns, 1, 3);
    EXPECT_EQ(labels_of(outcome), (std::vector<double>{7, -1, 9}));
    // Rule 1 adds no inactive-node line; each pattern compares J + 2L = 6
    // times, and each of the two additions costs 2 flops.
    EXPECT_EQ(outcome.console,
              "\nList presentation of 3 patterns:\n"
              "   Pattern #1 is being presented\n"
              "      CCF(1)=0.000000\n"
              "      Node #2 fails the VT (MFV=0.000000 < rho=0.500000)\n"
              "   Pattern #1 classified as '7'\n"
              "   Pattern #2 is being presented\n"
              "      Node #1 fails the VT (MFV=0.000004 < rho=0.500000)\n"
              "      Node #2 fails the VT (MFV=0.000004 < rho=0.500000)\n"
              "   Pattern #2 could not be classified\n"
              "   Pattern #3 is being presented\n"
              "      Node #1 fails the VT (MFV=0.000000 < rho=0.500000)\n"
              "      CCF(2)=-0.125000\n"
              "   Pattern #3 classified as '9'\n"
              "\nGAM performance phase summary\n"
              "Test set contained 3 test patterns\n"
              "unable to classify 1 patterns (33.333333%)\n" +
                  work_line(before + 46 + 4, 18));
}

TEST_F(Scoring, ReportFormsAndPercentages)
{
    auto report = [](const ArrayPtr& templates, const std::vector<double>& labels, const std::vector<double>& patterns,
                     int rule) {
        const Outcome outcome = run(templates, labels, 0.5, patterns, rule, 1);
        EXPECT_FALSE(outcome.raised) << outcome.error;
        // Everything before the work line, which the other tests pin down.
        const std::string& text = outcome.console;
        return text.substr(0, text.rfind('\n', text.size() - 3) + 1);
    };
    const std::string head = "\nGAM performance phase summary\n";
    // One of two nodes never wins: the singular form.
    EXPECT_EQ(report(two_far_nodes(), {7, 9}, {0, 0.1}, 0),
              head + "Test set contained 2 test patterns\n1 inactive node detected (50.000000%)\n");
    // Neither wins: plural, and every pattern unclassified.
    EXPECT_EQ(report(two_far_nodes(), {7, 9}, {5}, 0),
              head +
                  "Test set contained 1 test patterns\n2 inactive nodes detected (100.000000%)\n"
                  "unable to classify 1 patterns (100.000000%)\n");
    // No template rows: nothing is inactive, and no division by zero.
    EXPECT_EQ(report(standin::make_array(mxDOUBLE_CLASS, {0, 3}), {}, {1, 2, 3}, 0),
              head +
                  "Test set contained 3 test patterns\n0 inactive nodes detected (0.000000%)\n"
                  "unable to classify 3 patterns (100.000000%)\n");
    EXPECT_EQ(report(standin::make_array(mxDOUBLE_CLASS, {0, 3}), {}, {1, 2, 3}, 1),
              head + "Test set contained 3 test patterns\nunable to classify 3 patterns (100.000000%)\n");
}

TEST_F(Scoring, NoPatternsGiveAnEmptyColumnAndAShortReport)
{
    const std::uint64_t before = tarn::flop_total;
    const Outcome outcome =
        run({two_far_nodes(), standin::column({7, 9}), standin::scalar(0.5),
             standin::make_array(mxDOUBLE_CLASS, {0, 1}), standin::scalar(-1), standin::scalar(0), standin::scalar(3)});
    ASSERT_FALSE(outcome.raised) << outcome.error;
    EXPECT_EQ(standin::dims_of(outcome.outputs[0].get()), (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(outcome.console,
              "\nList presentation of 0 patterns:\n"
              "\nGAM performance phase summary\n"
              "Test set contained 0 test patterns\n"
              "2 inactive nodes detected (100.000000%)\n" +
                  work_line(before + 8, 0));
}

TEST_F(Scoring, WinnerTakeAllBreaksTiesToTheLowerNode)
{
    // Identical nodes: the first wins and only it becomes active.
    Outcome outcome = run(one_feature_templates({{0, 1, 0.5}, {0, 1, 0.5}}), {3, 4}, 0.5, {0.2}, 0, 2);
    EXPECT_EQ(labels_of(outcome), (std::vector<double>{3}));
    EXPECT_NE(outcome.console.find("selected by node #1 and classified as '3'"), std::string::npos);
    EXPECT_NE(outcome.console.find("1 inactive node detected (50.000000%)"), std::string::npos);
    // A strictly larger choice value later on takes over.
    outcome = run(one_feature_templates({{0, 1, 0.2}, {0, 1, 0.8}, {0, 1, 0.8}}), {3, 4, 5}, 0.5, {0.2}, 0, 2);
    EXPECT_EQ(labels_of(outcome), (std::vector<double>{4}));
    EXPECT_NE(outcome.console.find("2 inactive nodes detected (66.666667%)"), std::string::npos);
}

TEST_F(Scoring, PerLabelSumsCanOutvoteTheBestSingleNode)
{
    // One node of label 1 with prior 0.4 against two of label 2 with 0.3.
    const ArrayPtr templates = one_feature_templates({{0, 1, 0.4}, {0, 1, 0.3}, {0, 1, 0.3}});
    EXPECT_EQ(labels_of(run(templates, {1, 2, 2}, 0.5, {0.1}, 0, 0)), (std::vector<double>{1}));
    EXPECT_EQ(labels_of(run(templates, {1, 2, 2}, 0.5, {0.1}, 1, 0)), (std::vector<double>{2}));
    // All of one label: that label.
    EXPECT_EQ(labels_of(run(templates, {6, 6, 6}, 0.5, {0.1}, 1, 0)), (std::vector<double>{6}));
    // Equal largest sums of two labels: no decision.
    EXPECT_EQ(labels_of(run(one_feature_templates({{0, 1, 0.5}, {0, 1, 0.5}}), {1, 2}, 0.5, {0.1}, 1, 0, 8)),
              (std::vector<double>{8}));
}

TEST_F(Scoring, VigilanceZeroPassesUnderflowedMatchesVigilanceOneOnlyExactOnes)
{
    // 100 deviations away the match value underflows to 0.0 yet passes a
    // vigilance of 0; rule 0 takes the node, while rule 1's sum of
    // exp(-5000) is 0.0 and decides nothing.
    const ArrayPtr single = one_feature_templates({{0, 1, 1}});
    Outcome outcome = run(single, {4}, 0.0, {100}, 0, 3);
    EXPECT_EQ(labels_of(outcome), (std::vector<double>{4}));
    EXPECT_NE(outcome.console.find("      CCF(1)=-5000.000000\n"), std::string::npos);
    outcome = run(single, {4}, 0.0, {100}, 1, 2);
    EXPECT_EQ(labels_of(outcome), (std::vector<double>{-1}));
    EXPECT_NE(outcome.console.find("   Pattern #1 could not be classified\n"), std::string::npos);

    // A pattern on the means matches with exactly 1.0; a millionth off does not.
    outcome = run(one_feature_templates({{0.5, 1, 1}, {0.5, 0.25, 1}}), {1, 2}, 1.0, {0.5, 0.500001}, 0, 3);
    EXPECT_EQ(labels_of(outcome), (std::vector<double>{2, -1}));
    EXPECT_NE(outcome.console.find("      Node #1 fails the VT (MFV=1.000000 < rho=1.000000)\n"), std::string::npos);
}

TEST_F(Scoring, MatchValuesThatAreNotNumbersFailEveryVigilance)
{
    // A deviation of 0 with the pattern on the mean gives 0/0.
    for (int rule : {0, 1}) {
        const Outcome outcome = run(one_feature_templates({{0, 0, 1}}), {5}, 0.0, {0}, rule, 3);
        EXPECT_EQ(labels_of(outcome), (std::vector<double>{-1}));
        EXPECT_NE(outcome.console.find("      Node #1 fails the VT (MFV="), std::string::npos) << outcome.console;
        EXPECT_EQ(outcome.console.find("CCF("), std::string::npos);
    }
}

TEST_F(Scoring, FractionalLabelsEachAppendARecordOfTheirOwn)
{
    const ArrayPtr twins = one_feature_templates({{0, 1, 0.5}, {0, 1, 0.5}});
    auto by_sums = [&](const std::vector<double>& labels) { return labels_of(run(twins, labels, 0.5, {0}, 1, 0)); };
    EXPECT_EQ(by_sums({1, 1}), (std::vector<double>{1}));
    // 1.5 never equals a whole-number record, so each row adds a record
    // labelled 1; the two records tie.
    EXPECT_EQ(by_sums({1.5, 1.5}), (std::vector<double>{-1}));
    EXPECT_EQ(by_sums({1, 1.5}), (std::vector<double>{-1}));
    // Not-a-number becomes label 0 and a record of its own; a later 0 finds
    // that record, an earlier 0 does not.
    EXPECT_EQ(by_sums({not_a_number, 0}), (std::vector<double>{0}));
    EXPECT_EQ(by_sums({0, not_a_number}), (std::vector<double>{-1}));
    // Winner-take-all just truncates.
    EXPECT_EQ(labels_of(run(twins, {-1.5, 1.5}, 0.5, {0}, 0, 0)), (std::vector<double>{-1}));

    // Every passing node adds into each record of its label, 2 flops apiece:
    // 2 nodes x 2 records x 2, plus J + 2L = 6 comparisons.
    const ScopedKernelPath node_by_node(reference_path());
    const Outcome outcome = run(twins, {1.5, 1.5}, 0.5, {0}, 1, 0);
    EXPECT_EQ(outcome.work_calls, (std::vector<int>{4, 4, 6, 1, 6, 1, 8 + 6}));
}

TEST_F(Scoring, SumsThatAreNotNumbersDecideNothing)
{
    // A negative deviation makes log_const, the choice value and the sum
    // not a number.
    const ArrayPtr broken = one_feature_templates({{0, -1, 0.5}});
    Outcome outcome = run(broken, {1}, 0.5, {0}, 1, 2);
    EXPECT_EQ(labels_of(outcome), (std::vector<double>{-1}));
    EXPECT_NE(outcome.console.find("   Pattern #1 could not be classified\n"), std::string::npos);
    EXPECT_NE(outcome.console.find("unable to classify 1 patterns (100.000000%)\n"), std::string::npos);
    // A good label after it still wins.
    outcome = run(one_feature_templates({{0, -1, 0.5}, {0, 1, 0.5}}), {1, 2}, 0.5, {0}, 1, 0);
    EXPECT_EQ(labels_of(outcome), (std::vector<double>{2}));
}

TEST_F(Scoring, WorkReachesTheHostPerNodeOperationAndPerPattern)
{
    // Vigilance 0: both nodes pass every pattern. Loading 2M+2 = 4, match
    // 4M+2 = 6, choice 1; then the pattern's own count. Node by node, each
    // operation reports on its own; the block paths report the same sums.
    const ArrayPtr templates = two_far_nodes();
    const Outcome fast = run(templates, {7, 9}, 0.0, {0, 10}, 1, 0);
    EXPECT_EQ(fast.work, 8u + 2 * (14u + 10u));
    const ScopedKernelPath node_by_node(reference_path());
    Outcome outcome = run(templates, {7, 9}, 0.0, {0, 10}, 0, 0);
    EXPECT_EQ(outcome.work_calls, (std::vector<int>{4, 4, 6, 1, 6, 1, 3, 6, 1, 6, 1, 3}));  // J + 1 comparisons
    outcome = run(templates, {7, 9}, 0.0, {0, 10}, 1, 0);
    EXPECT_EQ(outcome.work_calls, (std::vector<int>{4, 4, 6, 1, 6, 1, 10, 6, 1, 6, 1, 10}));  // J + 2L, 2 x 2 flops
    outcome = run(templates, {7, 7}, 0.0, {0, 10}, 1, 0);
    EXPECT_EQ(outcome.work_calls, (std::vector<int>{4, 4, 6, 1, 6, 1, 8, 6, 1, 6, 1, 8}));  // one record: L = 1
}

TEST_F(Scoring, WorkTotalsForManyNodesAndPatterns)
{
    // 7 nodes of 3 features, 11 patterns on a grid: some nodes pass, some fail.
    const int J = 7, M = 3, K = 11;
    std::vector<double> rows, labels, patterns;
    for (int j = 0; j < J; ++j) {
        for (int i = 0; i < M; ++i)
            rows.push_back(j + 0.5 * i);
        for (int i = 0; i < M; ++i)
            rows.push_back(0.7 + 0.1 * i);
        rows.push_back(1.0 / J);
        labels.push_back(j % 3);
    }
    for (int p = 0; p < K; ++p)
        for (int i = 0; i < M; ++i)
            patterns.push_back(0.6 * p + 0.4 * i);
    const std::vector<ArrayPtr> base = {standin::matrix(J, 2 * M + 1, rows),
                                        standin::column(labels),
                                        standin::scalar(0.3),
                                        standin::matrix(K, M, patterns),
                                        standin::scalar(-1),
                                        standin::scalar(0),
                                        standin::scalar(3)};
    for (int round = 0; round < 4; ++round) {
        const int rule = round % 2;
        const bool node_by_node = round < 2;
        SCOPED_TRACE(rule);
        SCOPED_TRACE(node_by_node);
        const ScopedKernelPath path(node_by_node ? reference_path() : tarn::kernel_path());
        std::vector<ArrayPtr> inputs = base;
        inputs[5] = standin::scalar(rule);
        const std::uint64_t before = tarn::flop_total;
        const Outcome outcome = run(inputs);
        ASSERT_FALSE(outcome.raised) << outcome.error;

        // Passing nodes, pattern by pattern, read from the trace.
        std::vector<std::uint64_t> passing;
        std::istringstream lines(outcome.console);
        for (std::string line; std::getline(lines, line);) {
            if (line.find("is being presented") != std::string::npos)
                passing.push_back(0);
            else if (line.find("CCF(") != std::string::npos)
                ++passing.back();
        }
        ASSERT_EQ(passing.size(), static_cast<std::size_t>(K));
        std::uint64_t all_passing = 0, comparisons = 0, some_pass = 0;
        for (std::uint64_t n : passing) {
            all_passing += n;
            some_pass += n > 0 ? 1 : 0;
            comparisons += J + (rule == 0 ? (n > 0 ? n - 1 : 0) : 2 * 3);
        }
        ASSERT_GT(some_pass, 1u);
        ASSERT_LT(all_passing, static_cast<std::uint64_t>(J * K));
        const std::uint64_t node_flops = J * (2 * M + 2) + K * J * (4 * M + 2) + all_passing;
        EXPECT_EQ(tarn::flop_total - before, node_flops);
        // Under rule 1 each passing node adds into the one record of its label.
        const std::uint64_t call_flops = rule == 1 ? 2 * all_passing : 0;
        EXPECT_EQ(outcome.work, node_flops + call_flops + comparisons);
        if (node_by_node) {
            EXPECT_EQ(outcome.work_calls.size(), static_cast<std::size_t>(J + K * J + all_passing + K));
        }
        const std::string& text = outcome.console;
        EXPECT_EQ(text.substr(text.rfind("\n", text.size() - 3) + 1),
                  work_line(before + node_flops + call_flops, comparisons));
    }
}

TEST_F(Scoring, WorkLineCarriesEarlierCallsAndIsNeverCutTo32Bits)
{
    const std::uint64_t before = tarn::flop_total;
    const Outcome first = run(two_far_nodes(), {7, 9}, 0.5, three_patterns, 0, 1);
    const Outcome second = run(two_far_nodes(), {7, 9}, 0.5, three_patterns, 0, 1);
    EXPECT_NE(first.console.find(work_line(before + 46, 6)), std::string::npos);
    EXPECT_NE(second.console.find(work_line(before + 2 * 46, 6)), std::string::npos);

    // Just short of 2^32 before the call, beyond it in the report.
    const std::uint64_t saved = tarn::flop_total;
    const std::uint64_t near_wrap = 0xFFFFFFF0u;
    tarn::flop_total = near_wrap;
    const Outcome large = run(two_far_nodes(), {7, 9}, 0.5, three_patterns, 1, 1);
    EXPECT_NE(large.console.find(work_line(near_wrap + 46 + 4, 18)), std::string::npos) << large.console;
    EXPECT_EQ(tarn::flop_total, near_wrap + 46);
    tarn::flop_total = saved + 46;
}

TEST_F(Scoring, ElapsedSecondsCountClockBoundariesPassed)
{
    clock_readings = {999, 1001};
    Outcome outcome = run(two_far_nodes(), {7, 9}, 0.5, {0}, 0, 1);
    EXPECT_NE(outcome.console.find("comparisons in 1 seconds\n\n"), std::string::npos) << outcome.console;
    clock_readings = {1001, 1999};
    clock_position = 0;
    outcome = run(two_far_nodes(), {7, 9}, 0.5, {0}, 0, 1);
    EXPECT_NE(outcome.console.find("comparisons in 0 seconds\n\n"), std::string::npos) << outcome.console;
}

// A node trained and exported, then loaded from its template row, gives the
// same choice value for a pattern as training gave with the counts at export.
TEST(ScoreModel, ExportedNodeReloadsWithTheSameChoiceValue)
{
    const int M = 3;
    const std::int32_t saved_features = tarn::feature_count;
    const double saved_sigma = tarn::initial_sigma;
    const std::uint32_t saved_total = tarn::presentation_total;
    tarn::feature_count = M;
    tarn::initial_sigma = 0.8;

    const double patterns[][M] = {{0.1, 2.0, -1.0}, {0.3, 1.7, -0.6}, {-0.2, 2.4, -1.1}, {0.25, 1.9, -0.9}};
    const double probes[][M] = {{0.0, 2.0, -1.0}, {1.5, 0.2, 0.3}, {-3.0, 5.0, 2.0}};
    for (std::uint32_t total : {4u, 9u, 1000u}) {
        SCOPED_TRACE(total);
        tarn::CategoryNodes trained(M);
        ASSERT_TRUE(trained.node_init(patterns[0], 5, 0));
        for (int k = 1; k < 4; ++k)
            trained.node_learn(0, patterns[k]);
        tarn::presentation_total = total;  // other nodes coded the rest

        std::vector<double> expected;
        for (const auto& probe : probes)
            expected.push_back(trained.node_choice(0, trained.node_match(0, probe).log_match));
        double row[2 * M + 1];
        trained.node_to_template(0, row);
        EXPECT_DOUBLE_EQ(row[2 * M], 4.0 / total);

        tarn::presentation_total = 0;  // as in the classification command
        tarn::CategoryNodes loaded(M);
        ASSERT_TRUE(loaded.node_init(row, 5, 1));
        EXPECT_FALSE(loaded.active(0));
        for (std::size_t k = 0; k < expected.size(); ++k) {
            const double choice = loaded.node_choice(0, loaded.node_match(0, probes[k]).log_match);
            EXPECT_NEAR(choice, expected[k], 1e-12 * std::fabs(expected[k])) << k;
        }
    }
    tarn::feature_count = saved_features;
    tarn::initial_sigma = saved_sigma;
    tarn::presentation_total = saved_total;
}
