// The entry of tarn_score under a name of its own, so that one test program
// can call several commands (see commands.h).
#define mexFunction tarn_score_entry
#include "score/score_entry.cpp"
