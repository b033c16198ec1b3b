#include "score/class_evidence.h"

#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>

#include "model/category_nodes.h"
#include "model/host.h"
#include "model/integer.h"
#include "model/match_kernel.h"
#include "model/vector_exp.h"
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

bool every_node_prunable(const CategoryNodes& nodes)
{
    const NodeBlocks view = nodes.blocks();
    for (int k = 0; k < nodes.size(); ++k)
        if ((view.flags[k] & node_prunable) == 0)
            return false;
    return true;
}

// The sum of exp(choice value - best) over the grouped nodes [from, to), in
// order, as the loop adds it: four at a time, a group of four left out
// when all its shifted values lie below the running sum's floor (their
// exp() cannot change it, nor a larger sum's later).
double shifted_sum(const NodeScan& scan, int from, int to, double best)
{
    constexpr int group = 4;
    double sum = 0.0;
    double floor = sum_floor(sum);
    for (int g = from; g < to; g += group) {
        const int n = std::min(group, to - g);
        double values[group];
        bool below = true;
        for (int l = 0; l < n; ++l) {
            values[l] = scan.choice_value(g + l) - best;
            below = below && values[l] < floor;
        }
        if (below)
            continue;
        double terms[group];
        exp_lanes(values, terms, n);
        for (int l = 0; l < n; ++l)
            sum = sum + terms[l];
        floor = sum_floor(sum);
    }
    return sum;
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
    // Per pattern: the largest choice value and the shifted sum of each class.
    HostBlock<double> best(c_count);
    HostBlock<double> sum(c_count);
    if (log_evidence.data == nullptr || best_choice.data == nullptr || winner.data == nullptr || best.data == nullptr ||
        sum.data == nullptr)
        return RunStatus::out_of_memory;

    // A copy of the nodes grouped by class (ascending), for the patterns
    // that every node passes with a choice value that is a number or -inf;
    // a model too large for the cache is scanned there a tile of patterns
    // at a time.
    HostBlock<std::int64_t> class_end(c_count);
    HostBlock<std::int32_t> order(j_count);
    if (class_end.data == nullptr || order.data == nullptr)
        return RunStatus::out_of_memory;
    CategoryNodes grouped(M);
    if (!group_by_class(nodes, class_of.data, C, class_end.data, order.data, grouped))
        return RunStatus::out_of_memory;
    const bool all_prunable = every_node_prunable(nodes);
    const int tile = tile_patterns(grouped);
    const ScanSettings settings{vigilance, false};
    // Where every node passes: the values of every node, through the scan
    // that needs no pass over the nodes after it.
    const ScanSettings every_value{vigilance, false, true, nullptr, true};
    const ScanSettings tile_settings[max_tile] = {every_value, every_value, every_value, every_value,
                                                  every_value, every_value, every_value, every_value};
    NodeScan scans[max_tile];
    bool grouped_scan[max_tile] = {};

    const double inf = std::numeric_limits<double>::infinity();
    InterruptPoll poll;
    for (int p0 = 0; p0 < K; p0 += tile) {
        const int count = std::min(tile, K - p0);
        for (int q = 0; q < count; ++q)
            grouped_scan[q] = all_prunable && scan_prunes(grouped, patterns[p0 + q], every_value);
        // A tile only where every pattern of it is scanned the grouped way.
        const bool tiled = count > 1 && std::all_of(grouped_scan, grouped_scan + count, [](bool g) { return g; });
        if (tiled) {
            if (host_interrupt_pending())
                return RunStatus::interrupted;
            const RunStatus scanned = scan_tile(grouped, patterns + p0, count, tile_settings, scans);
            if (scanned != RunStatus::done)
                return scanned;
        }
        for (int q = 0; q < count; ++q) {
            const int p = p0 + q;
            if (host_interrupt_pending())
                return RunStatus::interrupted;
            NodeScan& scan = scans[q];
            std::int64_t comparisons = J;
            std::int64_t flops = 0;
            if (tiled) {
                count_scan_work(scan);
            } else {
                const RunStatus scanned = grouped_scan[q] ? scan_nodes(grouped, patterns[p], every_value, scan)
                                                          : scan_nodes(nodes, patterns[p], settings, scan);
                if (scanned != RunStatus::done)
                    return scanned;
            }
            if (grouped_scan[q]) {
                // Every node passed: the loop below, class by class.
                comparisons += J > 0 ? 2 * static_cast<std::int64_t>(J) - 1 : 0;
                int w = -1;  // the winner: the largest best, the lower node on ties
                for (int c = 0, from = 0; c < C; from = static_cast<int>(class_end.data[c++])) {
                    const int to = static_cast<int>(class_end.data[c]);
                    int top = from;
                    for (int g = from + 1; g < to; ++g)
                        top = scan.choice_value(g) > scan.choice_value(top) ? g : top;
                    best.data[c] = scan.choice_value(top);
                    const int k = order.data[top];
                    if (w < 0 || best.data[c] > best.data[class_of.data[w]] ||
                        (best.data[c] == best.data[class_of.data[w]] && k < w))
                        w = k;
                    sum.data[c] = std::isfinite(best.data[c]) ? shifted_sum(scan, from, to, best.data[c]) : 0.0;
                    flops += std::isfinite(best.data[c]) ? 3 * static_cast<std::int64_t>(to - from) : 0;
                }
                winner.data[p] = w + 1;
            } else {
                winner.data[p] = choose_node(
                                     J, scan, [&scan](int k) { return scan.passed(k); }, &comparisons) +
                                 1;

                // The largest choice value of each class; one that is not a
                // number makes its class's evidence not a number.
                std::fill(best.data, best.data + C, -inf);
                std::fill(sum.data, sum.data + C, 0.0);
                for (int j = 0; j < J; ++j) {
                    if (!scan.passed(j))
                        continue;
                    const double choice = scan.choice_value(j);
                    double& b = best.data[class_of.data[j]];
                    if (std::isnan(b))
                        continue;
                    ++comparisons;
                    if (choice > b || std::isnan(choice))
                        b = choice;
                }
                if (poll.pending(J))  // a huge model makes these passes long
                    return RunStatus::interrupted;
                // Sums of exp(choice - largest), in node order.
                for (int j = 0; j < J; ++j) {
                    if (!scan.passed(j))
                        continue;
                    const int c = class_of.data[j];
                    if (std::isfinite(best.data[c])) {
                        sum.data[c] = sum.data[c] + std::exp(scan.choice_value(j) - best.data[c]);
                        flops += 3;
                    }
                }
            }
            for (int c = 0; c < C; ++c) {
                const std::size_t at =
                    static_cast<std::size_t>(c) * static_cast<std::size_t>(K) + static_cast<std::size_t>(p);
                const double b = best.data[c];
                best_choice.data[at] = b;
                // An infinite or undefined largest value is the evidence itself.
                log_evidence.data[at] = std::isfinite(b) ? b + std::log(sum.data[c]) : b;
                flops += std::isfinite(b) ? 2 : 0;
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
