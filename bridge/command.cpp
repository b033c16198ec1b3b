#include "bridge/command.h"

namespace tarn {

namespace {

// Octave ends an interrupted call itself: a pending Ctrl-C unwinds it back
// to the prompt and a pending SIGTERM ends the process; an interrupt taken
// already is thrown again. On other hosts the call ends with its message.
void end_interrupted_call()
{
#if defined(HAVE_OCTAVE)
    octave_quit();
    throw octave::interrupt_exception();
#endif
}

}  // namespace

void run_command(const Command& command, int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    char message[message_buffer_size];
    const Arguments args{nlhs, nrhs, prhs};
    if (check_arguments(command.rules, command.rule_count, args, command.name, message)) {
        // Every object of the run has been released when it returns.
        const RunStatus status = command.run(args, plhs);
        if (status == RunStatus::done)
            return;
        if (status == RunStatus::interrupted)
            end_interrupted_call();
        format_message(
            message,
            status == RunStatus::interrupted ? "%s: Interrupted." : "%s: Not enough memory available; unable to run!",
            command.name);
    }
    // The one point where a call of any command fails.
    mexErrMsgTxt(message);
}

}  // namespace tarn
