// tarn_score: classifies test patterns with the templates of tarn_learn.
//
//   Labels = tarn_score(Templates, NLabels, vigilance, Patterns,
//       unknown_label, decision_option, oflag)
#include "bridge/command.h"
#include "bridge/marshal.h"
#include "score/classify_patterns.h"

namespace {

using namespace tarn;

enum Input { TEMPLATES, NLABELS, VIGILANCE, PATTERNS, UNKNOWN_LABEL, DECISION_OPTION, OFLAG };
enum Output { LABELS };

const ArgumentRule rules[] = {
    rule::input_count(7, "%s: %d input arguments required."),
    rule::matrix(TEMPLATES, "%s: 1st input argument (Templates) must be  a two dimensional array (matrix)."),
    rule::real(TEMPLATES, "%s: 1st input argument (Templates) must be a real, full, numeric array."),
    rule::matrix(NLABELS, "%s: 2nd input argument (NLabels) must a vector."),
    rule::length_of(NLABELS, TEMPLATES, "%s: 2nd input argument (NLabels) must be of type  %dx1 or 1x%d."),
    rule::real(NLABELS, "%s: 2nd input argument (NLabels) must be a real, full, numeric array."),
    rule::scalar(VIGILANCE, "%s: 3rd input argument (vigilance) must be a scalar."),
    rule::real(VIGILANCE, "%s: 3rd input argument (vigilance) must be a real, full, numeric array."),
    rule::in_range(VIGILANCE, 0.0, 1.0, "%s: 3rd input argument (vigilance) must be in [0.0, 1.0]."),
    rule::matrix(PATTERNS, "%s: 4th input argument (Patterns) must be  a two dimensional array (matrix)."),
    rule::features_of(PATTERNS, TEMPLATES, "%s: 4th input argument (Patterns) must be of type  %dx%d."),
    rule::real(PATTERNS, "%s: 4th input argument (Patterns) must be a real, full, numeric array."),
    rule::scalar(UNKNOWN_LABEL, "%s: 5th input argument (unknown_label) must be a scalar."),
    rule::real(UNKNOWN_LABEL, "%s: 5th input argument (unknown_label) must be a real, full, numeric array."),
    rule::scalar(DECISION_OPTION, "%s: 6th input argument (decision_option) must be scalar."),
    rule::real(DECISION_OPTION, "%s: 6th input argument (decision_option) must be a real, full, numeric array."),
    rule::integer_in_range(DECISION_OPTION, 0, 1, "%s: 6th input argument (decision_option) must be 0 or 1."),
    rule::scalar(OFLAG, "%s: 7th input argument (oflag) must be scalar."),
    rule::real(OFLAG, "%s: 7th input argument (oflag) must be a real, full, numeric array."),
    rule::integer_in_range(OFLAG, 0, 3, "%s: 7th input argument (oflag) must be 0,1,2 or 3."),
    rule::output_count(1, "%s: %d output argument required."),
    // A loaded node with a negative or undefined prior would choose on data
    // it never had.
    rule::priors(TEMPLATES, "%s: 1st input argument (Templates) has a negative or undefined prior in row %d.",
                 "%s: 1st input argument (Templates) has no prior in row %d."),
};

RunStatus score(const Arguments& args, mxArray* plhs[])
{
    // Convert.
    ModelInputs in;
    if (!convert_model(args.array(TEMPLATES), args.array(NLABELS), args.array(PATTERNS), &in))
        return RunStatus::out_of_memory;

    // Classify.
    double* result = nullptr;
    const RunStatus status =
        classify_patterns(in.J, in.M, in.templates, in.labels, args.value(VIGILANCE), in.K, in.patterns,
                          args.integer(UNKNOWN_LABEL), args.integer(DECISION_OPTION), &result, args.integer(OFLAG));
    if (status != RunStatus::done)
        return status;

    // Build the output column.
    plhs[LABELS] = cArray1D_to_mxArray1D(in.K, result);
    return plhs[LABELS] != nullptr ? RunStatus::done : RunStatus::out_of_memory;
}

const Command command{"TARN_SCORE", rules, sizeof rules / sizeof rules[0], score};

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    run_command(command, nlhs, plhs, nrhs, prhs);
}
