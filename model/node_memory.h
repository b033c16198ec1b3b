// The one allocator behind category nodes and their vectors (process heap).
#pragma once

#include <cstddef>

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

}  // namespace tarn
