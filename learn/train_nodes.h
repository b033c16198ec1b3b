// The training routine: list presentations, then trimming, report, export.
#pragma once

#include "model/host.h"

namespace tarn {

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
};

// Trains on P patterns of M features. Unless it returns done,
// every node has been released by then and `result` holds nothing.
RunStatus train_nodes(int P, int M, double* const* patterns, const double* labels, const TrainingParameters& parameters,
                      TrainingResult* result);

}  // namespace tarn
