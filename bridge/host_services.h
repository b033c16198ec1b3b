// What the model and the loops need from the host, without seeing it.
#pragma once

#include <cstddef>

namespace tarn {

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

}  // namespace tarn
