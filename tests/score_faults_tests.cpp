// tarn_score when memory runs out or the user interrupts: every allocation
// of a representative classification call, host or node, under both
// decision rules, is made to fail in turn, and an interrupt arrives at
// each of its polls.
#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

#include "fault_harness.h"
#include "kernel_path.h"
#include "score_harness.h"

using score_test::labels_of;
using score_test::run;
using standin::ArrayPtr;
using standin::Outcome;

namespace {

// Twelve nodes of two features in four labels (so the nodes fill more than
// one block of any grouping, and the label table grows four times), and
// six patterns: five near a node, one far from all of them.
std::vector<ArrayPtr> representative_inputs(double decision_option)
{
    std::vector<double> rows;
    std::vector<double> labels;
    for (int j = 0; j < 12; ++j) {
        const double centre = 10.0 * j;
        rows.insert(rows.end(), {centre, -centre, 1.0 + 0.1 * j, 1.5, 1.0 / 12});
        labels.push_back(1 + j % 4);
    }
    return {standin::matrix(12, 5, rows),
            standin::column(labels),
            standin::scalar(0.25),
            standin::matrix(6, 2, {0.2, 0.1, 30.5, -29.0, 59.0, -61.0, 110.0, -110.0, 1000.0, 1000.0, 70.0, -70.5}),
            standin::scalar(-1),
            standin::scalar(decision_option),
            standin::scalar(3)};
}

}  // namespace

TEST(ScoreFaults, TheRepresentativeCallsDecideAndLeaveOnePatternUnclassified)
{
    for (double rule : {0.0, 1.0}) {
        SCOPED_TRACE(rule);
        const Outcome outcome = run(representative_inputs(rule));
        ASSERT_FALSE(outcome.raised) << outcome.error;
        EXPECT_EQ(labels_of(outcome), (std::vector<double>{1, 4, 3, 4, -1, 4}));
        EXPECT_NE(outcome.console.find("Pattern #5 could not be classified"), std::string::npos);
    }
}

// Each allocation of the call fails once and an interrupt arrives at each
// poll (fault_harness.h): the command ends with the prepared message,
// releases everything and stays usable.
TEST(ScoreFaults, EveryAllocationPointFailsOnceUnderBothRulesAndTheCommandStaysUsable)
{
    for (double rule : {0.0, 1.0}) {
        SCOPED_TRACE("decision_option " + std::to_string(rule));
        const auto inputs = representative_inputs(rule);
        const auto counted = fault_test::fail_every_point(score_test::command, 1, inputs);
        EXPECT_GT(counted.host, 0);
        EXPECT_GT(counted.node, 0);
        EXPECT_GE(counted.polls, 6);  // at least one per pattern
        std::cout << "[ figures  ] tarn_score rule " << rule << " allocation points: " << counted.host << " host, "
                  << counted.node << " node; " << counted.polls << " interrupt polls\n";
    }
    // At vigilance 0, without the trace, in tiles of patterns: nodes left
    // out, scans and sums of a whole tile held at once.
    const ScopedTileCache cache(256);
    for (double rule : {0.0, 1.0}) {
        auto inputs = representative_inputs(rule);
        inputs[2] = standin::scalar(0);
        inputs[6] = standin::scalar(2);
        fault_test::fail_every_point(score_test::command, 1, inputs);
    }
}

// No templates and no patterns: the empty conversions and the empty result
// still come from the allocators, and a failure there is still a failure.
TEST(ScoreFaults, EmptyTemplatesAndPatternsFailCleanlyToo)
{
    for (double rule : {0.0, 1.0}) {
        SCOPED_TRACE(rule);
        std::vector<ArrayPtr> inputs = representative_inputs(rule);
        inputs[0] = standin::make_array(mxDOUBLE_CLASS, {0, 5});
        inputs[1] = standin::make_array(mxDOUBLE_CLASS, {0, 1});
        inputs[3] = standin::make_array(mxDOUBLE_CLASS, {0, 2});
        fault_test::fail_every_point(score_test::command, 1, inputs);
    }
}
