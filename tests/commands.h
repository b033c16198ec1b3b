// Every command in one test program: the entries under names of their own
// (tests/host/entries/), as the test harness calls them.
#pragma once

#include "harness.h"

extern "C" {
void tarn_learn_entry(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);
void tarn_score_entry(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);
void tarn_resume_entry(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);
void tarn_evidence_entry(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);
}

namespace commands {

const harness::Command learn{"TARN_LEARN", tarn_learn_entry};
const harness::Command score{"TARN_SCORE", tarn_score_entry};
const harness::Command resume{"TARN_RESUME", tarn_resume_entry};
const harness::Command evidence{"TARN_EVIDENCE", tarn_evidence_entry};

}  // namespace commands
