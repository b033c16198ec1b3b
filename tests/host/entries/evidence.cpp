// The entry of tarn_evidence under a name of its own, so that one test program
// can call several commands (see commands.h).
#define mexFunction tarn_evidence_entry
#include "score/evidence_entry.cpp"
