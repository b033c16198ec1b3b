// The entry of tarn_learn under a name of its own, so that one test program
// can call several commands (see commands.h).
#define mexFunction tarn_learn_entry
#include "learn/learn_entry.cpp"
