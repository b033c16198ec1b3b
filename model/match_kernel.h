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
#include "model/host.h"

namespace tarn {

// Rule 1's sums: exp(choice value) of every passing node added to the
// sum of its class, in node order, as the classification loop adds them.
struct ClassSums {
    const std::int32_t* node_class;  // per node: its class, from 0
    double* sum;                     // per class: the sum (the scan's result)
    double* floor;                   // per class: scratch of the scan
    int classes;
};

// The choice value below which exp() cannot change a running sum: exp()
// of every value below it is under half an ulp of `sum` (or is exactly 0
// when `sum` is 0 or subnormal); -infinity when `sum` is not a number.
double sum_floor(double sum);

struct ScanSettings {
    double vigilance;
    // Failing nodes need their exact match value (their trace lines print
    // it); otherwise a node may stop summing once it can no longer pass.
    bool exact_failures;
    // Only the winner (or the sums), the passing nodes and the work are
    // read: at a vigilance of 0 or less, a node may stop summing once it
    // cannot win (or cannot change its class's sum).
    bool winner_only = false;
    // When set, the scan also fills these sums.
    ClassSums* sums = nullptr;
    // With winner_only: every passing node's values exact all the same, by
    // the pruning scan's way of computing them (no node is left out).
    bool exact_values = false;
};

// Whether scan_nodes leaves out what cannot change its result for pattern
// x: a winner_only scan at a vigilance of 0 or less on a path that prunes,
// of a finite pattern. Otherwise it scans every node in full.
bool scan_prunes(const CategoryNodes& nodes, const double* x, const ScanSettings& settings);

// What the latest scan found for each node. The loop owns one and hands it
// to every scan, which grows it with the nodes.
class NodeScan {
public:
    NodeScan() = default;
    ~NodeScan();
    NodeScan(const NodeScan&) = delete;
    NodeScan& operator=(const NodeScan&) = delete;

    // Whether node k passed the vigilance test: match_value >= vigilance.
    bool passed(int k) const { return passed_[k] != 0; }
    // Whether the values of node k below are exact. Always, unless the scan
    // was winner_only: a node that could not win may then have stopped
    // summing, its log_match only a bound from above.
    bool exact(int k) const { return exact_[k] != 0; }
    // Exact for passing nodes, and for failing ones under exact_failures.
    double log_match(int k) const { return log_match_[k]; }
    // exp(log_match) as node_match gives it, wherever log_match is exact.
    double match_value(int k) const;
    // The choice value of a passing node.
    double choice_value(int k) const { return choice_value_[k]; }
    // The winner by choice value among the passing nodes as the loops pick
    // it (the first passing node, replaced only by a strictly larger
    // choice value), -1 when no node passed; and how many passed.
    int winner() const { return winner_; }
    int passing() const { return passing_; }

private:
    friend class PatternScan;
    friend void complete_rivals(const CategoryNodes&, const double*, int, NodeScan&);
    friend void count_scan_work(NodeScan&);
    bool cover(int nodes);

    int capacity = 0;
    int scanned = 0;  // nodes of the latest scan
    // The block paths leave match values to be computed when first read;
    // below 0 marks one not computed yet (a match value never is).
    mutable bool match_values_marked = true;
    void* block = nullptr;
    double* log_match_ = nullptr;
    mutable double* match_value_ = nullptr;
    double* choice_value_ = nullptr;
    std::uint8_t* passed_ = nullptr;
    std::uint8_t* exact_ = nullptr;
    std::uint8_t* block_open = nullptr;  // per block: some node may still pass
    int winner_ = -1;
    int passing_ = 0;
    int seed = -1;            // the winner of the latest scan: summed first by the next
    bool pruned = false;      // the latest scan may have left values inexact
    bool sparse = false;      // little stopped lately: look at few groups
    std::uint64_t flops = 0;  // of the latest scan, while not yet counted
};

// Matches pattern x against every node and applies the vigilance test,
// computing the choice value of every node that passes. Reports the work
// of one node_match per node and one node_choice per passing node. Asks
// the host about an interrupt every 2^20 node-features or so; ends with
// interrupted (the scan's results then unusable) when asked to stop, and
// with out_of_memory when `scan` could not grow.
RunStatus scan_nodes(const CategoryNodes& nodes, const double* x, const ScanSettings& settings, NodeScan& scan);

// Patterns scanned together at most, and how many scan_tile should take for
// this model: 1 while its means and deviations fit in the cache, or while
// a node's means and deviations weigh less than twice the tile's results
// for it (fewer than 18 features); otherwise a tile shares their reading.
constexpr int max_tile = 8;
int tile_patterns(const CategoryNodes& nodes);

// Scans `count` patterns (at most max_tile), each with its own settings and
// scan, as scan_nodes scans each: the same results, a run of blocks at a
// time for the whole tile. Leaves the work of each scan to be counted by
// count_scan_work when its pattern is taken. Nothing prints per node here,
// so the console lines stay in pattern order.
RunStatus scan_tile(const CategoryNodes& nodes, const double* const* xs, int count, const ScanSettings* settings,
                    NodeScan* scans);
void count_scan_work(NodeScan& scan);

// Match tracking after a winner_only scan of pattern x: sums in full every
// passing node that stopped early whose match value may exceed that of
// `rejected` (its partial log_match is not below the rejected winner's),
// so that every node whose values are not exact afterwards cannot match
// better than `rejected` does. Does nothing after a full scan.
void complete_rivals(const CategoryNodes& nodes, const double* x, int rejected, NodeScan& scan);

// Picks among the nodes [0, n) that `eligible` accepts the one with the
// largest choice value of the latest scan, the lower index on ties.
// Candidates after the first cost one comparison each. Returns -1 when no
// node is eligible. Match tracking and tarn_evidence decide by it; a
// scan's winner() is its choice among the passing nodes.
template <typename Eligible>
int choose_node(int n, const NodeScan& scan, Eligible eligible, std::int64_t* comparisons)
{
    int winner = -1;
    double best_choice = 0.0;
    for (int k = 0; k < n; ++k) {
        if (!eligible(k))
            continue;
        if (winner < 0) {
            winner = k;
            best_choice = scan.choice_value(k);
        } else {
            ++*comparisons;
            if (scan.choice_value(k) > best_choice) {
                winner = k;
                best_choice = scan.choice_value(k);
            }
        }
    }
    return winner;
}

}  // namespace tarn
