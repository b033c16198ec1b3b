// tarn_evidence: the evidence the templates of tarn_learn give each class
// for each test pattern.
//
//   [LogEvidence, Classes, BestChoice, Winner] = tarn_evidence(Templates,
//       NLabels, vigilance, Patterns)
#include "bridge/command.h"
#include "bridge/marshal.h"
#include "score/class_evidence.h"

namespace {

using namespace tarn;

enum Input { TEMPLATES, NLABELS, VIGILANCE, PATTERNS };
enum Output { LOG_EVIDENCE, CLASSES, BEST_CHOICE, WINNER };

const ArgumentRule rules[] = {
    rule::input_count(4, "%s: %d input arguments required; received %d."),
    rule::matrix(TEMPLATES, "%s: 1st input argument (Templates) must be a matrix; received an array of %d dimensions."),
    rule::real(TEMPLATES,
               "%s: 1st input argument (Templates) must be a real, full, numeric or logical array; received "
               "%s."),
    // A node with a negative or undefined prior would choose on data it
    // never had.
    rule::priors(TEMPLATES, "%s: 1st input argument (Templates) must have priors of 0 or more; row %d has %s.",
                 "%s: 1st input argument (Templates) must have a column of priors; row %d has no column."),
    rule::matrix(NLABELS, "%s: 2nd input argument (NLabels) must be a vector; received an array of %d dimensions."),
    rule::length_of(NLABELS, TEMPLATES,
                    "%s: 2nd input argument (NLabels) must be %dx1 or 1x%d, one label per row of Templates; received "
                    "%dx%d."),
    rule::real(NLABELS,
               "%s: 2nd input argument (NLabels) must be a real, full, numeric or logical array; received %s."),
    rule::scalar(VIGILANCE, "%s: 3rd input argument (vigilance) must be a scalar; received %dx%d.",
                 "%s: 3rd input argument (vigilance) must be a scalar; received an array of %d dimensions."),
    rule::real(VIGILANCE, "%s: 3rd input argument (vigilance) must be a real number; received %s."),
    rule::with_received(
        rule::in_range(VIGILANCE, 0.0, 1.0, "%s: 3rd input argument (vigilance) must be in [0, 1]; received %s.")),
    rule::matrix(PATTERNS, "%s: 4th input argument (Patterns) must be a matrix; received an array of %d dimensions."),
    rule::features_of(PATTERNS, TEMPLATES,
                      "%s: 4th input argument (Patterns) must be %dx%d to match Templates; received %dx%d, with "
                      "Templates %dx%d."),
    rule::real(PATTERNS,
               "%s: 4th input argument (Patterns) must be a real, full, numeric or logical array; received "
               "%s."),
    rule::outputs_at_most(4, "%s: at most %d output arguments; received %d."),
};

RunStatus evidence(const Arguments& args, mxArray* plhs[])
{
    // Convert.
    ModelInputs in;
    if (!convert_model(args.array(TEMPLATES), args.array(NLABELS), args.array(PATTERNS), &in))
        return RunStatus::out_of_memory;

    // Weigh.
    ClassEvidence result;
    const RunStatus status =
        class_evidence(in.J, in.M, in.templates, in.labels, args.value(VIGILANCE), in.K, in.patterns, &result);
    if (status != RunStatus::done)
        return status;

    // Build the outputs asked for (ans at least), each placed as soon as it
    // exists; the blocks of the others go back to the host.
    const int C = result.class_count;
    const int wanted = args.nlhs > 1 ? args.nlhs : 1;
    double* blocks[] = {result.log_evidence, result.classes, result.best_choice, result.winner};
    const int rows[] = {in.K, C, in.K, in.K};
    const int columns[] = {C, 1, C, 1};
    for (int k = 0; k < 4; ++k) {
        if (k >= wanted) {
            host_free(blocks[k]);
            continue;
        }
        plhs[k] = cBlock_to_mxArray2D(rows[k], columns[k], blocks[k]);
        if (plhs[k] == nullptr)
            return RunStatus::out_of_memory;
    }
    return RunStatus::done;
}

const Command command{"TARN_EVIDENCE", rules, sizeof rules / sizeof rules[0], evidence};

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    run_command(command, nlhs, plhs, nrhs, prhs);
}
