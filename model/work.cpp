#include "model/work.h"

#include "model/host.h"

namespace tarn {

std::uint64_t flop_total = 0;
std::uint64_t comparison_total = 0;

namespace {
MillisecondClock current_clock = host_clock_milliseconds;
}

void set_millisecond_clock(MillisecondClock clock)
{
    current_clock = clock != nullptr ? clock : host_clock_milliseconds;
}

void count_work(std::uint32_t flops, std::uint32_t comparisons)
{
    flop_total += flops;
    comparison_total += comparisons;
    host_add_work(static_cast<int>(flops + comparisons));
}

void count_work_bulk(std::uint64_t flops)
{
    flop_total += flops;
    // The host's counter takes an int at a time.
    constexpr std::uint64_t step = 0x40000000;
    for (; flops > step; flops -= step)
        host_add_work(static_cast<int>(step));
    if (flops != 0)
        host_add_work(static_cast<int>(flops));
}

int clock_seconds()
{
    return static_cast<int>(current_clock() / 1000);
}

void print_work_line(std::uint64_t flops, std::uint64_t comparisons, int seconds)
{
    // The report keeps its historical "%lu" form wherever unsigned long can
    // hold the 64-bit totals; elsewhere the long long modifier prints them.
    if constexpr (sizeof(unsigned long) >= sizeof(std::uint64_t)) {
        console_printf("%lu FLOPs and %lu comparisons in %d seconds\n\n", static_cast<unsigned long>(flops),
                       static_cast<unsigned long>(comparisons), seconds);
    } else {
        console_printf("%llu FLOPs and %llu comparisons in %d seconds\n\n", static_cast<unsigned long long>(flops),
                       static_cast<unsigned long long>(comparisons), seconds);
    }
}

}  // namespace tarn
