// tarn_learn: trains Gaussian ARTMAP category nodes on labelled patterns.
//
//   [Templates, NLabels, list_presentations] = tarn_learn(Patterns, PLabels,
//       vigilance, gamma, max_list_presentations, no_creation_flag,
//       trim_option, oflag)
#include "bridge/arguments.h"
#include "bridge/marshal.h"
#include "learn/train_nodes.h"
#include "model/host.h"
#include "model/integer.h"

#include <climits>

namespace {

enum Input {
    PATTERNS,
    PLABELS,
    VIGILANCE,
    GAMMA,
    MAX_LIST_PRESENTATIONS,
    NO_CREATION_FLAG,
    TRIM_OPTION,
    OFLAG,
    INPUT_COUNT
};

enum Output { TEMPLATES, NLABELS, LIST_PRESENTATIONS, OUTPUT_COUNT };

const char* const command_name = "TARN_LEARN";

// The checked arguments, ready for training.
struct Arguments {
    int P = 0;
    int M = 0;
    tarn::TrainingParameters parameters{};
};

// Runs every check in order; on the first failure the message is in the
// buffer and the result is false.
bool check_arguments(char* message, int nlhs, int nrhs, const mxArray* prhs[], Arguments* args)
{
    using namespace tarn;
    if (nrhs != INPUT_COUNT) {
        format_message(message, "%s: %d input arguments required.", command_name, INPUT_COUNT);
        return false;
    }

    const mxArray* patterns = prhs[PATTERNS];
    if (!matrix_test(patterns)) {
        format_message(message, "%s: 1st input argument (Patterns) must be  a two dimensional array (matrix).",
                       command_name);
        return false;
    }
    args->P = extents_of(patterns).rows;
    args->M = extents_of(patterns).columns;
    if (!class_test(patterns)) {
        format_message(message, "%s: 1st input argument (Patterns) must be a real, full, numeric array.", command_name);
        return false;
    }

    const mxArray* plabels = prhs[PLABELS];
    if (!matrix_test(plabels)) {
        format_message(message, "%s: 2nd input argument (PLabels) must a vector.", command_name);
        return false;
    }
    if (!vector_test(plabels, args->P)) {
        format_message(message, "%s: 2nd input argument (PLabels) must be of type  %dx1 or 1x%d.", command_name,
                       args->P, args->P);
        return false;
    }
    if (!class_test(plabels)) {
        format_message(message, "%s: 2nd input argument (PLabels) must be a real, full, numeric array.", command_name);
        return false;
    }

    double v = 0.0;
    if (!real_scalar(message, command_name, prhs[VIGILANCE], "%s: 3rd input argument (vigilance) must be a scalar.",
                     "%s: 3rd input argument (vigilance) must be a real, full, numeric array.", &v))
        return false;
    if (!(v >= 0.0 && v <= 1.0)) {
        format_message(message, "%s: 3rd input argument (vigilance) must be in [0,1].", command_name);
        return false;
    }
    args->parameters.vigilance = v;

    double g = 0.0;
    if (!real_scalar(message, command_name, prhs[GAMMA], "%s: 4th input argument (gamma) must be a scalar.",
                     "%s: 4th input argument (gamma) must be a real, full, numeric array.", &g))
        return false;
    if (!(g > 0.0)) {
        format_message(message, "%s: 4th input argument (gamma) must bepositive.\n", command_name);
        return false;
    }
    args->parameters.gamma = g;

    int& max_passes = args->parameters.max_list_presentations;
    if (!integer_scalar(message, command_name, prhs[MAX_LIST_PRESENTATIONS],
                        "%s: 5th input argument (max_list_presentations) must be a scalar.",
                        "%s: 5th input argument (max_list_presentations) must be a real, full, numeric array.",
                        &max_passes))
        return false;
    if (max_passes < 1) {
        format_message(message, "%s: 5th input argument (max_list_presentations) must  be positive.", command_name);
        return false;
    }

    int& no_creation = args->parameters.no_creation_flag;
    if (!integer_scalar(message, command_name, prhs[NO_CREATION_FLAG],
                        "%s: 6th input argument (no_creation_flag) must be a scalar.",
                        "%s: 6th input argument (no_creation_flag) must be a real, full, numeric array.", &no_creation))
        return false;
    if (no_creation != 0 && no_creation != 1) {
        format_message(message, "%s: 6th input argument (no_creation_flag) must be either 0 or 1.", command_name);
        return false;
    }

    int& trim = args->parameters.trim_option;
    if (!integer_scalar(message, command_name, prhs[TRIM_OPTION],
                        "%s: 7th input argument (trim_option) must be a scalar.",
                        "%s: 7th input argument (trim_option) must be a real, full, numeric array.", &trim))
        return false;
    if (trim != 0 && trim != 1) {
        format_message(message, "%s: 7th input argument (trim_option) must be either 0 or 1.", command_name);
        return false;
    }

    // oflag tells its two shape failures apart.
    const mxArray* oflag = prhs[OFLAG];
    if (!matrix_test(oflag)) {
        format_message(message, "%s: 8th input argument (oflag) must be scalar.", command_name);
        return false;
    }
    int& level = args->parameters.oflag;
    if (!integer_scalar(message, command_name, oflag, "%s: 8th input argument must be scalar.",
                        "%s: 8th input argument (oflag) must be a real, full, numeric array.", &level))
        return false;
    if (level < 0 || level > 4) {
        format_message(message, "%s: 8th input argument (oflag) must be 0,1,2,3 or 4.", command_name);
        return false;
    }

    if (nlhs != OUTPUT_COUNT) {
        format_message(message, "%s: %d output arguments required.", command_name, OUTPUT_COUNT);
        return false;
    }
    return true;
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    using namespace tarn;
    char message[message_buffer_size];

    // 1. Check every argument, in order.
    Arguments args;
    if (!check_arguments(message, nlhs, nrhs, prhs, &args)) {
        raise_message(message);
        return;
    }

    // 2. Convert. From here on every failure is exhausted memory.
    format_message(message, "%s: Not enough memory available; unable to run!", command_name);
    if (2 * static_cast<long long>(args.M) + 1 > INT_MAX) {
        raise_message(message);  // template rows this wide cannot be counted
        return;
    }
    int P = 0;
    int M = 0;
    double** patterns = mxArray2D_to_cArray2D(&P, &M, prhs[PATTERNS]);
    if (patterns == nullptr) {
        raise_message(message);
        return;
    }
    int length = 0;
    double* labels = mxArray1D_to_cArray1D(&length, prhs[PLABELS]);
    if (labels == nullptr) {
        raise_message(message);
        return;
    }

    // 3. Train.
    TrainingResult result;
    if (train_nodes(P, M, patterns, labels, args.parameters, &result) != RunStatus::done) {
        raise_message(message);
        return;
    }

    // 4. Build the outputs, each placed as soon as it exists.
    plhs[TEMPLATES] = cArray2D_to_mxArray2D(result.exported_count, 2 * M + 1, result.rows);
    if (plhs[TEMPLATES] == nullptr) {
        raise_message(message);
        return;
    }
    plhs[NLABELS] = cArray1D_to_mxArray1D(result.exported_count, result.labels);
    if (plhs[NLABELS] == nullptr) {
        raise_message(message);
        return;
    }
    auto* passes = static_cast<double*>(host_calloc(1, sizeof(double)));
    if (passes == nullptr) {
        raise_message(message);
        return;
    }
    passes[0] = static_cast<double>(result.list_presentations);
    plhs[LIST_PRESENTATIONS] = cArray1D_to_mxArray1D(1, passes);
    if (plhs[LIST_PRESENTATIONS] == nullptr) {
        raise_message(message);
        return;
    }
}
