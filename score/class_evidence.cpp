#include "score/class_evidence.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "model/category_nodes.h"
#include "model/host.h"
#include "model/integer.h"
#include "model/match_kernel.h"
#include "model/work.h"

namespace tarn {

namespace {

// A host block that is released unless handed on.
template <typename T>
struct HostBlock {
    T* data = nullptr;

    explicit HostBlock(std::size_t count) : data(static_cast<T*>(host_calloc(count, sizeof(T)))) {}
    ~HostBlock() { host_free(data); }
    HostBlock(const HostBlock&) = delete;
    HostBlock& operator=(const HostBlock&) = delete;
    T* release()
    {
        T* d = data;
        data = nullptr;
        return d;
    }
};

// The distinct labels of the nodes, ascending, in `classes`; the index of
// each node's class in `class_of`. Returns the number of classes.
int sort_classes(const CategoryNodes& nodes, double* classes, std::int32_t* class_of)
{
    const int J = nodes.size();
    for (int j = 0; j < J; ++j)
        classes[j] = static_cast<double>(nodes.label(j));
    std::sort(classes, classes + J);
    const int C = static_cast<int>(std::unique(classes, classes + J) - classes);
    for (int j = 0; j < J; ++j)
        class_of[j] =
            static_cast<int>(std::lower_bound(classes, classes + C, static_cast<double>(nodes.label(j))) - classes);
    return C;
}

}  // namespace

RunStatus class_evidence(int J, int M, double* const* templates, const double* labels, double vigilance, int K,
                         double* const* patterns, ClassEvidence* result)
{
    initial_sigma = 0.0;
    feature_count = M;
    CategoryNodes nodes(M);
    if (!load_template_rows(nodes, J, templates, labels))
        return RunStatus::out_of_memory;

    const auto j_count = static_cast<std::size_t>(J);
    HostBlock<double> classes(j_count);
    HostBlock<std::int32_t> class_of(j_count);
    if (classes.data == nullptr || class_of.data == nullptr)
        return RunStatus::out_of_memory;
    const int C = sort_classes(nodes, classes.data, class_of.data);
    const auto c_count = static_cast<std::size_t>(C);
    const std::size_t cells = static_cast<std::size_t>(K) * c_count;
    HostBlock<double> log_evidence(cells);
    HostBlock<double> best_choice(cells);
    HostBlock<double> winner(static_cast<std::size_t>(K));
    if (log_evidence.data == nullptr || best_choice.data == nullptr || winner.data == nullptr)
        return RunStatus::out_of_memory;

    // A copy of the nodes grouped by class (ascending), for the scans that
    // leave out what cannot change the evidence; a model too large for the
    // cache is scanned there a tile of patterns at a time.
    HostBlock<std::int64_t> start(c_count);
    HostBlock<std::int32_t> order(j_count);
    HostBlock<std::int32_t> grouped_class(j_count);
    if (start.data == nullptr || order.data == nullptr || grouped_class.data == nullptr)
        return RunStatus::out_of_memory;
    CategoryNodes grouped(M);
    if (!group_by_class(nodes, class_of.data, C, start.data, order.data, grouped))
        return RunStatus::out_of_memory;
    for (int g = 0; g < J; ++g)
        grouped_class.data[g] = class_of.data[order.data[g]];
    const int tile = tile_patterns(grouped);
    // Per pattern of a tile: the largest choice value, its node, the shifted
    // sum and the sum's floor of each class.
    const std::size_t tile_cells = c_count * static_cast<std::size_t>(tile);
    HostBlock<double> best(tile_cells);
    HostBlock<double> sum(tile_cells);
    HostBlock<int> best_node(tile_cells);
    HostBlock<double> floor(tile_cells);
    if (best.data == nullptr || sum.data == nullptr || best_node.data == nullptr || floor.data == nullptr)
        return RunStatus::out_of_memory;
    ClassBests bests[max_tile];
    ClassSums sums[max_tile];
    ScanSettings pruned_settings[max_tile];
    for (int q = 0; q < tile; ++q) {
        const std::size_t at = c_count * static_cast<std::size_t>(q);
        bests[q] = ClassBests{grouped_class.data, best.data + at, best_node.data + at, C};
        sums[q] = ClassSums{grouped_class.data, sum.data + at, floor.data + at, C, best.data + at};
        pruned_settings[q] = ScanSettings{vigilance, false, true, &sums[q], &bests[q]};
    }
    NodeScan pruned_scans[max_tile];

    const double inf = std::numeric_limits<double>::infinity();
    const ScanSettings settings{vigilance, false};
    NodeScan scan;
    InterruptPoll poll;
    for (int p0 = 0; p0 < K; p0 += tile) {
        const int count = std::min(tile, K - p0);
        // A tile only where every pattern of it is scanned the grouped way.
        bool tiled = count > 1;
        for (int q = 0; q < count && tiled; ++q)
            tiled = scan_prunes(grouped, patterns[p0 + q], pruned_settings[q]);
        if (tiled) {
            if (host_interrupt_pending())
                return RunStatus::interrupted;
            const RunStatus scanned = scan_tile(grouped, patterns + p0, count, pruned_settings, pruned_scans);
            if (scanned != RunStatus::done)
                return scanned;
        }
        for (int q = 0; q < count; ++q) {
            const int p = p0 + q;
            if (host_interrupt_pending())
                return RunStatus::interrupted;
            std::int64_t comparisons = J;
            std::int64_t flops = 0;
            const std::size_t at = c_count * static_cast<std::size_t>(q);
            double* const b = best.data + at;
            double* const s = sum.data + at;
            if (tiled || scan_prunes(grouped, patterns[p], pruned_settings[q])) {
                // Every node passes, and no choice value is a number but
                // -inf: the best of each class, then its sum, as the loop
                // below has them.
                if (tiled) {
                    count_scan_work(pruned_scans[q]);
                } else {
                    const RunStatus scanned = scan_nodes(grouped, patterns[p], pruned_settings[q], pruned_scans[q]);
                    if (scanned != RunStatus::done)
                        return scanned;
                }
                comparisons += J > 0 ? 2 * static_cast<std::int64_t>(J) - 1 : 0;
                // The winner: the largest best, the lower node on ties.
                const int* const b_node = best_node.data + at;
                int w = -1;
                for (int c = 0; c < C; ++c) {
                    if (b_node[c] < 0)
                        continue;
                    const int k = order.data[b_node[c]];
                    if (w < 0 || b[c] > b[class_of.data[w]] || (b[c] == b[class_of.data[w]] && k < w))
                        w = k;
                }
                winner.data[p] = w + 1;
                for (int j = 0; j < J; ++j)
                    flops += std::isfinite(b[class_of.data[j]]) ? 3 : 0;
            } else {
                const RunStatus scanned = scan_nodes(nodes, patterns[p], settings, scan);
                if (scanned != RunStatus::done)
                    return scanned;
                winner.data[p] = choose_node(
                                     J, scan, [&scan](int k) { return scan.passed(k); }, &comparisons) +
                                 1;

                // The largest choice value of each class; one that is not a
                // number makes its class's evidence not a number.
                std::fill(b, b + C, -inf);
                std::fill(s, s + C, 0.0);
                for (int j = 0; j < J; ++j) {
                    if (!scan.passed(j))
                        continue;
                    const double choice = scan.choice_value(j);
                    double& top = b[class_of.data[j]];
                    if (std::isnan(top))
                        continue;
                    ++comparisons;
                    if (choice > top || std::isnan(choice))
                        top = choice;
                }
                if (poll.pending(J))  // a huge model makes these passes long
                    return RunStatus::interrupted;
                // Sums of exp(choice - largest), in node order.
                for (int j = 0; j < J; ++j) {
                    if (!scan.passed(j))
                        continue;
                    const int c = class_of.data[j];
                    if (std::isfinite(b[c])) {
                        s[c] = s[c] + std::exp(scan.choice_value(j) - b[c]);
                        flops += 3;
                    }
                }
            }
            for (int c = 0; c < C; ++c) {
                const std::size_t cell =
                    static_cast<std::size_t>(c) * static_cast<std::size_t>(K) + static_cast<std::size_t>(p);
                best_choice.data[cell] = b[c];
                // An infinite or undefined largest value is the evidence itself.
                log_evidence.data[cell] = std::isfinite(b[c]) ? b[c] + std::log(s[c]) : b[c];
                flops += std::isfinite(b[c]) ? 2 : 0;
            }
            host_add_work(static_cast<int>(comparisons + flops));
        }
    }

    result->class_count = C;
    result->classes = classes.release();
    result->log_evidence = log_evidence.release();
    result->best_choice = best_choice.release();
    result->winner = winner.release();
    return RunStatus::done;
}

}  // namespace tarn
