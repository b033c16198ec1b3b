// tarn_score when memory runs out: every allocation of a representative
// classification call, host or node, under both decision rules, is made to
// fail in turn.
#include <gtest/gtest.h>

#include <iostream>
#include <string>
#include <vector>

#include "fault_harness.h"

using fault_test::Allocator;
using standin::ArrayPtr;
using standin::Outcome;

namespace {

const std::string out_of_memory = "TARN_SCORE: Not enough memory available; unable to run!";

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

Outcome run(const std::vector<ArrayPtr>& inputs)
{
    return standin::call(mexFunction, 1, inputs);
}

std::vector<double> labels_of(const Outcome& outcome)
{
    return outcome.outputs.at(0) ? standin::values_of(outcome.outputs[0].get()) : std::vector<double>{};
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

// Each run with one failing allocation ends with the prepared message,
// prints nothing a normal call would not have printed up to that point,
// writes to no input and gives back every node block; the next normal call
// returns exactly what the first one did.
TEST(ScoreFaults, EveryAllocationPointFailsOnceUnderBothRulesAndTheCommandStaysUsable)
{
    for (double rule : {0.0, 1.0}) {
        SCOPED_TRACE("decision_option " + std::to_string(rule));
        const auto inputs = representative_inputs(rule);
        auto invoke = [&] { return run(inputs); };
        Outcome reference;
        const std::size_t live = tarn::node_memory_live_blocks();
        const auto counted = fault_test::count_allocations(invoke, &reference);
        ASSERT_FALSE(reference.raised) << reference.error;
        ASSERT_EQ(tarn::node_memory_live_blocks(), live);
        ASSERT_GT(counted.host, 0);
        ASSERT_GT(counted.node, 0);
        const std::string reference_console = fault_test::without_work_line(reference.console);
        std::cout << "[ figures  ] tarn_score rule " << rule << " allocation points: " << counted.host << " host, "
                  << counted.node << " node\n";

        for (Allocator allocator : {Allocator::host, Allocator::node}) {
            const long points = allocator == Allocator::host ? counted.host : counted.node;
            const char* name = allocator == Allocator::host ? "host" : "node";
            for (long k = 1; k <= points; ++k) {
                SCOPED_TRACE(std::string(name) + " allocation " + std::to_string(k) + " of " +
                             std::to_string(points));
                const Outcome failed = fault_test::run_failing(allocator, k, invoke);
                ASSERT_TRUE(failed.raised);
                EXPECT_EQ(failed.error, out_of_memory);
                EXPECT_TRUE(failed.warnings.empty());
                EXPECT_TRUE(failed.inputs_unchanged);
                EXPECT_EQ(tarn::node_memory_live_blocks(), live);
                const std::string printed = fault_test::without_work_line(failed.console);
                EXPECT_EQ(reference_console.compare(0, printed.size(), printed), 0) << printed;

                const Outcome again = run(inputs);
                ASSERT_FALSE(again.raised) << again.error;
                EXPECT_EQ(labels_of(again), labels_of(reference));
                EXPECT_EQ(fault_test::without_work_line(again.console), reference_console);
            }
            const Outcome beyond = fault_test::run_failing(allocator, points + 1, invoke);
            EXPECT_FALSE(beyond.raised) << name << ": " << beyond.error;
            EXPECT_EQ(labels_of(beyond), labels_of(reference));
        }
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
        auto invoke = [&] { return run(inputs); };
        Outcome reference;
        const auto counted = fault_test::count_allocations(invoke, &reference);
        ASSERT_FALSE(reference.raised) << reference.error;
        EXPECT_EQ(standin::dims_of(reference.outputs[0].get()), (std::vector<std::size_t>{0, 1}));
        for (Allocator allocator : {Allocator::host, Allocator::node}) {
            const long points = allocator == Allocator::host ? counted.host : counted.node;
            for (long k = 1; k <= points; ++k) {
                SCOPED_TRACE(k);
                const Outcome failed = fault_test::run_failing(allocator, k, invoke);
                EXPECT_TRUE(failed.raised);
                EXPECT_EQ(failed.error, out_of_memory);
                EXPECT_TRUE(run(inputs).outputs.at(0) != nullptr);
            }
        }
    }
}
