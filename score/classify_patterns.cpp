#include "score/classify_patterns.h"

#include <algorithm>
#include <cmath>
#include <cstdint>

#include "model/category_nodes.h"
#include "model/host.h"
#include "model/integer.h"
#include "model/match_kernel.h"
#include "model/node_memory.h"
#include "model/work.h"

namespace tarn {

namespace {

// One distinct label of the template labels and its per-pattern sum of
// exp(choice value) over the passing nodes that carry it.
struct LabelSum {
    std::int32_t label;
    double sum;
};

// The distinct labels in order of first appearance (rule 1 only).
struct LabelTable {
    LabelSum* records = nullptr;  // host block, grown one record at a time
    int record_count = 0;

    LabelTable() = default;
    ~LabelTable() { host_free(records); }
    LabelTable(const LabelTable&) = delete;
    LabelTable& operator=(const LabelTable&) = delete;

    // A label value equal, as a double, to a record's label finds that
    // record; any other value (a fractional one or not a number included)
    // appends a record of its own.
    RunStatus build(int J, const double* labels)
    {
        InterruptPoll poll;
        for (int j = 0; j < J; ++j) {
            if (poll.pending(record_count))
                return RunStatus::interrupted;
            bool found = false;
            for (int k = 0; k < record_count; ++k) {
                if (labels[j] == static_cast<double>(records[k].label)) {
                    found = true;
                    break;
                }
            }
            if (found)
                continue;
            const auto bytes = sizeof(LabelSum) * (static_cast<std::size_t>(record_count) + 1);
            auto* grown = static_cast<LabelSum*>(host_realloc(records, bytes));
            if (grown == nullptr)
                return RunStatus::out_of_memory;
            records = grown;
            records[record_count].label = integer_from_double(labels[j]);
            records[record_count].sum = 0.0;
            ++record_count;
        }
        return RunStatus::done;
    }
};

// Rule 1's classes: the distinct labels of the table's records. Records
// that share a label get the same additions in the same order, so one sum
// per class stands for all of them; a node adds to the records of its
// label, 2 flops each. Each class's sum depends only on the order of its
// own nodes, so the classes are summed from a copy of the nodes grouped
// by class (node order within each): groups of nodes of one class stop
// together far more often than groups of mixed ones.
struct ClassTable {
    void* block = nullptr;
    std::int32_t* node_class = nullptr;
    std::int64_t* node_flops = nullptr;
    std::int32_t* record_class = nullptr;
    std::int32_t* class_label = nullptr;
    std::int64_t* class_records = nullptr;
    std::int64_t* class_start = nullptr;
    std::int32_t* order = nullptr;          // the nodes in the grouped copy's order
    std::int32_t* grouped_class = nullptr;  // of the grouped copy's nodes
    std::int64_t* grouped_flops = nullptr;
    ClassSums sums{nullptr, nullptr, nullptr, 0};
    std::int64_t all_flops = 0;  // of a pattern that every node passes
    CategoryNodes grouped;

    explicit ClassTable(int features) : grouped(features) {}
    ~ClassTable() { node_memory_release(block); }
    ClassTable(const ClassTable&) = delete;
    ClassTable& operator=(const ClassTable&) = delete;

    RunStatus build(const CategoryNodes& nodes, const LabelTable& table)
    {
        const int n = nodes.size();
        // One class more than records, for a node whose label no record has.
        const auto count = static_cast<std::size_t>(std::max(n, table.record_count + 1));
        block = allocate_arrays(count, node_class, node_flops, record_class, class_label, class_records, class_start,
                                order, grouped_class, grouped_flops, sums.sum, sums.floor);
        if (block == nullptr)
            return RunStatus::out_of_memory;
        InterruptPoll poll;
        int classes = 0;
        for (int k = 0; k < table.record_count; ++k) {
            if (poll.pending(classes))
                return RunStatus::interrupted;
            int c = find(table.records[k].label, classes);
            if (c == classes)
                class_label[classes++] = table.records[k].label;
            record_class[k] = c;
            ++class_records[c];
        }
        for (int j = 0; j < n; ++j) {
            if (poll.pending(classes))
                return RunStatus::interrupted;
            node_class[j] = find(nodes.label(j), classes);
            node_flops[j] = 2 * class_records[node_class[j]];
            all_flops += node_flops[j];
        }
        sums.node_class = grouped_class;
        sums.classes = classes + 1;
        if (!group_by_class(nodes, node_class, classes + 1, class_start, order, grouped))
            return RunStatus::out_of_memory;
        for (int g = 0; g < n; ++g)
            grouped_class[g] = node_class[order[g]];
        for (int g = 0; g < n; ++g)
            grouped_flops[g] = 2 * class_records[grouped_class[g]];
        return RunStatus::done;
    }

private:
    int find(std::int32_t label, int classes) const
    {
        int c = 0;
        while (c < classes && class_label[c] != label)
            ++c;
        return c;
    }
};

// What the patterns of one call add up to.
struct CallCounts {
    std::uint64_t flops = 0;
    std::uint64_t comparisons = 0;
    int unclassified = 0;
};

struct Setting {
    double vigilance;
    int unknown_label;
    int decision_option;
    int oflag;
};

void mark_unclassified(int p, const Setting& setting, double* out, CallCounts& counts)
{
    if (setting.oflag >= 2)
        console_printf("   Pattern #%d could not be classified\n", p);
    *out = static_cast<double>(setting.unknown_label);
    ++counts.unclassified;
}

// The nodes a pattern is scanned against: rule 1 without the trace sums
// the copy grouped by class; the trace prints the nodes in their own order.
bool sums_grouped(const Setting& setting)
{
    return setting.decision_option == 1 && setting.oflag < 3;
}

// How pattern p is scanned: for the winner (rule 0) or for every record's
// sum of exp(choice value) over its passing nodes in node order (rule 1,
// into `sums`), the per-node values exact where the trace prints them.
ScanSettings scan_settings(const Setting& setting, ClassTable& classes, ClassSums* sums)
{
    const bool traced = setting.oflag >= 3;
    const bool by_sums = setting.decision_option == 1;
    if (by_sums)
        sums->node_class = sums_grouped(setting) ? classes.grouped_class : classes.node_class;
    return ScanSettings{setting.vigilance, traced, !traced, by_sums ? sums : nullptr};
}

// Presents pattern p (numbered from 1) to every node and stores its label;
// `scanned`: its scan (and sums) came with a tile, its work not yet counted.
RunStatus present_pattern(CategoryNodes& nodes, NodeScan& scan, LabelTable& table, ClassTable& classes, ClassSums& sums,
                          int p, const double* x, const Setting& setting, double* out, CallCounts& counts, bool scanned)
{
    std::int64_t comparisons = 0;
    std::int64_t flops = 0;
    const bool by_sums = setting.decision_option == 1;
    if (setting.oflag >= 3)
        console_printf("   Pattern #%d is being presented\n", p);

    const int n = nodes.size();
    const bool traced = setting.oflag >= 3;
    const bool grouped = sums_grouped(setting);
    const std::int64_t* node_flops = grouped ? classes.grouped_flops : classes.node_flops;
    if (scanned) {
        count_scan_work(scan);
    } else {
        const RunStatus status =
            scan_nodes(grouped ? classes.grouped : nodes, x, scan_settings(setting, classes, &sums), scan);
        if (status != RunStatus::done)
            return status;
    }
    comparisons += n;
    // Rule 0: every passing node after the first is compared with the best.
    const int winner = by_sums ? -1 : scan.winner();
    if (!by_sums && scan.passing() > 1)
        comparisons += scan.passing() - 1;
    if (by_sums) {
        for (int k = 0; k < table.record_count; ++k)
            table.records[k].sum = sums.sum[classes.record_class[k]];
        if (scan.passing() == n) {
            flops += classes.all_flops;
        } else {
            for (int j = 0; j < n; ++j)
                flops += scan.passed(j) ? node_flops[j] : 0;
        }
    }
    for (int j = 0; j < n && traced; ++j) {
        if (scan.passed(j))
            console_printf("      CCF(%d)=%f\n", j + 1, scan.choice_value(j));
        else
            console_printf("      Node #%d fails the VT (MFV=%f < rho=%f)\n", j + 1, scan.match_value(j),
                           setting.vigilance);
    }

    if (!by_sums) {
        if (winner >= 0) {
            *out = static_cast<double>(nodes.label(winner));
            nodes.set_active(winner, true);
            if (setting.oflag >= 2)
                console_printf("   Pattern #%d selected by node #%d and classified as '%d'\n", p, winner + 1,
                               nodes.label(winner));
        } else {
            mark_unclassified(p, setting, out, counts);
        }
    } else {
        // Only a single label holding the largest sum, above zero, decides.
        const LabelSum* chosen = nullptr;
        double best_sum = 0.0;
        bool tie = false;
        comparisons += 2 * static_cast<std::int64_t>(table.record_count);
        for (int k = 0; k < table.record_count; ++k) {
            const LabelSum& record = table.records[k];
            if (record.sum > best_sum) {
                chosen = &record;
                best_sum = record.sum;
                tie = false;
            } else if (record.sum == best_sum) {
                tie = true;
            }
        }
        // No record at all, or sums that are not numbers, decide nothing.
        if (tie || chosen == nullptr) {
            mark_unclassified(p, setting, out, counts);
        } else {
            *out = static_cast<double>(chosen->label);
            if (setting.oflag >= 2)
                console_printf("   Pattern #%d classified as '%d'\n", p, chosen->label);
        }
    }

    host_add_work(static_cast<int>(comparisons + flops));
    counts.flops += static_cast<std::uint64_t>(flops);
    counts.comparisons += static_cast<std::uint64_t>(comparisons);
    return RunStatus::done;
}

void print_report(int J, int K, int decision_option, int inactive_count, const CallCounts& counts, int elapsed)
{
    console_printf("\nGAM performance phase summary\n");
    console_printf("Test set contained %d test patterns\n", K);
    if (decision_option == 0) {
        if (inactive_count == 1)
            console_printf("%d inactive node detected ", inactive_count);
        else
            console_printf("%d inactive nodes detected ", inactive_count);
        // Without templates nothing is inactive; never divide by zero.
        const double share = J == 0 ? 0.0 : static_cast<double>(inactive_count) * 100.0 / static_cast<double>(J);
        console_printf("(%f%%)\n", share);
    }
    if (counts.unclassified != 0) {
        console_printf("unable to classify %d patterns ", counts.unclassified);
        console_printf("(%f%%)\n", static_cast<double>(counts.unclassified) * 100.0 / static_cast<double>(K));
    }
    print_work_line(flop_total + counts.flops, comparison_total + counts.comparisons, elapsed);
}

}  // namespace

RunStatus classify_patterns(int J, int M, double* const* templates, const double* labels, double vigilance, int K,
                            double* const* patterns, int unknown_label, int decision_option, double** result, int oflag)
{
    CallCounts counts;
    initial_sigma = 0.0;
    feature_count = M;
    const Setting setting{vigilance, unknown_label, decision_option, oflag};

    CategoryNodes nodes(M);
    if (!load_template_rows(nodes, J, templates, labels))
        return RunStatus::out_of_memory;
    LabelTable table;
    ClassTable classes(M);
    if (decision_option == 1) {
        RunStatus built = table.build(J, labels);
        if (built == RunStatus::done)
            built = classes.build(nodes, table);
        if (built != RunStatus::done)
            return built;
    }
    auto* predicted = static_cast<double*>(host_calloc(static_cast<std::size_t>(K), sizeof(double)));
    if (predicted == nullptr)
        return RunStatus::out_of_memory;

    const int s0 = clock_seconds();
    if (oflag >= 2)
        console_printf("\nList presentation of %d patterns:\n", K);
    // A model too large for the cache is scanned a tile of patterns at a
    // time; the patterns are then taken one by one, in order.
    const int tile = oflag >= 3 ? 1 : tile_patterns(sums_grouped(setting) ? classes.grouped : nodes);
    NodeScan scans[max_tile];
    ClassSums tile_sums[max_tile];
    ScanSettings settings[max_tile];
    // Rule 1 in tiles: each pattern of a tile sums into its own classes.
    void* sums_block = nullptr;
    const auto class_count = static_cast<std::size_t>(classes.sums.classes);
    double* tile_sum = classes.sums.sum;
    double* tile_floor = classes.sums.floor;
    if (tile > 1 && decision_option == 1) {
        sums_block = allocate_arrays(class_count * static_cast<std::size_t>(tile), tile_sum, tile_floor);
        if (sums_block == nullptr) {
            host_free(predicted);
            return RunStatus::out_of_memory;
        }
    }
    for (int q = 0; q < tile; ++q) {
        tile_sums[q] = classes.sums;
        if (sums_block != nullptr) {
            tile_sums[q].sum = tile_sum + static_cast<std::size_t>(q) * class_count;
            tile_sums[q].floor = tile_floor + static_cast<std::size_t>(q) * class_count;
        }
    }
    RunStatus status = RunStatus::done;
    for (int p = 0; p < K && status == RunStatus::done; p += tile) {
        const int count = std::min(tile, K - p);
        if (tile > 1) {
            for (int q = 0; q < count; ++q)
                settings[q] = scan_settings(setting, classes, &tile_sums[q]);
            status = host_interrupt_pending() ? RunStatus::interrupted
                                              : scan_tile(sums_grouped(setting) ? classes.grouped : nodes, patterns + p,
                                                          count, settings, scans);
        }
        for (int q = 0; q < count && status == RunStatus::done; ++q) {
            status = RunStatus::interrupted;
            if (!host_interrupt_pending())
                status = present_pattern(nodes, scans[q], table, classes, tile_sums[q], p + q + 1, patterns[p + q],
                                         setting, &predicted[p + q], counts, tile > 1);
        }
    }
    node_memory_release(sums_block);
    if (status != RunStatus::done) {
        host_free(predicted);
        return status;
    }

    int active_count = 0;
    for (int j = 0; j < nodes.size(); ++j)
        active_count += nodes.active(j) ? 1 : 0;
    const int inactive_count = J - active_count;
    const int elapsed = clock_seconds() - s0;
    if (oflag >= 1)
        print_report(J, K, decision_option, inactive_count, counts, elapsed);

    *result = predicted;
    return RunStatus::done;
}

}  // namespace tarn
