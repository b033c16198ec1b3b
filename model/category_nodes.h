// The Gaussian category nodes of one call, and the template row.
//
// A node codes one category: a mean and a standard deviation for each of
// the M features, the label it predicts, the number of presentations it has
// coded and its prior. A template row holds 2M+1 doubles: M means, M
// standard deviations, the prior.
//
// The nodes live together in blocks of `lanes` nodes, feature i of every
// node of a block side by side, so that matching can run a whole block at
// once while each node still sums its own features in index order.
#pragma once

#include <cstddef>
#include <cstdint>

namespace tarn {

// Process-wide model values of this plug-in, set by each command at the
// start of every call before any node is made.
extern std::int32_t feature_count;        // M
extern double initial_sigma;              // deviation of every feature of a fresh node
extern std::uint32_t presentation_total;  // N, presentations made so far in a training call

// What node_match finds for one node and one pattern.
struct NodeMatch {
    double log_match;    // -1/2 the squared normalised distance
    double match_value;  // exp(log_match), printed as MFV
};

// The means and deviations of every node as the block kernel reads them:
// `blocks` blocks of CategoryNodes::lanes nodes, each block `features` runs
// of lanes doubles, feature i of the block's nodes side by side. Lanes past
// the last node hold a harmless Gaussian (mean 0, deviation 1).
//
// Beside them, one entry per node (lanes past the last node included), the
// parts of the choice value that do not depend on the pattern, so that
// choice = (choice_a - (uses_presentations ? ln N : 0)) + (log_match - choice_b)
// with the bits of node_choice: a loaded node with a prior of 0 or more has
// choice_a = log_const and choice_b = 0; any other node choice_a = ln(count)
// and choice_b = the sum of ln(sigma). Lanes past the last node have
// choice_a = -infinity. `flags` holds node_prunable and node_loaded_choice.
//
// And a screen: for `screen_count` features (screen_features, ascending),
// each node's r, a double at most 1/sigma and within 2^-19 of it (0 where
// 1/sigma is not a normal double), whose lower 32 bits are 0: its upper 32
// bits are kept, for block b and screen feature j at
// (b * screen_count + j) * lanes, lane l at 2 l and lane l + 4 at 2 l + 1
// (l < 4). Lanes past the last node hold 0.
struct NodeBlocks {
    const double* means;
    const double* sigmas;
    int blocks;
    int features;
    const double* choice_a;
    const double* choice_b;
    const std::int64_t* uses_presentations;  // all bits set, or none
    const std::uint8_t* flags;
    int nodes;
    const std::uint32_t* screen;
    const std::int32_t* screen_features;
    int screen_count;
};

// The count behind an exported prior: the whole number nearest to
// prior x presentations when that product lies within 1e-6 of a whole
// number of at least 1 (and below 2^32); 0 when it does not.
std::uint32_t recovered_count(double prior, std::uint32_t presentations);

// Node k's sum of squared normalised distances can never be not a number
// for a finite pattern (finite means, deviations above 0 and finite), and
// its choice parts are finite: its choice value is never either.
constexpr std::uint8_t node_prunable = 1;
// Node k takes node_choice's branch of a stored prior (one flop).
constexpr std::uint8_t node_loaded_choice = 2;

class CategoryNodes {
public:
    static constexpr int lanes = 8;
    // Features screened at most (NodeBlocks::screen).
    static constexpr int max_screen = 32;

    // An empty set of nodes of `features` features each; allocates nothing.
    explicit CategoryNodes(int features);
    ~CategoryNodes();
    CategoryNodes(const CategoryNodes&) = delete;
    CategoryNodes& operator=(const CategoryNodes&) = delete;

    int size() const { return node_count; }
    int features() const { return m; }
    // Nodes the storage holds before it must grow: whole blocks.
    int capacity() const { return node_capacity; }
    // Makes room for `nodes` nodes in all; false when memory ran out.
    bool reserve(int nodes);

    // Appends a node: fresh from a training pattern of M doubles when
    // from_template is 0, loaded from a template row otherwise. False when
    // memory ran out; the nodes already made are untouched then.
    bool node_init(const double* data, int label, int from_template);
    // Appends a copy of node k of `from` (of as many features), counting
    // no work: the same node in another place. False when memory ran out.
    bool copy_node(const CategoryNodes& from, int k);
    // Appends a trained node from a template row that an earlier training
    // exported, with the number of presentations it has coded: its prior
    // stays unset, so it chooses and learns as if training had never
    // stopped. False when memory ran out.
    bool node_resume(const double* row, int label, std::uint32_t coded);
    // Node k against pattern x.
    NodeMatch node_match(int k, const double* x) const;
    // The choice value of node k from its fields and the log_match that
    // node_match gave it for the pattern at hand.
    double node_choice(int k, double log_match) const;
    // Moves node k toward pattern x; raises its count and sets it active.
    void node_learn(int k, const double* x);
    // Writes node k as a template row and sets its prior.
    void node_to_template(int k, double* row);

    double mean(int k, int i) const { return means[slot(k, i)]; }
    double sigma(int k, int i) const { return sigmas[slot(k, i)]; }
    int label(int k) const { return fields[k].label; }
    bool active(int k) const { return fields[k].active != 0; }
    void set_active(int k, bool on) { fields[k].active = on ? 1 : 0; }
    std::uint32_t count(int k) const { return fields[k].count; }
    double prior(int k) const { return fields[k].prior; }  // -1.0 while unset
    // ln(prior) - sum of ln(sigma): loaded nodes.
    double log_const(int k) const { return fields[k].log_const; }
    // The other pattern-free parts of a choice value, kept current:
    // ln(count), and the sum of ln(sigma) over the features in order.
    double log_count(int k) const { return fields[k].log_count; }
    double sum_log_sigma(int k) const { return fields[k].sum_log_sigma; }

    NodeBlocks blocks() const
    {
        return {means,
                sigmas,
                (node_count + lanes - 1) / lanes,
                m,
                choice_a,
                choice_b,
                uses_presentations,
                flags,
                node_count,
                screen,
                screen_features,
                screen_count};
    }

    // The pieces of node_match and node_choice, out of line so that every
    // caller computes them with the same instructions: when a value is not
    // a number, which of two such operands survives (and so the sign that
    // is printed) is a matter of instruction order.
    double log_match_of(int k, const double* x) const;
    double sum_log_sigma_of(int k) const;
    static double trained_choice(double log_count, double log_presentations, double log_match, double sum_log_sigma);
    static double loaded_choice(double log_match, double log_const);

private:
    // Everything a node holds besides its vectors: adding a field here is
    // all it takes to store, grow and copy it.
    struct Fields {
        double prior;
        double log_const;
        double sum_log_sigma;
        double log_count;
        std::uint32_t count;
        std::int32_t active;
        std::int32_t label;
    };

    // Feature i of node k within the block storage of means and sigmas.
    std::size_t slot(int k, int i) const
    {
        return (static_cast<std::size_t>(k / lanes) * static_cast<std::size_t>(m) + static_cast<std::size_t>(i)) *
                   lanes +
               static_cast<std::size_t>(k % lanes);
    }
    bool grow_to(int new_capacity);
    // Refreshes node k's entries of the arrays beside the vectors.
    void refresh_choice_parts(int k);
    // Refreshes node k's screen entries.
    void refresh_screen(int k);
    // Called once node k is complete: chooses the screened features anew
    // whenever the node count reaches a power of four (from 16 on).
    void node_added(int k);
    void choose_screen();
    bool make_room();  // for one more node

    int m;
    int node_count = 0;
    int node_capacity = 0;
    double* means = nullptr;
    double* sigmas = nullptr;
    Fields* fields = nullptr;
    double* choice_a = nullptr;
    double* choice_b = nullptr;
    std::int64_t* uses_presentations = nullptr;
    std::uint8_t* flags = nullptr;
    int screen_count;
    std::int32_t screen_features[max_screen];
    std::uint32_t* screen = nullptr;
    void* vector_block = nullptr;
    void* field_block = nullptr;
};

// Appends to `grouped` (of as many features) the nodes of `from` grouped by
// class, in class order and node order within each class, counting no
// work: place g of the copy holds node order[g]. node_class gives each
// node's class in [0, classes); `start` is scratch of `classes` entries.
// False when memory ran out.
bool group_by_class(const CategoryNodes& from, const std::int32_t* node_class, int classes, std::int64_t* start,
                    std::int32_t* order, CategoryNodes& grouped);

// Loads one node per template row, in row order, each labelled by the
// integer conversion of its label, as both scoring commands do. False
// when memory ran out.
bool load_template_rows(CategoryNodes& nodes, int J, double* const* templates, const double* labels);

}  // namespace tarn
