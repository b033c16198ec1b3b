// The matching paths, in one table. The commands run whichever path is
// current; tests and the benchmark read the table to pick, compare and
// name paths. Only match_kernel.cpp, the tests and the benchmark include
// this header.
#pragma once

#include <cstddef>
#include <cstdint>
#include <vector>

#include "model/category_nodes.h"

namespace tarn {

struct ClassSums;  // model/match_kernel.h

// log_match of every node of blocks [first, end) for pattern x. A block
// stops summing once each of its nodes has a partial sum above `bound`;
// block_open[b] is 1 when one of its log_match values is at least
// `open_from` or not a number.
using BlockMatcher = void (*)(const NodeBlocks& nodes, int first, int end, const double* x, double bound,
                              double open_from, double* log_match, std::uint8_t* block_open);

// What a scan that prunes is after, and its work: the winner so far, or,
// with class sums, each class's running sum and its floor.
struct PruneState {
    double best;             // the largest choice value found so far
    int best_node;           // its node (the lower index on ties); -1 while none
    std::uint64_t computed;  // node-features summed
    ClassSums* sums;         // null: the winner is sought
    bool exact_all;          // nothing may stop: every value exact
    // Whether only one group in `sparse_every` is looked at (a model where
    // little stops); and, as results, groups looked at and groups stopped.
    bool sparse;
    std::uint64_t looked;
    std::uint64_t stopped;
};
constexpr int sparse_every = 16;

// Blocks [first, end), all of prunable nodes (NodeBlocks::flags), against
// a finite pattern x. Each group of lane_width nodes sums its features in
// order and stops once every one of its choice values, computed from its
// partial sum, is below its target: state.best (such a node cannot win),
// or the floor of the node's class (its exp() cannot change the class's
// sum). Sums of squares only grow, so the partial value bounds the full
// one. Writes -1/2 the partial sum as log_match and 0 in exact for the
// nodes of a group that stopped; for the others the exact log_match and
// choice value and 1 in exact, and takes the best of them or adds their
// exp() to their classes' sums, in node order.
using BlockPruner = void (*)(const NodeBlocks& nodes, int first, int end, const double* x, double log_presentations,
                             double* log_match, double* choice, std::uint8_t* exact, PruneState& state);

struct KernelPath {
    const char* name;
    bool (*cpu_supports)();
    BlockMatcher matcher;  // null: node by node through node_match and node_choice, the reference
    int lane_width;        // doubles per vector operation
    BlockPruner pruner;    // null: every node summed in full
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

// Benchmark seam: whether scans that need only the winner may stop summing
// a node that cannot win (on by default; off is the kernel as it was
// before pruning; results are the same either way).
void set_pruning(bool enabled);

// Benchmark and test seam: the cache size that decides when a model is
// scanned a tile of patterns at a time, and how many blocks a tile takes
// per run; 0 scans pattern by pattern, ~0 restores the system's level-2
// cache (results are the same either way). A size set here tiles models
// of any number of features.
void set_tile_cache(std::size_t bytes);

// Node-features of every scan since the plug-in was loaded: how many the
// scans covered, and how many they summed.
struct KernelCounts {
    std::uint64_t scanned;
    std::uint64_t computed;
};
KernelCounts kernel_counts();

}  // namespace tarn
