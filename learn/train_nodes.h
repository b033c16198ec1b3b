// The training routine: list presentations, then trimming, report, export.
// Training from nothing (tarn_learn) and training on from an exported
// model (tarn_resume) are the same loop: the first starts it with no nodes
// and no presentations.
#pragma once

#include <cstdint>

#include "model/host.h"

namespace tarn {

class CategoryNodes;

struct TrainingParameters {
    double vigilance;
    double gamma;
    int max_list_presentations;
    int no_creation_flag;
    int trim_option;
    int oflag;
};

struct TrainingResult {
    int exported_count = 0;
    double** rows = nullptr;   // exported_count host rows of 2M+1 doubles
    double* labels = nullptr;  // exported_count host doubles
    int list_presentations = 0;
    std::uint32_t presentation_total = 0;  // of the whole model, earlier ones included
    // When asked for: exported_count host doubles, 1 for each exported node
    // created or updated during the last pass, 0 for the others.
    double* active = nullptr;
};

// The patterns of one call: P rows of M features and their labels.
struct TrainingSet {
    int P;
    int M;
    double* const* patterns;
    const double* labels;
};

// Trains on from `nodes`, trained nodes that have coded `presentations`
// presentations in all (none and 0 to train from scratch). Unless it
// returns done, `result` holds nothing by then; the nodes are the caller's.
RunStatus continue_training(CategoryNodes& nodes, std::uint32_t presentations, const TrainingSet& set,
                            const TrainingParameters& parameters, bool want_active, TrainingResult* result);

// Trains on P patterns of M features from scratch. Unless it returns done,
// every node has been released by then and `result` holds nothing.
RunStatus train_nodes(int P, int M, double* const* patterns, const double* labels, const TrainingParameters& parameters,
                      TrainingResult* result);

// Trains on from an exported model: J template rows of 2M+1 doubles and
// their labels, each row's prior times `presentations` giving its node's
// count (recovered_count, which the caller has checked for every row).
RunStatus resume_training(int J, double* const* templates, const double* template_labels, std::uint32_t presentations,
                          const TrainingSet& set, const TrainingParameters& parameters, bool want_active,
                          TrainingResult* result);

}  // namespace tarn
