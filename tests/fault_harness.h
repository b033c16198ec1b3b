// Shared checks of the exhausted-memory tests of both commands: running a
// call with one allocation made to fail, and comparing consoles without the
// work line (whose totals grow from call to call).
#pragma once

#include <string>

#include "model/node_memory.h"
#include "standin.h"

namespace fault_test {

// The console with every work line replaced by a marker.
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

// Allocations made by one call: host requests and node blocks.
struct Allocations {
    long host = 0;
    long node = 0;
};

enum class Allocator { host, node };

// Runs `call` with the k-th allocation of `allocator` failing, and switches
// the failure off again whether or not the call got that far.
template <typename Call>
standin::Outcome run_failing(Allocator allocator, long k, Call call)
{
    if (allocator == Allocator::host)
        standin::fail_host_allocation_at(k);
    else
        tarn::node_memory_fail_at(k);
    standin::Outcome outcome = call();
    tarn::node_memory_fail_at(0);
    standin::fail_host_allocation_at(0);
    return outcome;
}

// Runs `call` once normally and counts what it allocated.
template <typename Call>
Allocations count_allocations(Call call, standin::Outcome* outcome)
{
    const long node_before = tarn::node_memory_allocation_count();
    *outcome = call();
    return Allocations{outcome->host_allocations, tarn::node_memory_allocation_count() - node_before};
}

}  // namespace fault_test
