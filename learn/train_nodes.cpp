#include "learn/train_nodes.h"

#include <cmath>
#include <cstdint>

#include "model/category_nodes.h"
#include "model/host.h"
#include "model/integer.h"
#include "model/match_kernel.h"
#include "model/work.h"

namespace tarn {

namespace {

// What one list presentation leaves for the stop rule and the report.
struct PassCounts {
    int new_nodes = 0;
    int node_updates = 0;
};

// Presents pattern p (numbered from 1) once.
RunStatus present_pattern(CategoryNodes& nodes, NodeScan& scan, int p, const double* x, double y, double rho, int oflag,
                          PassCounts& pass, std::uint64_t& call_comparisons)
{
    std::int64_t pattern_comparisons = 0;
    if (oflag >= 3)
        console_printf("   Pattern #%d is being presented (label %d)\n", p, integer_from_double(y));

    // First search: the vigilance test on every node, choice for those that
    // pass, and the winner. Only the winner's values are read unless the
    // vigilance failures are printed.
    const int n = nodes.size();
    const RunStatus scanned = scan_nodes(nodes, x, ScanSettings{rho, oflag == 4, oflag != 4}, scan);
    if (scanned != RunStatus::done)
        return scanned;
    pattern_comparisons += n;
    if (oflag == 4)
        for (int k = 0; k < n; ++k)
            if (!scan.passed(k))
                console_printf("      Node #%d fails the VT (MFV=%f < rho=%f)\n", k + 1, scan.match_value(k), rho);
    // Every passing node after the first is compared with the best.
    int winner = scan.winner();
    if (scan.passing() > 1)
        pattern_comparisons += scan.passing() - 1;

    bool updated = false;
    while (winner >= 0) {
        const double label = static_cast<double>(nodes.label(winner));
        if (!(label < y || label > y)) {
            nodes.node_learn(winner, x);
            ++pass.node_updates;
            if (oflag >= 3)
                console_printf("   Pattern #%d updated  node #%d (label %d)\n", p, winner + 1, nodes.label(winner));
            updated = true;
            break;
        }
        // Match tracking: only nodes that match strictly better than the
        // rejected winner stay candidates; all of them passed the test, and
        // all of them have exact values once their rivals are complete.
        // Each round looks at every node, so a huge model asks the host.
        if (host_interrupt_pending())
            return RunStatus::interrupted;
        complete_rivals(nodes, x, winner, scan);
        const double match_threshold = scan.match_value(winner);
        winner = choose_node(
            n, scan,
            [&scan, match_threshold](int k) {
                return scan.passed(k) && scan.exact(k) && scan.match_value(k) > match_threshold;
            },
            &pattern_comparisons);
    }

    if (!updated) {
        if (!nodes.node_init(x, integer_from_double(y), 0))
            return RunStatus::out_of_memory;
        ++pass.new_nodes;
        if (oflag >= 3)
            console_printf("   Pattern #%d created  node #%d (label %d).\n", p, nodes.size(),
                           nodes.label(nodes.size() - 1));
    }

    host_add_work(static_cast<int>(pattern_comparisons));
    call_comparisons += static_cast<std::uint64_t>(pattern_comparisons);
    ++presentation_total;
    return RunStatus::done;
}

void print_report(int P, int M, int node_count, const TrainingParameters& parameters, int list_presentations,
                  int last_new_nodes, int inactive_count, int exported_count, std::uint64_t call_comparisons,
                  int elapsed)
{
    console_printf("\nGAM training stopped ");
    if (list_presentations == 1)
        console_printf("after %d list presentation\n", list_presentations);
    else
        console_printf("after %d list presentations\n", list_presentations);
    if (parameters.no_creation_flag == 1 && last_new_nodes == 0)
        console_printf("No new nodes were created during the last list presentation.\n");
    else
        console_printf("Maximum number of list presentations reached.\n");
    console_printf("Training set contained %d training patterns\n", P);

    const bool trim = parameters.trim_option == 1;
    if (inactive_count == 1)
        console_printf(trim ? "%d inactive node trimmed " : "%d inactive node detected ", inactive_count);
    else
        console_printf(trim ? "%d inactive nodes trimmed " : "%d inactive nodes detected ", inactive_count);
    // No node at all means no redundancy, not a division by zero.
    const double redundancy =
        node_count == 0 ? 0.0 : static_cast<double>(inactive_count) * 100.0 / static_cast<double>(node_count);
    console_printf("(%f%% redundacy)\n", redundancy);

    // Storage of the templates against that of the patterns; both products
    // in 64 bits so large sets cannot overflow them.
    const std::int64_t template_size =
        static_cast<std::int64_t>(exported_count) * (2 * static_cast<std::int64_t>(M) + 1);
    const std::int64_t pattern_size = static_cast<std::int64_t>(P) * static_cast<std::int64_t>(M);
    double ratio = 0.0;
    if (pattern_size != 0)
        ratio = 100.0 * (1.0 - static_cast<double>(template_size) / static_cast<double>(pattern_size));
    if (exported_count == 1)
        console_printf("%d node created (%f%% ", 1, std::fabs(ratio));
    else
        console_printf("%d nodes created (%f%% ", exported_count, std::fabs(ratio));
    console_printf(ratio >= 0.0 ? "compression)\n" : "inflation)\n");

    print_work_line(flop_total, comparison_total + call_comparisons, elapsed);
}

// Writes the exported nodes as template rows and labels (and, when asked,
// their active flags). False when memory ran out, with nothing of the
// result left.
bool export_templates(CategoryNodes& nodes, int M, int trim_option, int exported_count, bool want_active,
                      TrainingResult* result)
{
    const auto width = static_cast<std::size_t>(2 * static_cast<std::int64_t>(M) + 1);
    auto** rows = static_cast<double**>(host_calloc(static_cast<std::size_t>(exported_count), sizeof(double*)));
    auto* labels = static_cast<double*>(host_calloc(static_cast<std::size_t>(exported_count), sizeof(double)));
    double* active = nullptr;
    if (want_active && rows != nullptr && labels != nullptr)
        active = static_cast<double*>(host_calloc(static_cast<std::size_t>(exported_count), sizeof(double)));
    int written = 0;
    bool ok = rows != nullptr && labels != nullptr && (active != nullptr || !want_active);
    for (int k = 0; ok && k < nodes.size(); ++k) {
        if (trim_option != 0 && !nodes.active(k))
            continue;
        auto* row = static_cast<double*>(host_calloc(width, sizeof(double)));
        if (row == nullptr) {
            ok = false;
            break;
        }
        rows[written] = row;
        nodes.node_to_template(k, row);
        labels[written] = static_cast<double>(nodes.label(k));
        if (active != nullptr)
            active[written] = nodes.active(k) ? 1.0 : 0.0;
        ++written;
    }
    if (!ok) {
        if (rows != nullptr)
            for (int k = 0; k < written; ++k)
                host_free(rows[k]);
        host_free(rows);
        host_free(labels);
        host_free(active);
        return false;
    }
    result->exported_count = exported_count;
    result->rows = rows;
    result->labels = labels;
    result->active = active;
    return true;
}

}  // namespace

RunStatus continue_training(CategoryNodes& nodes, std::uint32_t presentations, const TrainingSet& set,
                            const TrainingParameters& parameters, bool want_active, TrainingResult* result)
{
    const int P = set.P;
    const int M = set.M;
    const double rho = parameters.vigilance;
    const int oflag = parameters.oflag;
    feature_count = M;
    initial_sigma = parameters.gamma;
    std::uint64_t call_comparisons = 0;
    NodeScan scan;
    int list_presentations = 0;
    const int s0 = clock_seconds();
    presentation_total = presentations;

    PassCounts pass;
    for (;;) {
        // Asked between patterns, and between passes of an empty set.
        if (host_interrupt_pending())
            return RunStatus::interrupted;
        pass = PassCounts{};
        ++list_presentations;
        for (int k = 0; k < nodes.size(); ++k)
            nodes.set_active(k, false);
        if (oflag >= 4)
            console_printf("\nList presentation #%d:\n", list_presentations);
        for (int p = 0; p < P; ++p) {
            if (p != 0 && host_interrupt_pending())
                return RunStatus::interrupted;
            const RunStatus status =
                present_pattern(nodes, scan, p + 1, set.patterns[p], set.labels[p], rho, oflag, pass, call_comparisons);
            if (status != RunStatus::done)
                return status;
        }
        if (oflag == 2)
            console_printf("List presentation #%d: %d new nodes created, %d node updates\n", list_presentations,
                           pass.new_nodes, pass.node_updates);
        if (oflag >= 3)
            console_printf("   Summary: %d new nodes created, %d node updates\n", pass.new_nodes, pass.node_updates);
        if (list_presentations >= parameters.max_list_presentations ||
            (parameters.no_creation_flag == 1 && pass.new_nodes == 0))
            break;
    }

    int active_nodes = 0;
    for (int k = 0; k < nodes.size(); ++k)
        active_nodes += nodes.active(k) ? 1 : 0;
    const int inactive_count = nodes.size() - active_nodes;
    const int exported_count = parameters.trim_option == 1 ? nodes.size() - inactive_count : nodes.size();
    const int elapsed = clock_seconds() - s0;
    if (oflag >= 1)
        print_report(P, M, nodes.size(), parameters, list_presentations, pass.new_nodes, inactive_count, exported_count,
                     call_comparisons, elapsed);

    if (!export_templates(nodes, M, parameters.trim_option, exported_count, want_active, result))
        return RunStatus::out_of_memory;
    result->list_presentations = list_presentations;
    result->presentation_total = presentation_total;
    return RunStatus::done;
}

RunStatus train_nodes(int P, int M, double* const* patterns, const double* labels, const TrainingParameters& parameters,
                      TrainingResult* result)
{
    CategoryNodes nodes(M);
    return continue_training(nodes, 0, TrainingSet{P, M, patterns, labels}, parameters, false, result);
}

RunStatus resume_training(int J, double* const* templates, const double* template_labels, std::uint32_t presentations,
                          const TrainingSet& set, const TrainingParameters& parameters, bool want_active,
                          TrainingResult* result)
{
    CategoryNodes nodes(set.M);
    if (!nodes.reserve(J))
        return RunStatus::out_of_memory;
    InterruptPoll poll;  // a huge model takes a while to load
    for (int j = 0; j < J; ++j) {
        if (poll.pending(set.M + 1))
            return RunStatus::interrupted;
        const double prior = templates[j][2 * static_cast<std::size_t>(set.M)];
        if (!nodes.node_resume(templates[j], integer_from_double(template_labels[j]),
                               recovered_count(prior, presentations)))
            return RunStatus::out_of_memory;
    }
    return continue_training(nodes, presentations, set, parameters, want_active, result);
}

}  // namespace tarn
