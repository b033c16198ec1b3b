// The classification routine: loads the template rows as nodes, classifies
// each test pattern by winner-take-all (rule 0) or by per-label sums of the
// choice strengths (rule 1), prints the traces and the report.
#pragma once

#include "model/host.h"

namespace tarn {

// Classifies K patterns of M features against J template rows of 2M+1
// doubles labelled by `labels`. On success `*result` is a new host block of
// K predicted labels (unknown_label where no decision can be made) that the
// caller owns. On any other status every node and the label
// table have been released by then and `*result` is untouched.
RunStatus classify_patterns(int J, int M, double* const* templates, const double* labels, double vigilance, int K,
                            double* const* patterns, int unknown_label, int decision_option, double** result,
                            int oflag);

}  // namespace tarn
