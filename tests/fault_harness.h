// Exhausted memory and interrupts, shared by both commands: a call is
// counted, then repeated once for every allocation it makes, host or node,
// with that allocation failing, and once for every interrupt poll it makes,
// with the interrupt arriving there.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "harness.h"

namespace fault_test {

// What one call made: host and node allocations, interrupt polls.
struct Counts {
    long host = 0;
    long node = 0;
    long polls = 0;
};

// Each failing run must end as the injection says (harness::violation),
// print nothing a normal call would not have printed up to that point, and
// leave the command giving exactly what the first call gave. One past the
// last point injects nothing, so the count is exact and every point was
// reached.
inline void expect_each_point_fails_cleanly(const harness::Command& command, int nlhs,
                                            const std::vector<harness::ArrayPtr>& inputs,
                                            const harness::Result& reference, harness::Injection::Kind kind,
                                            long points)
{
    const std::string reference_console = harness::without_work_lines(reference.console);
    for (long k = 1; k <= points + 1; ++k) {
        SCOPED_TRACE("injection " + std::to_string(kind) + " at " + std::to_string(k) + " of " +
                     std::to_string(points));
        const harness::Injection injected{kind, k};
        const harness::Result failed = harness::call(command, nlhs, inputs, injected);
        EXPECT_EQ(harness::violation(command, failed, injected), "");
        if (k > points) {
            EXPECT_FALSE(failed.raised) << failed.error;
            EXPECT_EQ(harness::outputs_of(failed), harness::outputs_of(reference));
            continue;
        }
        EXPECT_TRUE(failed.raised);
        const std::string printed = harness::without_work_lines(failed.console);
        EXPECT_EQ(reference_console.compare(0, printed.size(), printed), 0) << printed;

        const harness::Result again = harness::call(command, nlhs, inputs);
        EXPECT_FALSE(again.raised) << again.error;
        EXPECT_EQ(harness::outputs_of(again), harness::outputs_of(reference));
        EXPECT_EQ(harness::without_work_lines(again.console), reference_console);
    }
}

// Counts the allocations and polls of the call, then makes each allocation
// fail in turn (the host's by a null answer and by an error the host
// raises, the node blocks by a null answer) and the interrupt arrive at
// each poll.
inline Counts fail_every_point(const harness::Command& command, int nlhs, const std::vector<harness::ArrayPtr>& inputs)
{
    const harness::Result reference = harness::call(command, nlhs, inputs);
    EXPECT_FALSE(reference.raised) << reference.error;
    EXPECT_EQ(harness::violation(command, reference), "");
    const Counts counted{reference.host_allocations, reference.node_allocations, reference.interrupt_polls};
    if (reference.raised)
        return counted;
    using harness::Injection;
    expect_each_point_fails_cleanly(command, nlhs, inputs, reference, Injection::host_null, counted.host);
    expect_each_point_fails_cleanly(command, nlhs, inputs, reference, Injection::host_raises, counted.host);
    expect_each_point_fails_cleanly(command, nlhs, inputs, reference, Injection::node, counted.node);
    expect_each_point_fails_cleanly(command, nlhs, inputs, reference, Injection::interrupt, counted.polls);
    return counted;
}

}  // namespace fault_test
