// The one place that includes the host's MEX header. Which header that is
// (Octave's, MATLAB's or the test host's) is decided by the include path.
#pragma once

// Everything else in a plug-in is built with hidden visibility; the host's
// declarations, mexFunction among them, keep the default.
#if defined(__GNUC__)
#pragma GCC visibility push(default)
#endif
#include "mex.h"
#if defined(__GNUC__)
#pragma GCC visibility pop
#endif
