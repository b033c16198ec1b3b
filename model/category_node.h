// The Gaussian category node shared by both commands, and the template row.
//
// A template row holds 2M+1 doubles: M means, M standard deviations, prior.
#pragma once

#include <cstdint>

namespace tarn {

// Process-wide model values of this plug-in, set by each command at the
// start of every call before any node is made.
extern std::int32_t feature_count;        // M
extern double initial_sigma;              // deviation of every feature of a fresh node
extern std::uint32_t presentation_total;  // N, presentations made so far in a training call

class CategoryNode {
public:
    double* mean;   // M means, owned by the node
    double* sigma;  // M standard deviations, owned by the node
    double prior;   // -1.0 while unset
    std::uint32_t count;
    std::int32_t active;
    std::int32_t label;
    double log_match;
    double log_const;
    double match_value;   // printed as MFV
    double choice_value;  // printed as CCF

    // Makes a node on the heap: fresh from a training pattern of M doubles
    // when from_template is 0, loaded from a template row otherwise. Null
    // when memory runs out; nothing is left allocated then.
    static CategoryNode* create(const double* data, int label, int from_template);
    // Releases the mean vector, the sigma vector, then the record.
    static void destroy(CategoryNode* node);

    void node_match(const double* x);
    void node_choice();
    void node_learn(const double* x);
    void node_to_template(double* row);

private:
    CategoryNode() = default;
    void node_init(const double* data, int label, int from_template);
};

}  // namespace tarn
