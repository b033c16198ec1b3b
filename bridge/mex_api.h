// The one place that includes the host's headers. Which MEX header that is
// (Octave's, MATLAB's or the test host's) is decided by the include path.
#pragma once

// Everything else in a plug-in is built with hidden visibility; the host's
// declarations, mexFunction among them, keep the default.
#if defined(__GNUC__)
#pragma GCC visibility push(default)
#endif
#include "mex.h"
#if defined(HAVE_OCTAVE)
// octave_signal_caught, octave_interrupt_state, octave_quit and the
// exception that unwinds an interrupted call (exported by liboctave).
#include "quit.h"
#else
// The interrupt flag of MATLAB (libut), which declares it nowhere; the
// test host provides it too.
extern "C" bool utIsInterruptPending();
#endif
#if defined(__GNUC__)
#pragma GCC visibility pop
#endif
