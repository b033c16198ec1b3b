// Work and time accounting shared by the node operations and both loops.
#pragma once

#include <cstdint>

#include "model/host.h"

namespace tarn {

// Process-wide totals of this plug-in: zero at load, never reset. They are
// 64-bit so that a long-lived session never sees them wrap.
extern std::uint64_t flop_total;
extern std::uint64_t comparison_total;

// Adds to the totals and passes flops + comparisons to the host's work
// counter. Only the node operations call it.
void count_work(std::uint32_t flops, std::uint32_t comparisons);

// The same for the work of many node operations at once: the totals grow
// exactly as by one count_work per operation.
void count_work_bulk(std::uint64_t flops);

// Work between two questions to the host about an interrupt within one
// pattern, in node-features or label comparisons: about a millisecond.
constexpr std::int64_t work_between_polls = std::int64_t{1} << 20;

// Asks the host about an interrupt once per work_between_polls of work.
class InterruptPoll {
public:
    // Whether the host asks to stop, after `work` more units of work.
    bool pending(std::int64_t work)
    {
        since_last += work;
        if (since_last < work_between_polls)
            return false;
        since_last = 0;
        return host_interrupt_pending();
    }

private:
    std::int64_t since_last = 0;
};

// Whole seconds of the millisecond clock that starts when the plug-in loads.
int clock_seconds();

// The closing line of both reports.
void print_work_line(std::uint64_t flops, std::uint64_t comparisons, int seconds);

// Test seam: replaces the millisecond clock (null restores the real one).
using MillisecondClock = std::int64_t (*)();
void set_millisecond_clock(MillisecondClock clock);

}  // namespace tarn
