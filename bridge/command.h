// A command as the bridge runs it: its name, its argument rules and its
// run. Every entry is one call of run_command, which is where every call
// that does not succeed ends.
#pragma once

#include <cstddef>

#include "bridge/arguments.h"
#include "model/host.h"

namespace tarn {

struct Command {
    const char* name;  // upper case, as the messages begin
    const ArgumentRule* rules;
    std::size_t rule_count;
    // Converts the checked arguments, runs the core and builds the outputs,
    // placing each in its slot as soon as it exists. Whatever it returns,
    // nothing it made is left alive but blocks the host reclaims.
    RunStatus (*run)(const Arguments& args, mxArray* plhs[]);
};

// Checks the arguments, runs the command and, unless it succeeded, ends the
// call the way the host ends one: with the first failing check's message,
// the out-of-memory message or, on an interrupt, the host's own handling.
// By then every object of the command has been released.
void run_command(const Command& command, int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[]);

}  // namespace tarn
