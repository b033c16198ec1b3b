// tarn_learn when memory runs out or the user interrupts: every allocation
// of a representative training call, host or node, is made to fail in
// turn, and an interrupt arrives at each of its polls.
#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

#include "fault_harness.h"
#include "learn_harness.h"

using learn_test::Call;
using learn_test::run;

namespace {

// Six clusters of two features, far apart, of three identical patterns
// each: the first and third carry one label, the second another. In every
// pass the first node of a cluster wins the second pattern too, so match
// tracking finds nothing better and one more node is created there: the
// training runs all its passes, the node count crosses several growth
// steps, and the nodes made for the second label before the last pass are
// inactive in it and trimmed.
Call conflicting_clusters()
{
    std::vector<double> rows;
    std::vector<double> labels;
    for (int c = 0; c < 6; ++c) {
        const double x = 100.0 * c;
        const double y = -50.0 * c;
        rows.insert(rows.end(), {x, y, x, y, x, y});
        labels.insert(labels.end(), {1.0 + c, 11.0 + c, 1.0 + c});
    }
    Call c;
    c.patterns = standin::matrix(labels.size(), 2, rows);
    c.labels = standin::column(labels);
    c.vigilance = 0.0;
    c.gamma = 1.0;
    c.max_list_presentations = 3;
    c.no_creation_flag = 1;
    c.trim_option = 1;
    c.oflag = 4;
    return c;
}

}  // namespace

// The call counted here is the one every failure below is injected into:
// it has to do all the things that allocate.
TEST(LearnFaults, TheRepresentativeCallTrainsSeveralPassesAndTrims)
{
    const auto outcome = run(conflicting_clusters());
    ASSERT_FALSE(outcome.raised) << outcome.error;
    EXPECT_EQ(standin::values_of(outcome.outputs[2].get()), std::vector<double>{3});
    // Per cluster: two nodes in pass 1, one more in each later pass; the
    // second-label nodes of passes 1 and 2 are inactive in pass 3.
    EXPECT_NE(outcome.console.find("12 inactive nodes trimmed"), std::string::npos);
    EXPECT_EQ(standin::dims_of(outcome.outputs[0].get()), (std::vector<std::size_t>{12, 5}));
    EXPECT_NE(outcome.console.find("List presentation #3:"), std::string::npos);
}

// Each allocation of the call fails once and an interrupt arrives at each
// poll (fault_harness.h): the command ends with the prepared message,
// releases everything and stays usable.
TEST(LearnFaults, EveryAllocationPointFailsOnceAndTheCommandStaysUsable)
{
    const Call call = conflicting_clusters();
    const auto counted = fault_test::fail_every_point(learn_test::command, call.nlhs, call.inputs());
    EXPECT_GT(counted.host, 0);
    EXPECT_GT(counted.node, 0);
    EXPECT_GE(counted.polls, 18);  // at least one per presentation
    std::cout << "[ figures  ] tarn_learn allocation points: " << counted.host << " host, " << counted.node << " node; "
              << counted.polls << " interrupt polls\n";
}

// The same for a call that trains on nothing: its empty conversions and
// exports must not mistake a failure for an empty result, nor the reverse.
TEST(LearnFaults, AnEmptyTrainingSetFailsCleanlyToo)
{
    Call call;
    call.patterns = standin::make_array(mxDOUBLE_CLASS, {0, 3});
    call.labels = standin::make_array(mxDOUBLE_CLASS, {0, 1});
    call.oflag = 1;
    fault_test::fail_every_point(learn_test::command, call.nlhs, call.inputs());
}
