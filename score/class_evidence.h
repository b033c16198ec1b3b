// The evidence for each class: for every test pattern and every class, the
// log of the sum of exp(choice value) over the class's nodes that pass the
// vigilance test, computed without underflow; the largest choice value of
// each class; and the node that winner-take-all selects.
#pragma once

#include "model/host.h"

namespace tarn {

struct ClassEvidence {
    int class_count = 0;             // C
    double* classes = nullptr;       // C host doubles: the distinct node labels, ascending
    double* log_evidence = nullptr;  // K x C host doubles, column by column
    double* best_choice = nullptr;   // K x C host doubles, column by column
    double* winner = nullptr;        // K host doubles: a node number from 1, or 0
};

// Weighs K patterns of M features against J template rows of 2M+1 doubles
// labelled by `labels`, whose priors are all 0 or more. On success every
// block of `*result` is a new host block that the caller owns; on any other
// status nothing of ours is left and `*result` is untouched.
RunStatus class_evidence(int J, int M, double* const* templates, const double* labels, double vigilance, int K,
                         double* const* patterns, ClassEvidence* result);

}  // namespace tarn
