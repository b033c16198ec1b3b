// Test-side control of the stand-in host: build arrays, run a command as
// the host would, and look at what it printed, raised, allocated and left.
#pragma once

#include <cstddef>
#include <functional>
#include <initializer_list>
#include <memory>
#include <string>
#include <vector>

#include "mex.h"

namespace standin {

using MexEntry = void (*)(int, mxArray*[], int, const mxArray*[]);

// An array owned by the test. Values are given in column-major order.
struct Array;
using ArrayPtr = std::shared_ptr<mxArray>;

ArrayPtr make_array(mxClassID cls, std::vector<std::size_t> dims, const std::vector<double>& values = {},
                    bool complex = false, bool sparse = false);
// A rows x columns double matrix from values given row by row.
ArrayPtr matrix(std::size_t rows, std::size_t columns, const std::vector<double>& row_major);
ArrayPtr scalar(double value);
ArrayPtr column(const std::vector<double>& values);
ArrayPtr row(const std::vector<double>& values);

// The values of an array of any numeric or logical class, as doubles in
// column-major order (0 for other classes), and its extents.
std::vector<double> values_of(const mxArray* array);
std::vector<std::size_t> dims_of(const mxArray* array);
mxClassID class_of(const mxArray* array);

struct Outcome {
    bool raised = false;
    std::string error;                  // the text given to mexErrMsgTxt
    std::string console;                // everything printed
    std::vector<std::string> warnings;  // in order
    std::vector<ArrayPtr> outputs;      // the filled output slots (null where empty)
    unsigned long long work = 0;        // sum of the counts given to mexAddFlops
    std::vector<int> work_calls;        // each count given to mexAddFlops
    long host_allocations = 0;          // mxCalloc/mxRealloc/mxCreateNumericArray requests
    std::size_t reclaimed_blocks = 0;   // host blocks still held when the call ended
    bool inputs_unchanged = true;       // no input was written to
    long interrupt_polls = 0;           // times the command asked whether to stop
};

// Calls the entry as the host does: nlhs outputs, the given inputs.
Outcome call(MexEntry entry, int nlhs, const std::vector<ArrayPtr>& inputs);

// Runs `body` as if it were a command: the host's bookkeeping is the same,
// and blocks it leaves are reclaimed at the end.
Outcome within_call(const std::function<void()>& body);

// How a failing host allocation shows itself to the command: MATLAB's
// allocator answers null; Octave's raises an error of its own, which ends
// the call through the command's frames.
enum class HostFailure { null_answer, raised_error };
// The error text of a raised allocation failure.
extern const char* const host_allocation_error;

// Makes the k-th host allocation (1-based) of the next call fail; 0 = none.
void fail_host_allocation_at(long k, HostFailure how = HostFailure::null_answer);

// Makes the k-th poll (1-based) of the next call, and every later one of
// that call, find an interrupt pending, as when the user presses Ctrl-C;
// 0 = never.
void interrupt_at_poll(long k);

}  // namespace standin
