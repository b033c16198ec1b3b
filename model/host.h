// The services the core (nodes, kernels, loops) needs from whatever hosts
// it. The core declares them here and never sees the host itself: the
// plug-ins implement them in bridge/ over the MEX interface, and the tests
// through the same bridge over the stand-in host.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarn {

// How a run of a loop ended. Whatever the ending, the loop has released
// every node and scratch block of its own by the time it returns.
enum class RunStatus {
    done,
    out_of_memory,  // an allocation failed
    interrupted,    // the user asked the host to stop the call
};

// Host allocator. A request for zero bytes yields a valid block, so empty
// arrays never look like exhausted memory. Null means the host is out of it.
void* host_calloc(std::size_t count, std::size_t size);
// Grows a host block (or makes one from null); null on failure, in which
// case the old block is untouched.
void* host_realloc(void* block, std::size_t size);
void host_free(void* block);

// The console sink: printf-style text on the host's console.
void console_printf(const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 1, 2)))
#endif
    ;

// The host's work counter.
void host_add_work(int count);

// A millisecond clock whose zero is the moment the plug-in was loaded.
std::int64_t host_clock_milliseconds();

// Whether the user has asked the host to stop the running call (Ctrl-C,
// SIGTERM). Cheap enough to ask between patterns; the loops ask at least
// every few milliseconds of work and then end with RunStatus::interrupted.
bool host_interrupt_pending();

}  // namespace tarn
