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

class CategoryNodes {
public:
    static constexpr int lanes = 8;

    // An empty set of nodes of `features` features each; allocates nothing.
    explicit CategoryNodes(int features);
    ~CategoryNodes();
    CategoryNodes(const CategoryNodes&) = delete;
    CategoryNodes& operator=(const CategoryNodes&) = delete;

    int size() const { return node_count; }
    int features() const { return m; }

    // Makes room for `nodes` nodes in all; false when memory ran out.
    bool reserve(int nodes);

    // Appends a node: fresh from a training pattern of M doubles when
    // from_template is 0, loaded from a template row otherwise. False when
    // memory ran out; the nodes already made are untouched then.
    bool node_init(const double* data, int label, int from_template);
    // Sets log_match and match_value of node k for pattern x.
    void node_match(int k, const double* x);
    // Sets choice_value of node k from its fields and its latest log_match.
    void node_choice(int k);
    // Moves node k toward pattern x; raises its count and sets it active.
    void node_learn(int k, const double* x);
    // Writes node k as a template row and sets its prior.
    void node_to_template(int k, double* row);

    // The pieces of node_match and node_choice, out of line so that every
    // caller computes them with the same instructions: when a value is not
    // a number, which of two such operands survives (and so the sign that
    // is printed) is a matter of instruction order.
    double log_match_of(int k, const double* x) const;
    double sum_log_sigma_of(int k) const;
    static double trained_choice(double log_count, double log_presentations, double log_match, double sum_log_sigma);
    static double loaded_choice(double log_match, double log_const);

    // Gives back every node.
    void release();

    double mean(int k, int i) const { return means[slot(k, i)]; }
    double sigma(int k, int i) const { return sigmas[slot(k, i)]; }

    // Feature i of node k within the block storage of means and sigmas.
    static std::size_t slot(int k, int i, int features)
    {
        return (static_cast<std::size_t>(k / lanes) * static_cast<std::size_t>(features) +
                static_cast<std::size_t>(i)) *
                   lanes +
               static_cast<std::size_t>(k % lanes);
    }
    std::size_t slot(int k, int i) const { return slot(k, i, m); }

    // Block storage: capacity / lanes blocks of M x lanes doubles each.
    double* means = nullptr;
    double* sigmas = nullptr;

    // Per-node fields, index k for node k.
    double* prior = nullptr;          // -1.0 while unset
    double* log_const = nullptr;      // ln(prior) - sum of ln(sigma), loaded nodes
    double* sum_log_sigma = nullptr;  // sum of ln(sigma) over the features in order, kept current
    double* log_count = nullptr;      // ln(count), kept current for trained nodes
    double* log_match = nullptr;      // -1/2 the squared normalised distance to the latest pattern
    double* match_value = nullptr;    // exp(log_match), printed as MFV
    double* choice_value = nullptr;   // printed as CCF
    std::uint32_t* count = nullptr;
    std::int32_t* active = nullptr;
    std::int32_t* label = nullptr;
    std::uint8_t* passed = nullptr;      // vigilance test result for the latest pattern
    std::uint8_t* block_open = nullptr;  // per block: some node may still pass the latest pattern

private:
    bool grow_to(int new_capacity);
    void refresh_sum_log_sigma(int k);

    int m;
    int node_count = 0;
    int capacity = 0;
    void* vector_block = nullptr;
    void* field_block = nullptr;
};

}  // namespace tarn
