// The matching paths, in one table. The commands run whichever path is
// current; tests and the benchmark read the table to pick, compare and
// name paths. Only match_kernel.cpp, the tests and the benchmark include
// this header.
#pragma once

#include <cstdint>
#include <vector>

#include "model/category_nodes.h"

namespace tarn {

// log_match of every node of blocks [first, end) for pattern x. A block
// stops summing once each of its nodes has a partial sum above `bound`;
// block_open[b] is 1 when one of its log_match values is at least
// `open_from` or not a number.
using BlockMatcher = void (*)(const NodeBlocks& nodes, int first, int end, const double* x, double bound,
                              double open_from, double* log_match, std::uint8_t* block_open);

struct KernelPath {
    const char* name;
    bool (*cpu_supports)();
    BlockMatcher matcher;  // null: node by node through node_match and node_choice, the reference
    int lane_width;        // doubles per vector operation
};

// Every path this build has: the reference first, then the block kernels
// from the narrowest vectors to the widest.
const std::vector<KernelPath>& kernel_paths();

// The path in use: until set, the widest one this CPU supports.
const KernelPath& kernel_path();
// Switches to the path of that name; false (and no change) when there is
// none or the CPU lacks it.
bool set_kernel_path(const char* name);

// Benchmark seam: whether a node may stop summing once it cannot pass (on
// by default; results are the same either way).
void set_early_exit(bool enabled);

}  // namespace tarn
