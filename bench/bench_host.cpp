// The host services of model/host.h for the benchmark: the C heap, standard
// output, no work counter and no interrupts.
#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "model/host.h"

namespace tarn {

void* host_calloc(std::size_t count, std::size_t size)
{
    return std::calloc(count != 0 ? count : 1, size != 0 ? size : 1);
}

void* host_realloc(void* block, std::size_t size)
{
    return std::realloc(block, size != 0 ? size : 1);
}

void host_free(void* block)
{
    std::free(block);
}

void console_printf(const char* format, ...)
{
    va_list args;
    va_start(args, format);
    std::vprintf(format, args);
    va_end(args);
}

void host_add_work(int) {}

bool host_interrupt_pending()
{
    return false;
}

std::int64_t host_clock_milliseconds()
{
    static const auto load_time = std::chrono::steady_clock::now();
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - load_time).count();
}

}  // namespace tarn
