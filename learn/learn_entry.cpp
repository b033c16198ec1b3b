// tarn_learn: trains Gaussian ARTMAP category nodes on labelled patterns.
//
//   [Templates, NLabels, list_presentations] = tarn_learn(Patterns, PLabels,
//       vigilance, gamma, max_list_presentations, no_creation_flag,
//       trim_option, oflag)
#include <climits>

#include "bridge/command.h"
#include "bridge/marshal.h"
#include "learn/train_nodes.h"

namespace {

using namespace tarn;

enum Input { PATTERNS, PLABELS, VIGILANCE, GAMMA, MAX_LIST_PRESENTATIONS, NO_CREATION_FLAG, TRIM_OPTION, OFLAG };
enum Output { TEMPLATES, NLABELS, LIST_PRESENTATIONS };

const ArgumentRule rules[] = {
    rule::input_count(8, "%s: %d input arguments required."),
    rule::matrix(PATTERNS, "%s: 1st input argument (Patterns) must be  a two dimensional array (matrix)."),
    rule::real(PATTERNS, "%s: 1st input argument (Patterns) must be a real, full, numeric array."),
    rule::matrix(PLABELS, "%s: 2nd input argument (PLabels) must a vector."),
    rule::length_of(PLABELS, PATTERNS, "%s: 2nd input argument (PLabels) must be of type  %dx1 or 1x%d."),
    rule::real(PLABELS, "%s: 2nd input argument (PLabels) must be a real, full, numeric array."),
    rule::scalar(VIGILANCE, "%s: 3rd input argument (vigilance) must be a scalar."),
    rule::real(VIGILANCE, "%s: 3rd input argument (vigilance) must be a real, full, numeric array."),
    rule::in_range(VIGILANCE, 0.0, 1.0, "%s: 3rd input argument (vigilance) must be in [0,1]."),
    rule::scalar(GAMMA, "%s: 4th input argument (gamma) must be a scalar."),
    rule::real(GAMMA, "%s: 4th input argument (gamma) must be a real, full, numeric array."),
    rule::above(GAMMA, 0.0, "%s: 4th input argument (gamma) must bepositive.\n"),
    rule::scalar(MAX_LIST_PRESENTATIONS, "%s: 5th input argument (max_list_presentations) must be a scalar."),
    rule::real(MAX_LIST_PRESENTATIONS,
               "%s: 5th input argument (max_list_presentations) must be a real, full, numeric array."),
    rule::integer_in_range(MAX_LIST_PRESENTATIONS, 1, INT_MAX,
                           "%s: 5th input argument (max_list_presentations) must  be positive."),
    rule::scalar(NO_CREATION_FLAG, "%s: 6th input argument (no_creation_flag) must be a scalar."),
    rule::real(NO_CREATION_FLAG, "%s: 6th input argument (no_creation_flag) must be a real, full, numeric array."),
    rule::integer_in_range(NO_CREATION_FLAG, 0, 1, "%s: 6th input argument (no_creation_flag) must be either 0 or 1."),
    rule::scalar(TRIM_OPTION, "%s: 7th input argument (trim_option) must be a scalar."),
    rule::real(TRIM_OPTION, "%s: 7th input argument (trim_option) must be a real, full, numeric array."),
    rule::integer_in_range(TRIM_OPTION, 0, 1, "%s: 7th input argument (trim_option) must be either 0 or 1."),
    // oflag tells its two shape failures apart.
    rule::scalar(OFLAG, "%s: 8th input argument must be scalar.", "%s: 8th input argument (oflag) must be scalar."),
    rule::real(OFLAG, "%s: 8th input argument (oflag) must be a real, full, numeric array."),
    rule::integer_in_range(OFLAG, 0, 4, "%s: 8th input argument (oflag) must be 0,1,2,3 or 4."),
    rule::output_count(3, "%s: %d output arguments required."),
};

RunStatus learn(const Arguments& args, mxArray* plhs[])
{
    // Convert.
    if (2 * static_cast<long long>(args.columns(PATTERNS)) + 1 > INT_MAX)
        return RunStatus::out_of_memory;  // template rows this wide cannot be counted
    int P = 0;
    int M = 0;
    double** patterns = mxArray2D_to_cArray2D(&P, &M, args.array(PATTERNS));
    if (patterns == nullptr)
        return RunStatus::out_of_memory;
    int length = 0;
    double* labels = mxArray1D_to_cArray1D(&length, args.array(PLABELS));
    if (labels == nullptr)
        return RunStatus::out_of_memory;

    // Train.
    const TrainingParameters parameters{
        args.value(VIGILANCE),          args.value(GAMMA),         args.integer(MAX_LIST_PRESENTATIONS),
        args.integer(NO_CREATION_FLAG), args.integer(TRIM_OPTION), args.integer(OFLAG)};
    TrainingResult result;
    const RunStatus status = train_nodes(P, M, patterns, labels, parameters, &result);
    if (status != RunStatus::done)
        return status;

    // Build the outputs, each placed as soon as it exists.
    plhs[TEMPLATES] = cArray2D_to_mxArray2D(result.exported_count, 2 * M + 1, result.rows);
    if (plhs[TEMPLATES] == nullptr)
        return RunStatus::out_of_memory;
    plhs[NLABELS] = cArray1D_to_mxArray1D(result.exported_count, result.labels);
    if (plhs[NLABELS] == nullptr)
        return RunStatus::out_of_memory;
    plhs[LIST_PRESENTATIONS] = scalar_to_mxArray(static_cast<double>(result.list_presentations));
    return plhs[LIST_PRESENTATIONS] != nullptr ? RunStatus::done : RunStatus::out_of_memory;
}

const Command command{"TARN_LEARN", rules, sizeof rules / sizeof rules[0], learn};

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    run_command(command, nlhs, plhs, nrhs, prhs);
}
