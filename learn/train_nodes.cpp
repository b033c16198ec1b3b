#include "learn/train_nodes.h"

#include <cmath>
#include <cstdint>

#include "bridge/host_services.h"
#include "model/category_node.h"
#include "model/integer.h"
#include "model/work.h"

namespace tarn {

namespace {

// The nodes of one training call, in creation order.
struct NodeSet {
    CategoryNode** nodes = nullptr;  // host block, grown one entry per node
    int node_count = 0;

    // Appends a fresh node made from pattern x; false when memory ran out.
    bool create(const double* x, int label)
    {
        const auto bytes = sizeof(CategoryNode*) * static_cast<std::size_t>(node_count + 1);
        auto** grown = static_cast<CategoryNode**>(nodes == nullptr ? host_calloc(1, sizeof(CategoryNode*))
                                                                    : host_realloc(nodes, bytes));
        if (grown == nullptr)
            return false;
        nodes = grown;
        CategoryNode* node = CategoryNode::create(x, label, 0);
        if (node == nullptr)
            return false;
        node->active = 1;
        nodes[node_count++] = node;
        return true;
    }

    // Releases every node from `first` on, then the array.
    void release_from(int first)
    {
        for (int k = first; k < node_count; ++k) {
            CategoryNode::destroy(nodes[k]);
            nodes[k] = nullptr;
        }
        host_free(nodes);
        nodes = nullptr;
        node_count = 0;
    }
};

// What one list presentation leaves for the stop rule and the report.
struct PassCounts {
    int new_nodes = 0;
    int node_updates = 0;
};

// Picks among the nodes that `eligible` accepts the one with the largest
// choice value (lower index on ties). Candidates after the first cost one
// comparison each. Returns -1 when no node is eligible.
template <typename Eligible>
int choose(const NodeSet& set, Eligible eligible, std::int64_t* comparisons)
{
    int winner = -1;
    double best_choice = 0.0;
    for (int k = 0; k < set.node_count; ++k) {
        const CategoryNode* node = set.nodes[k];
        if (!eligible(node))
            continue;
        if (winner < 0) {
            winner = k;
            best_choice = node->choice_value;
        } else {
            ++*comparisons;
            if (node->choice_value > best_choice) {
                winner = k;
                best_choice = node->choice_value;
            }
        }
    }
    return winner;
}

// Presents pattern p (numbered from 1) once. False when memory ran out.
bool present_pattern(NodeSet& set, int p, const double* x, double y, double rho, int oflag, PassCounts& pass,
                     std::uint64_t& call_comparisons)
{
    std::int64_t pattern_comparisons = 0;
    if (oflag >= 3)
        console_printf("   Pattern #%d is being presented (label %d)\n", p, integer_from_double(y));

    // First search: the vigilance test on every node, choice for those that pass.
    for (int k = 0; k < set.node_count; ++k) {
        CategoryNode* node = set.nodes[k];
        node->node_match(x);
        ++pattern_comparisons;
        if (node->match_value >= rho) {
            node->node_choice();
        } else if (oflag == 4) {
            console_printf("      Node #%d fails the VT (MFV=%f < rho=%f)\n", k + 1, node->match_value, rho);
        }
    }
    int winner = choose(
        set, [rho](const CategoryNode* node) { return node->match_value >= rho; }, &pattern_comparisons);

    bool updated = false;
    while (winner >= 0) {
        CategoryNode* node = set.nodes[winner];
        const double label = static_cast<double>(node->label);
        if (!(label < y || label > y)) {
            node->node_learn(x);
            ++pass.node_updates;
            if (oflag >= 3)
                console_printf("   Pattern #%d updated  node #%d (label %d)\n", p, winner + 1, node->label);
            updated = true;
            break;
        }
        // Match tracking: only nodes that match strictly better than the
        // rejected winner stay candidates.
        const double match_threshold = node->match_value;
        winner = choose(
            set, [match_threshold](const CategoryNode* n) { return n->match_value > match_threshold; },
            &pattern_comparisons);
    }

    if (!updated) {
        if (!set.create(x, integer_from_double(y)))
            return false;
        ++pass.new_nodes;
        if (oflag >= 3)
            console_printf("   Pattern #%d created  node #%d (label %d).\n", p, set.node_count,
                           set.nodes[set.node_count - 1]->label);
    }

    host_add_work(static_cast<int>(pattern_comparisons));
    call_comparisons += static_cast<std::uint64_t>(pattern_comparisons);
    ++presentation_total;
    return true;
}

void print_report(int P, int M, const NodeSet& set, const TrainingParameters& parameters, int list_presentations,
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
        set.node_count == 0 ? 0.0 : static_cast<double>(inactive_count) * 100.0 / static_cast<double>(set.node_count);
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

// Writes the exported nodes as template rows and labels, releasing every
// node as it goes. False when memory ran out (all nodes released then too).
bool export_templates(NodeSet& set, int M, int trim_option, int exported_count, TrainingResult* result)
{
    const auto width = static_cast<std::size_t>(2 * static_cast<std::int64_t>(M) + 1);
    auto** rows = static_cast<double**>(host_calloc(static_cast<std::size_t>(exported_count), sizeof(double*)));
    auto* labels = static_cast<double*>(host_calloc(static_cast<std::size_t>(exported_count), sizeof(double)));
    int written = 0;
    bool ok = rows != nullptr && labels != nullptr;
    for (int k = 0; ok && k < set.node_count; ++k) {
        CategoryNode* node = set.nodes[k];
        if (trim_option == 0 || node->active != 0) {
            auto* row = static_cast<double*>(host_calloc(width, sizeof(double)));
            if (row == nullptr) {
                ok = false;
                break;
            }
            rows[written] = row;
            node->node_to_template(row);
            labels[written] = static_cast<double>(node->label);
            ++written;
        }
        CategoryNode::destroy(node);
        set.nodes[k] = nullptr;
    }
    if (!ok) {
        set.release_from(0);
        if (rows != nullptr)
            for (int k = 0; k < written; ++k)
                host_free(rows[k]);
        host_free(rows);
        host_free(labels);
        return false;
    }
    set.release_from(set.node_count);
    result->exported_count = exported_count;
    result->rows = rows;
    result->labels = labels;
    return true;
}

}  // namespace

bool train_nodes(int P, int M, double* const* patterns, const double* labels, const TrainingParameters& parameters,
                 TrainingResult* result)
{
    const double rho = parameters.vigilance;
    const int oflag = parameters.oflag;
    feature_count = M;
    initial_sigma = parameters.gamma;
    std::uint64_t call_comparisons = 0;
    NodeSet set;
    int list_presentations = 0;
    const int s0 = clock_seconds();
    presentation_total = 0;

    PassCounts pass;
    for (;;) {
        pass = PassCounts{};
        ++list_presentations;
        for (int k = 0; k < set.node_count; ++k)
            set.nodes[k]->active = 0;
        if (oflag >= 4)
            console_printf("\nList presentation #%d:\n", list_presentations);
        for (int p = 0; p < P; ++p) {
            if (!present_pattern(set, p + 1, patterns[p], labels[p], rho, oflag, pass, call_comparisons)) {
                set.release_from(0);
                return false;
            }
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
    for (int k = 0; k < set.node_count; ++k)
        active_nodes += set.nodes[k]->active != 0 ? 1 : 0;
    const int inactive_count = set.node_count - active_nodes;
    const int exported_count = parameters.trim_option == 1 ? set.node_count - inactive_count : set.node_count;
    const int elapsed = clock_seconds() - s0;
    if (oflag >= 1)
        print_report(P, M, set, parameters, list_presentations, pass.new_nodes, inactive_count, exported_count,
                     call_comparisons, elapsed);

    if (!export_templates(set, M, parameters.trim_option, exported_count, result))
        return false;
    result->list_presentations = list_presentations;
    return true;
}

}  // namespace tarn
