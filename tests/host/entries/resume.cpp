// The entry of tarn_resume under a name of its own, so that one test program
// can call several commands (see commands.h).
#define mexFunction tarn_resume_entry
#include "learn/resume_entry.cpp"
