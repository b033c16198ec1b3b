// Training through tarn_learn: decisions, traces, report, export and work.
#include <gtest/gtest.h>

#include <cmath>
#include <cstdio>
#include <limits>
#include <string>

#include "learn_harness.h"
#include "model/work.h"

using harness::work_line;
using learn_test::Call;
using learn_test::rows_of;
using learn_test::run;

namespace {

const double not_a_number = std::numeric_limits<double>::quiet_NaN();

// Two tight clusters of two patterns each, in two classes.
Call two_clusters(double oflag)
{
    Call c;
    c.patterns = standin::matrix(4, 2, {0, 0, 0.1, 0, 5, 5, 5.2, 5.1});
    c.labels = standin::column({1, 1, 2, 2});
    c.oflag = oflag;
    return c;
}

// One feature: three patterns of class 1 at 0, one of class 2 at 2, then a
// class-2 pattern at 1 whose first choice is the class-1 node.
Call match_tracking(double oflag)
{
    Call c;
    c.patterns = standin::column({0, 0, 0, 2, 1});
    c.labels = standin::column({1, 1, 1, 2, 2});
    c.vigilance = 0;
    c.max_list_presentations = 1;
    c.oflag = oflag;
    return c;
}

}  // namespace

TEST(Training, FullTraceAndReportAtLevelFour)
{
    const auto before = tarn::flop_total;
    const auto outcome = run(two_clusters(4));
    ASSERT_FALSE(outcome.raised) << outcome.error;
    const std::string expected =
        "\nList presentation #1:\n"
        "   Pattern #1 is being presented (label 1)\n"
        "   Pattern #1 created  node #1 (label 1).\n"
        "   Pattern #2 is being presented (label 1)\n"
        "   Pattern #2 updated  node #1 (label 1)\n"
        "   Pattern #3 is being presented (label 2)\n"
        "      Node #1 fails the VT (MFV=0.000000 < rho=0.500000)\n"
        "   Pattern #3 created  node #2 (label 2).\n"
        "   Pattern #4 is being presented (label 2)\n"
        "      Node #1 fails the VT (MFV=0.000000 < rho=0.500000)\n"
        "   Pattern #4 updated  node #2 (label 2)\n"
        "   Summary: 2 new nodes created, 2 node updates\n"
        "\nList presentation #2:\n"
        "   Pattern #1 is being presented (label 1)\n"
        "      Node #2 fails the VT (MFV=0.000000 < rho=0.500000)\n"
        "   Pattern #1 updated  node #1 (label 1)\n"
        "   Pattern #2 is being presented (label 1)\n"
        "      Node #2 fails the VT (MFV=0.000000 < rho=0.500000)\n"
        "   Pattern #2 updated  node #1 (label 1)\n"
        "   Pattern #3 is being presented (label 2)\n"
        "      Node #1 fails the VT (MFV=0.000000 < rho=0.500000)\n"
        "   Pattern #3 updated  node #2 (label 2)\n"
        "   Pattern #4 is being presented (label 2)\n"
        "      Node #1 fails the VT (MFV=0.000000 < rho=0.500000)\n"
        "   Pattern #4 updated  node #2 (label 2)\n"
        "   Summary: 0 new nodes created, 4 node updates\n"
        "\nGAM training stopped after 2 list presentations\n"
        "No new nodes were created during the last list presentation.\n"
        "Training set contained 4 training patterns\n"
        "0 inactive nodes detected (0.000000% redundacy)\n"
        "2 nodes created (25.000000% inflation)\n" +
        work_line(before + 306, 12);
    EXPECT_EQ(outcome.console, expected);

    // Node work 306 and 2 exports reach the totals; comparisons only the host.
    EXPECT_EQ(tarn::flop_total - before, 308u);
    EXPECT_EQ(outcome.work, 308u + 12u);
    EXPECT_TRUE(outcome.inputs_unchanged);
    EXPECT_EQ(outcome.reclaimed_blocks, 1u + 4u + 1u);  // the input copies: row table, rows, labels

    const auto templates = rows_of(outcome.outputs[0]);
    ASSERT_EQ(templates.size(), 2u);
    EXPECT_DOUBLE_EQ(templates[0][0], 0.05);
    EXPECT_EQ(templates[0][1], 0.0);
    EXPECT_DOUBLE_EQ(templates[1][0], 5.1);
    EXPECT_DOUBLE_EQ(templates[1][1], 5.05);
    EXPECT_EQ(templates[0][4], 0.5);
    EXPECT_EQ(templates[1][4], 0.5);
    EXPECT_EQ(standin::values_of(outcome.outputs[1].get()), (std::vector<double>{1, 2}));
    EXPECT_EQ(standin::dims_of(outcome.outputs[1].get()), (std::vector<std::size_t>{2, 1}));
    EXPECT_EQ(standin::values_of(outcome.outputs[2].get()), std::vector<double>{2});
    EXPECT_EQ(standin::dims_of(outcome.outputs[2].get()), (std::vector<std::size_t>{1, 1}));
}

TEST(Training, OutputLevelsPrintTheirLinesOnly)
{
    const auto quiet = run(two_clusters(0));
    EXPECT_EQ(quiet.console, "");
    const auto before = tarn::flop_total;
    const auto report = run(two_clusters(1));
    EXPECT_EQ(report.console,
              "\nGAM training stopped after 2 list presentations\n"
              "No new nodes were created during the last list presentation.\n"
              "Training set contained 4 training patterns\n"
              "0 inactive nodes detected (0.000000% redundacy)\n"
              "2 nodes created (25.000000% inflation)\n" +
                  work_line(before + 306, 12));
    const auto passes = run(two_clusters(2));
    EXPECT_EQ(passes.console.find("List presentation #1: 2 new nodes created, 2 node updates\n"
                                  "List presentation #2: 0 new nodes created, 4 node updates\n"
                                  "\nGAM training stopped "),
              0u);
    const auto patterns = run(two_clusters(3));
    EXPECT_EQ(patterns.console.find("List presentation #"), std::string::npos);
    EXPECT_EQ(patterns.console.find("fails the VT"), std::string::npos);
    EXPECT_NE(patterns.console.find("   Summary: 0 new nodes created, 4 node updates\n"), std::string::npos);

    // The output level changes what is printed, never what is learnt.
    for (const auto* other : {&report, &passes, &patterns})
        for (int k = 0; k < 3; ++k)
            EXPECT_EQ(standin::values_of(other->outputs[k].get()), standin::values_of(quiet.outputs[k].get()));
}

TEST(Training, MatchTrackingMovesToABetterMatchingNodeOfTheRightLabel)
{
    const auto outcome = run(match_tracking(3));
    ASSERT_FALSE(outcome.raised);
    const std::string trace =
        "   Pattern #1 is being presented (label 1)\n"
        "   Pattern #1 created  node #1 (label 1).\n"
        "   Pattern #2 is being presented (label 1)\n"
        "   Pattern #2 updated  node #1 (label 1)\n"
        "   Pattern #3 is being presented (label 1)\n"
        "   Pattern #3 updated  node #1 (label 1)\n"
        "   Pattern #4 is being presented (label 2)\n"
        "   Pattern #4 created  node #2 (label 2).\n"
        "   Pattern #5 is being presented (label 2)\n"
        "   Pattern #5 updated  node #2 (label 2)\n"
        "   Summary: 2 new nodes created, 3 node updates\n";
    EXPECT_EQ(outcome.console.substr(0, trace.size()), trace);
    // Vigilance tests 0+1+1+1+2, one more candidate for pattern 5; the
    // match tracking that follows has a single candidate.
    EXPECT_NE(outcome.console.find(" FLOPs and 6 comparisons in "), std::string::npos);
}

TEST(Training, AnEquallyMatchingNodeIsNotEligibleAfterAMismatch)
{
    Call c;
    c.patterns = standin::column({0, 0, 0});
    c.labels = standin::column({1, 2, 2});
    c.vigilance = 0;
    c.max_list_presentations = 1;
    c.oflag = 3;
    const auto outcome = run(c);
    // Pattern 3 matches nodes 1 and 2 perfectly; node 1 wins the tie on
    // its lower index, and node 2 is no better a match, so a third node is made.
    EXPECT_NE(outcome.console.find("   Pattern #3 created  node #3 (label 2).\n"), std::string::npos);
    EXPECT_NE(outcome.console.find(" FLOPs and 4 comparisons in "), std::string::npos);
    EXPECT_EQ(standin::values_of(outcome.outputs[1].get()), (std::vector<double>{1, 2, 2}));
}

TEST(Training, VigilanceOfOneNeedsAPerfectMatch)
{
    Call c;
    c.patterns = standin::column({3, 3, 3.000001});
    c.labels = standin::column({1, 1, 1});
    c.vigilance = 1;
    c.max_list_presentations = 1;
    c.oflag = 3;
    const auto outcome = run(c);
    EXPECT_NE(outcome.console.find("   Pattern #2 updated  node #1 (label 1)\n"), std::string::npos);
    EXPECT_NE(outcome.console.find("   Pattern #3 created  node #2 (label 1).\n"), std::string::npos);
}

TEST(Training, FractionalLabelsNeverMatchAndKeepCreating)
{
    Call c;
    c.patterns = standin::column({0});
    c.labels = standin::column({2.5});
    c.max_list_presentations = 3;
    c.no_creation_flag = 1;
    c.trim_option = 1;
    c.oflag = 1;
    const auto before = tarn::flop_total;
    const auto outcome = run(c);
    // Pass 2 matches node 1 (6 + 7 flops), pass 3 nodes 1 and 2 (12 + 14);
    // comparisons 0, 1, then 2 vigilance tests and a second candidate.
    EXPECT_EQ(outcome.console,
              "\nGAM training stopped after 3 list presentations\n"
              "Maximum number of list presentations reached.\n"
              "Training set contained 1 training patterns\n"
              "2 inactive nodes trimmed (66.666667% redundacy)\n"
              "1 node created (200.000000% inflation)\n" +
                  work_line(before + 39, 4));
    const auto templates = rows_of(outcome.outputs[0]);
    ASSERT_EQ(templates.size(), 1u);
    EXPECT_DOUBLE_EQ(templates[0][2], 1.0 / 3.0);  // priors are not renormalised after trimming
    EXPECT_EQ(standin::values_of(outcome.outputs[1].get()), std::vector<double>{2});
}

TEST(Training, NotANumberLabelCountsAsEqual)
{
    Call c;
    c.patterns = standin::column({0, 0.1});
    c.labels = standin::column({1, not_a_number});
    c.max_list_presentations = 1;
    c.oflag = 3;
    const auto outcome = run(c);
    EXPECT_NE(outcome.console.find("   Pattern #2 is being presented (label 0)\n"
                                   "   Pattern #2 updated  node #1 (label 1)\n"),
              std::string::npos);
}

TEST(Training, StopRuleAndItsReportLine)
{
    auto c = two_clusters(1);
    c.no_creation_flag = 0;
    c.max_list_presentations = 3;
    auto outcome = run(c);
    EXPECT_NE(outcome.console.find("after 3 list presentations\nMaximum number of list presentations reached.\n"),
              std::string::npos);

    // The maximum and a pass without creation in the same pass: the latter is named.
    c.no_creation_flag = 1;
    c.max_list_presentations = 2;
    outcome = run(c);
    EXPECT_NE(outcome.console.find("after 2 list presentations\nNo new nodes were created"), std::string::npos);

    c.max_list_presentations = 1;
    outcome = run(c);
    EXPECT_NE(outcome.console.find("after 1 list presentation\nMaximum number of list presentations reached.\n"),
              std::string::npos);
}

TEST(Training, SingularFormsAndARatioOfExactlyZero)
{
    Call c;
    c.patterns = standin::column({0, 0, 5});
    c.labels = standin::column({1, 1, 1});
    c.vigilance = 0;
    c.max_list_presentations = 2;
    c.no_creation_flag = 0;
    c.oflag = 1;
    auto outcome = run(c);
    EXPECT_NE(outcome.console.find("0 inactive nodes detected (0.000000% redundacy)\n"
                                   "1 node created (0.000000% compression)\n"),
              std::string::npos);

    // Two labels on one point: in pass 2 node 1 wins both presentations,
    // so pattern 2 makes node 3 and node 2 stays idle.
    Call idle;
    idle.patterns = standin::column({0, 0});
    idle.labels = standin::column({1, 2});
    idle.vigilance = 0;
    idle.max_list_presentations = 2;
    idle.no_creation_flag = 0;
    idle.oflag = 1;
    outcome = run(idle);
    EXPECT_NE(outcome.console.find("1 inactive node detected (33.333333% redundacy)\n"
                                   "3 nodes created (350.000000% inflation)\n"),
              std::string::npos);
}

TEST(Training, NoPatternsTrainsNothingAndReturnsEmptyTemplates)
{
    Call c;
    c.patterns = standin::make_array(mxDOUBLE_CLASS, {0, 3});
    c.labels = standin::make_array(mxDOUBLE_CLASS, {0, 1});
    c.max_list_presentations = 4;
    c.oflag = 2;
    auto outcome = run(c);
    ASSERT_FALSE(outcome.raised) << outcome.error;
    EXPECT_EQ(standin::dims_of(outcome.outputs[0].get()), (std::vector<std::size_t>{0, 7}));
    EXPECT_EQ(standin::dims_of(outcome.outputs[1].get()), (std::vector<std::size_t>{0, 1}));
    EXPECT_EQ(standin::values_of(outcome.outputs[2].get()), std::vector<double>{1});
    EXPECT_NE(outcome.console.find("List presentation #1: 0 new nodes created, 0 node updates\n"
                                   "\nGAM training stopped after 1 list presentation\n"
                                   "No new nodes were created during the last list presentation.\n"
                                   "Training set contained 0 training patterns\n"
                                   "0 inactive nodes detected (0.000000% redundacy)\n"
                                   "0 nodes created (0.000000% compression)\n"),
              std::string::npos);

    c.no_creation_flag = 0;
    outcome = run(c);
    EXPECT_EQ(standin::values_of(outcome.outputs[2].get()), std::vector<double>{4});
    // 1 x 0 labels are accepted for no patterns too.
    c.labels = standin::make_array(mxDOUBLE_CLASS, {1, 0});
    EXPECT_FALSE(run(c).raised);
}

TEST(Training, PriorsSumToOneWithoutTrimming)
{
    Call c;
    c.patterns = standin::matrix(6, 1, {0, 1, 2, 10, 11, 30});
    c.labels = standin::column({1, 1, 2, 2, 1, 2});
    c.vigilance = 0.3;
    c.max_list_presentations = 5;
    const auto outcome = run(c);
    double sum = 0.0;
    for (const auto& row : rows_of(outcome.outputs[0]))
        sum += row[2];
    EXPECT_NEAR(sum, 1.0, 1e-12);
}

TEST(Training, WorkTotalsGrowAcrossCalls)
{
    auto c = two_clusters(1);
    const auto before = tarn::flop_total;
    const auto first = run(c);
    const auto second = run(c);
    EXPECT_NE(first.console.find(work_line(before + 306, 12)), std::string::npos);
    // The second call's figure includes the first call's work and its 2 exports.
    EXPECT_NE(second.console.find(work_line(before + 2 * 306 + 2, 12)), std::string::npos);
    EXPECT_EQ(tarn::comparison_total, 0u);
}

namespace {
int clock_reads = 0;
std::int64_t stepping_clock()
{
    return clock_reads++ == 0 ? 999 : 1001;
}
}  // namespace

TEST(Training, ElapsedSecondsCountClockBoundaries)
{
    clock_reads = 0;
    tarn::set_millisecond_clock(stepping_clock);
    const auto outcome = run(two_clusters(1));
    tarn::set_millisecond_clock(nullptr);
    EXPECT_NE(outcome.console.find(" comparisons in 1 seconds\n\n"), std::string::npos);
}
