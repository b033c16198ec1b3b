// Matching one pattern against every node, with the vigilance test and the
// choice values of the nodes that pass.
//
// Two implementations give the same bits: the straightforward one, node by
// node through node_match and node_choice, kept as the reference; and the
// fast one, which computes a block of nodes at once, keeps the pattern-free
// parts of the choice value with each node, stops summing for a node that
// can no longer pass, and takes an exponential only where a decision needs it.
#pragma once

#include <cstdint>

#include "model/category_nodes.h"

namespace tarn {

enum class KernelPath {
    reference,  // node by node, as the node operations define it
    blocks,     // blocks of nodes, portable code
    avx2,       // blocks of nodes, 256-bit vectors
    avx512,     // blocks of nodes, 512-bit vectors
};

// The path in use: at load, the widest one this CPU supports.
KernelPath kernel_path();
// Test and benchmark seam; false (and no change) when the CPU lacks it.
bool set_kernel_path(KernelPath path);
bool kernel_path_supported(KernelPath path);
const char* kernel_path_name(KernelPath path);

// Benchmark seam: whether a node may stop summing once it cannot pass
// (on by default; results are the same either way).
void set_early_exit(bool enabled);

struct ScanSettings {
    double vigilance;
    // Failing nodes need their exact match value (their trace lines print
    // it); otherwise a node may stop summing once it can no longer pass.
    bool exact_failures;
};

// Matches pattern x against every node and applies the vigilance test:
// passed[k] is 1 when match_value >= vigilance. For passing nodes
// log_match and choice_value are exact; for failing nodes log_match is
// exact when settings.exact_failures is set. match_value is not kept up to
// date by the fast paths: ask exact_match_value. Reports the work of one
// node_match per node and one node_choice per passing node. Returns the
// number of passing nodes.
int scan_nodes(CategoryNodes& nodes, const double* x, const ScanSettings& settings);

// exp(log_match) of node k, as node_match computes it.
double exact_match_value(const CategoryNodes& nodes, int k);

// The division floor of this machine: n true divisions over the data, the
// least work any exact kernel must do. For the benchmark.
double division_floor(const double* numerators, const double* denominators, std::int64_t n);

}  // namespace tarn
