#include "model/node_memory.h"

#include <cstdlib>

namespace tarn {

namespace {
std::size_t live_blocks = 0;
long failure_countdown = 0;
long allocation_count = 0;
}  // namespace

void* node_memory_allocate(std::size_t bytes)
{
    ++allocation_count;
    if (failure_countdown > 0 && --failure_countdown == 0)
        return nullptr;
    // A zero-byte request still yields a distinct block.
    void* block = std::malloc(bytes != 0 ? bytes : 1);
    if (block != nullptr)
        ++live_blocks;
    return block;
}

void node_memory_release(void* block)
{
    if (block == nullptr)
        return;
    --live_blocks;
    std::free(block);
}

std::size_t node_memory_live_blocks()
{
    return live_blocks;
}

void node_memory_fail_at(long countdown)
{
    failure_countdown = countdown > 0 ? countdown : 0;
}

long node_memory_allocation_count()
{
    return allocation_count;
}

}  // namespace tarn
