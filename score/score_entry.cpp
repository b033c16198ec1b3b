// tarn_score: classifies test patterns with the templates of tarn_learn.
//
//   Labels = tarn_score(Templates, NLabels, vigilance, Patterns,
//       unknown_label, decision_option, oflag)
#include <cstddef>

#include "bridge/arguments.h"
#include "bridge/marshal.h"
#include "model/integer.h"
#include "score/classify_patterns.h"

namespace {

enum Input { TEMPLATES, NLABELS, VIGILANCE, PATTERNS, UNKNOWN_LABEL, DECISION_OPTION, OFLAG, INPUT_COUNT };

enum Output { LABELS, OUTPUT_COUNT };

const char* const command_name = "TARN_SCORE";

// The checked arguments, ready for classification.
struct Arguments {
    int J = 0;  // template rows
    int W = 0;  // template columns
    int M = 0;  // features
    int K = 0;  // test patterns
    double vigilance = 0.0;
    int unknown_label = 0;
    int decision_option = 0;
    int oflag = 0;
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

    const mxArray* templates = prhs[TEMPLATES];
    if (!matrix_test(templates)) {
        format_message(message, "%s: 1st input argument (Templates) must be  a two dimensional array (matrix).",
                       command_name);
        return false;
    }
    args->J = extents_of(templates).rows;
    args->W = extents_of(templates).columns;
    args->M = (args->W - 1) / 2;  // C division truncates toward zero: W = 0 gives 0
    if (!class_test(templates)) {
        format_message(message, "%s: 1st input argument (Templates) must be a real, full, numeric array.",
                       command_name);
        return false;
    }

    const mxArray* nlabels = prhs[NLABELS];
    if (!matrix_test(nlabels)) {
        format_message(message, "%s: 2nd input argument (NLabels) must a vector.", command_name);
        return false;
    }
    if (!vector_test(nlabels, args->J)) {
        format_message(message, "%s: 2nd input argument (NLabels) must be of type  %dx1 or 1x%d.", command_name,
                       args->J, args->J);
        return false;
    }
    if (!class_test(nlabels)) {
        format_message(message, "%s: 2nd input argument (NLabels) must be a real, full, numeric array.", command_name);
        return false;
    }

    double v = 0.0;
    if (!real_scalar(message, command_name, prhs[VIGILANCE], "%s: 3rd input argument (vigilance) must be a scalar.",
                     "%s: 3rd input argument (vigilance) must be a real, full, numeric array.", &v))
        return false;
    if (!(v >= 0.0 && v <= 1.0)) {
        format_message(message, "%s: 3rd input argument (vigilance) must be in [0.0, 1.0].", command_name);
        return false;
    }
    args->vigilance = v;

    const mxArray* patterns = prhs[PATTERNS];
    if (!matrix_test(patterns)) {
        format_message(message, "%s: 4th input argument (Patterns) must be  a two dimensional array (matrix).",
                       command_name);
        return false;
    }
    args->K = extents_of(patterns).rows;
    if (extents_of(patterns).columns != args->M) {
        format_message(message, "%s: 4th input argument (Patterns) must be of type  %dx%d.", command_name, args->K,
                       args->M);
        return false;
    }
    if (!class_test(patterns)) {
        format_message(message, "%s: 4th input argument (Patterns) must be a real, full, numeric array.", command_name);
        return false;
    }

    if (!integer_scalar(
            message, command_name, prhs[UNKNOWN_LABEL], "%s: 5th input argument (unknown_label) must be a scalar.",
            "%s: 5th input argument (unknown_label) must be a real, full, numeric array.", &args->unknown_label))
        return false;

    if (!integer_scalar(
            message, command_name, prhs[DECISION_OPTION], "%s: 6th input argument (decision_option) must be scalar.",
            "%s: 6th input argument (decision_option) must be a real, full, numeric array.", &args->decision_option))
        return false;
    if (args->decision_option != 0 && args->decision_option != 1) {
        format_message(message, "%s: 6th input argument (decision_option) must be 0 or 1.", command_name);
        return false;
    }

    if (!integer_scalar(message, command_name, prhs[OFLAG], "%s: 7th input argument (oflag) must be scalar.",
                        "%s: 7th input argument (oflag) must be a real, full, numeric array.", &args->oflag))
        return false;
    if (args->oflag < 0 || args->oflag > 3) {
        format_message(message, "%s: 7th input argument (oflag) must be 0,1,2 or 3.", command_name);
        return false;
    }

    if (nlhs != OUTPUT_COUNT) {
        format_message(message, "%s: %d output argument required.", command_name, OUTPUT_COUNT);
        return false;
    }
    return true;
}

// Every template row needs a prior of 0 or more in its column 2M: a loaded
// node with a negative or undefined one would choose on data it never had.
bool check_priors(char* message, const mxArray* templates, const Arguments& args)
{
    using namespace tarn;
    if (args.J > 0 && args.W == 0) {
        format_message(message, "%s: 1st input argument (Templates) has no prior in row %d.", command_name, 1);
        return false;
    }
    const auto rows = static_cast<std::size_t>(args.J);
    const std::size_t first = 2 * static_cast<std::size_t>(args.M) * rows;
    for (std::size_t j = 0; j < rows; ++j) {
        const double prior = element_value(templates, first + j);
        if (!(prior >= 0.0)) {
            format_message(message, "%s: 1st input argument (Templates) has a negative or undefined prior in row %d.",
                           command_name, static_cast<int>(j) + 1);
            return false;
        }
    }
    return true;
}

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    using namespace tarn;
    char message[message_buffer_size];

    // 1. Check every argument, in order, then the priors of the templates.
    Arguments args;
    if (!check_arguments(message, nlhs, nrhs, prhs, &args) || !check_priors(message, prhs[TEMPLATES], args)) {
        raise_message(message);
        return;
    }

    // 2. Convert. From here on every failure is exhausted memory.
    format_message(message, "%s: Not enough memory available; unable to run!", command_name);
    int J = 0;
    int W = 0;
    double** templates = mxArray2D_to_cArray2D(&J, &W, prhs[TEMPLATES]);
    if (templates == nullptr) {
        raise_message(message);
        return;
    }
    double* labels = mxArray1D_to_cArray1D(&J, prhs[NLABELS]);
    if (labels == nullptr) {
        raise_message(message);
        return;
    }
    int K = 0;
    int columns = 0;
    double** patterns = mxArray2D_to_cArray2D(&K, &columns, prhs[PATTERNS]);
    if (patterns == nullptr) {
        raise_message(message);
        return;
    }

    // 3. Classify.
    double* result = nullptr;
    if (classify_patterns(J, args.M, templates, labels, args.vigilance, K, patterns, args.unknown_label,
                          args.decision_option, &result, args.oflag) != RunStatus::done) {
        raise_message(message);
        return;
    }

    // 4. Build the output column.
    plhs[LABELS] = cArray1D_to_mxArray1D(K, result);
    if (plhs[LABELS] == nullptr) {
        raise_message(message);
        return;
    }
}
