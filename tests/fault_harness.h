// The exhausted-memory check shared by both commands: a call is counted,
// then repeated once for every allocation it makes, host or node, with
// that allocation failing.
#pragma once

#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "model/node_memory.h"
#include "standin.h"

namespace fault_test {

// The console with every work line replaced by a marker (their totals grow
// from call to call).
inline std::string without_work_line(const std::string& console)
{
    std::string kept;
    std::size_t start = 0;
    while (start < console.size()) {
        std::size_t end = console.find('\n', start);
        end = end == std::string::npos ? console.size() : end + 1;
        const std::string line = console.substr(start, end - start);
        kept += line.find(" FLOPs and ") != std::string::npos ? std::string("<work>\n") : line;
        start = end;
    }
    return kept;
}

// Every output of a call, as values (empty for an empty slot).
inline std::vector<std::vector<double>> outputs_of(const standin::Outcome& outcome)
{
    std::vector<std::vector<double>> values;
    for (const auto& out : outcome.outputs)
        values.push_back(out ? standin::values_of(out.get()) : std::vector<double>{});
    return values;
}

// Allocations made by one call: host requests and node blocks.
struct Allocations {
    long host = 0;
    long node = 0;
};

// Counts the allocations of `invoke` (a call of the command), then makes
// each of them fail in turn: the host's by a null answer (MATLAB) and by an
// error the host raises itself (Octave), the node blocks by a null answer.
// Every failing run must end with the prepared message `out_of_memory` (or
// the host's own error), warn of nothing, write to no input, give back
// every node block and print nothing a normal call would not have printed
// up to that point; the next normal call must return exactly what the
// first did. One past the last point fails nothing, so the count is exact
// and every point was reached.
template <typename Invoke>
Allocations fail_every_allocation(Invoke invoke, const std::string& out_of_memory)
{
    const std::size_t live = tarn::node_memory_live_blocks();
    const long node_before = tarn::node_memory_allocation_count();
    const standin::Outcome reference = invoke();
    const Allocations counted{reference.host_allocations, tarn::node_memory_allocation_count() - node_before};
    EXPECT_FALSE(reference.raised) << reference.error;
    EXPECT_EQ(tarn::node_memory_live_blocks(), live);
    if (reference.raised)
        return counted;
    const std::string reference_console = without_work_line(reference.console);

    enum Failure { host_null, host_raises, node_null };
    for (const Failure failure : {host_null, host_raises, node_null}) {
        const bool host = failure != node_null;
        const long points = host ? counted.host : counted.node;
        const char* const names[] = {"host (null)", "host (raised)", "node"};
        for (long k = 1; k <= points + 1; ++k) {
            SCOPED_TRACE(std::string(names[failure]) + " allocation " + std::to_string(k) + " of " +
                         std::to_string(points));
            if (host)
                standin::fail_host_allocation_at(
                    k, failure == host_raises ? standin::HostFailure::raised_error : standin::HostFailure::null_answer);
            else
                tarn::node_memory_fail_at(k);
            const standin::Outcome failed = invoke();
            tarn::node_memory_fail_at(0);
            standin::fail_host_allocation_at(0);
            if (k > points) {
                EXPECT_FALSE(failed.raised) << failed.error;
                EXPECT_EQ(outputs_of(failed), outputs_of(reference));
                continue;
            }
            EXPECT_TRUE(failed.raised);
            EXPECT_EQ(failed.error, failure == host_raises ? standin::host_allocation_error : out_of_memory);
            EXPECT_TRUE(failed.warnings.empty());
            EXPECT_TRUE(failed.inputs_unchanged);
            EXPECT_EQ(tarn::node_memory_live_blocks(), live);
            const std::string printed = without_work_line(failed.console);
            EXPECT_EQ(reference_console.compare(0, printed.size(), printed), 0) << printed;

            const standin::Outcome again = invoke();
            EXPECT_FALSE(again.raised) << again.error;
            EXPECT_EQ(outputs_of(again), outputs_of(reference));
            EXPECT_EQ(without_work_line(again.console), reference_console);
        }
    }
    return counted;
}

}  // namespace fault_test
