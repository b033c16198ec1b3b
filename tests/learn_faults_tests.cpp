// tarn_learn when memory runs out: every allocation of a representative
// training call, host or node, is made to fail in turn.
#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

#include "fault_harness.h"
#include "learn_harness.h"

using fault_test::Allocator;
using learn_test::Call;
using learn_test::run;

namespace {

const std::string out_of_memory = "TARN_LEARN: Not enough memory available; unable to run!";

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

std::vector<std::vector<double>> outputs_of(const standin::Outcome& outcome)
{
    std::vector<std::vector<double>> values;
    for (const auto& out : outcome.outputs)
        values.push_back(out ? standin::values_of(out.get()) : std::vector<double>{});
    return values;
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

// Each run with one failing allocation ends with the prepared message,
// prints nothing a normal call would not have printed up to that point,
// writes to no input and gives back every node block; the next normal call
// returns exactly what the first one did.
TEST(LearnFaults, EveryAllocationPointFailsOnceAndTheCommandStaysUsable)
{
    const Call call = conflicting_clusters();
    auto invoke = [&] { return run(call); };
    standin::Outcome reference;
    const std::size_t live = tarn::node_memory_live_blocks();
    const auto counted = fault_test::count_allocations(invoke, &reference);
    ASSERT_FALSE(reference.raised) << reference.error;
    ASSERT_EQ(tarn::node_memory_live_blocks(), live);
    ASSERT_GT(counted.host, 0);
    ASSERT_GT(counted.node, 0);
    const std::string reference_console = fault_test::without_work_line(reference.console);
    std::cout << "[ figures  ] tarn_learn allocation points: " << counted.host << " host, " << counted.node
              << " node\n";

    for (Allocator allocator : {Allocator::host, Allocator::node}) {
        const long points = allocator == Allocator::host ? counted.host : counted.node;
        const char* name = allocator == Allocator::host ? "host" : "node";
        for (long k = 1; k <= points; ++k) {
            SCOPED_TRACE(std::string(name) + " allocation " + std::to_string(k) + " of " + std::to_string(points));
            const auto failed = fault_test::run_failing(allocator, k, invoke);
            ASSERT_TRUE(failed.raised);
            EXPECT_EQ(failed.error, out_of_memory);
            EXPECT_TRUE(failed.warnings.empty());
            EXPECT_TRUE(failed.inputs_unchanged);
            EXPECT_EQ(tarn::node_memory_live_blocks(), live);
            const std::string printed = fault_test::without_work_line(failed.console);
            EXPECT_EQ(reference_console.compare(0, printed.size(), printed), 0) << printed;

            const auto again = run(call);
            ASSERT_FALSE(again.raised) << again.error;
            EXPECT_EQ(outputs_of(again), outputs_of(reference));
            EXPECT_EQ(fault_test::without_work_line(again.console), reference_console);
        }
        // One past the last point fails nothing: the count above is exact,
        // so every point was reached.
        const auto beyond = fault_test::run_failing(allocator, points + 1, invoke);
        EXPECT_FALSE(beyond.raised) << name << ": " << beyond.error;
        EXPECT_EQ(outputs_of(beyond), outputs_of(reference));
    }
}

// The same for a call that trains on nothing: its empty conversions and
// exports must not mistake a failure for an empty result, nor the reverse.
TEST(LearnFaults, AnEmptyTrainingSetFailsCleanlyToo)
{
    Call call;
    call.patterns = standin::make_array(mxDOUBLE_CLASS, {0, 3});
    call.labels = standin::make_array(mxDOUBLE_CLASS, {0, 1});
    call.oflag = 1;
    auto invoke = [&] { return run(call); };
    standin::Outcome reference;
    const auto counted = fault_test::count_allocations(invoke, &reference);
    ASSERT_FALSE(reference.raised) << reference.error;
    EXPECT_EQ(standin::dims_of(reference.outputs[0].get()), (std::vector<std::size_t>{0, 7}));
    for (long k = 1; k <= counted.host; ++k) {
        SCOPED_TRACE("host allocation " + std::to_string(k));
        const auto failed = fault_test::run_failing(Allocator::host, k, invoke);
        EXPECT_TRUE(failed.raised);
        EXPECT_EQ(failed.error, out_of_memory);
        EXPECT_EQ(outputs_of(run(call)), outputs_of(reference));
    }
    for (long k = 1; k <= counted.node; ++k) {
        SCOPED_TRACE("node allocation " + std::to_string(k));
        const auto failed = fault_test::run_failing(Allocator::node, k, invoke);
        EXPECT_TRUE(failed.raised);
        EXPECT_EQ(failed.error, out_of_memory);
    }
}
