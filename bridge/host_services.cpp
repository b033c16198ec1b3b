#include "model/host.h"

#include <chrono>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>

#include "bridge/mex_api.h"

// Neither Octave nor current MATLAB releases provide the work counter; where
// the host lacks it the plug-in keeps its own count.
#if !defined(TARN_HOST_HAS_ADD_FLOPS)
namespace {
unsigned long long plugin_flop_count = 0;
}
extern "C" void mexAddFlops(int count);
extern "C" void mexAddFlops(int count)
{
    plugin_flop_count += static_cast<unsigned int>(count);
}
#endif

namespace tarn {

void* host_calloc(std::size_t count, std::size_t size)
{
    if (count == 0 || size == 0)
        return mxCalloc(1, size != 0 ? size : 1);
    return mxCalloc(count, size);
}

void* host_realloc(void* block, std::size_t size)
{
    if (block == nullptr)
        return host_calloc(1, size);
    return mxRealloc(block, size != 0 ? size : 1);
}

void host_free(void* block)
{
    if (block != nullptr)
        mxFree(block);
}

void console_printf(const char* format, ...)
{
    char line[1024];
    va_list args;
    va_start(args, format);
    va_list again;
    va_copy(again, args);
    const int length = std::vsnprintf(line, sizeof line, format, args);
    va_end(args);
    if (length < 0) {
        va_end(again);
        return;
    }
    if (static_cast<std::size_t>(length) < sizeof line) {
        va_end(again);
        mexPrintf("%s", line);
        return;
    }
    // Very large numbers printed with %f can outgrow the line buffer.
    char* long_line = static_cast<char*>(std::malloc(static_cast<std::size_t>(length) + 1));
    if (long_line != nullptr) {
        std::vsnprintf(long_line, static_cast<std::size_t>(length) + 1, format, again);
        mexPrintf("%s", long_line);
        std::free(long_line);
    } else {
        mexPrintf("%s", line);
    }
    va_end(again);
}

void host_add_work(int count)
{
    mexAddFlops(count);
}

namespace {
// Taken when the plug-in's static data is initialised, i.e. at load.
const std::chrono::steady_clock::time_point load_time = std::chrono::steady_clock::now();
}  // namespace

std::int64_t host_clock_milliseconds()
{
    return std::chrono::duration_cast<std::chrono::milliseconds>(std::chrono::steady_clock::now() - load_time).count();
}

bool host_interrupt_pending()
{
#if defined(HAVE_OCTAVE)
    // Ctrl-C counts itself in octave_interrupt_state as it arrives. Other
    // signals wait in octave_signal_caught until Octave handles them, which
    // ends the process for SIGTERM and leaves the call alone for the rest;
    // a Ctrl-C that comes meanwhile is thrown from there.
    if (octave_interrupt_state > 0)
        return true;
    if (octave_signal_caught == 0)
        return false;
    try {
        octave_quit();
    } catch (const octave::interrupt_exception&) {
        return true;
    }
    return octave_interrupt_state > 0;
#else
    return utIsInterruptPending();
#endif
}

}  // namespace tarn
