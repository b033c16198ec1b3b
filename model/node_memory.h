// The one allocator behind category nodes, their vectors and the scans.
#pragma once

#include <cstddef>
#include <cstdint>
#include <cstring>

namespace tarn {

// Null when the heap is exhausted (or when a test has asked for a failure).
void* node_memory_allocate(std::size_t bytes);
void node_memory_release(void* block);

// Blocks handed out and not yet released.
std::size_t node_memory_live_blocks();

// Test seam: the allocation `countdown` calls from now (1 = the next one)
// fails; 0 switches failures off. Allocations are counted either way.
void node_memory_fail_at(long countdown);
long node_memory_allocation_count();

// One array of `count` elements for allocate_counted.
template <typename T>
struct Counted {
    std::size_t count;
    T*& array;
};

// One zero-filled block of node memory holding each array given, each on a
// cache line of its own: the list is the whole layout. Returns the block to
// release, or null (pointers untouched) when memory ran out.
template <typename... T>
void* allocate_counted(Counted<T>... arrays)
{
    constexpr std::size_t line = 64;
    const std::size_t sizes[] = {(arrays.count * sizeof(T) + line - 1) / line * line...};
    std::size_t bytes = line;
    for (std::size_t size : sizes)
        bytes += size;
    void* block = node_memory_allocate(bytes);
    if (block == nullptr)
        return nullptr;
    std::memset(block, 0, bytes);
    auto at = (reinterpret_cast<std::uintptr_t>(block) + line - 1) & ~static_cast<std::uintptr_t>(line - 1);
    const std::size_t* size = sizes;
    ((arrays.array = reinterpret_cast<T*>(at), at += *size++), ...);
    return block;
}

// The same with `count` elements in every array.
template <typename... T>
void* allocate_arrays(std::size_t count, T*&... arrays)
{
    return allocate_counted(Counted<T>{count, arrays}...);
}

}  // namespace tarn
