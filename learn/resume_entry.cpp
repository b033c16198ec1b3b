// tarn_resume: trains on from a model that tarn_learn (or an earlier
// tarn_resume) exported, exactly as if training had never stopped.
//
//   [Templates, NLabels, list_presentations, presentations, Active] =
//       tarn_resume(Templates, NLabels, presentations, Patterns, PLabels,
//       vigilance, gamma, max_list_presentations, no_creation_flag,
//       trim_option, oflag)
#include <climits>
#include <cstdint>
#include <cstdio>

#include "bridge/command.h"
#include "bridge/host_array.h"
#include "bridge/marshal.h"
#include "learn/train_nodes.h"
#include "model/category_nodes.h"

namespace {

using namespace tarn;

enum Input {
    TEMPLATES,
    NLABELS,
    PRESENTATIONS,
    PATTERNS,
    PLABELS,
    VIGILANCE,
    GAMMA,
    MAX_LIST_PRESENTATIONS,
    NO_CREATION_FLAG,
    TRIM_OPTION,
    OFLAG
};
enum Output { TEMPLATES_OUT, NLABELS_OUT, LIST_PRESENTATIONS_OUT, PRESENTATIONS_OUT, ACTIVE_OUT };

constexpr double largest_total = 4294967295.0;  // the presentation total is 32-bit

std::uint32_t presentations_of(const Arguments& args)
{
    return static_cast<std::uint32_t>(args.value(PRESENTATIONS));
}

// Templates has 2M+1 columns for the M of Patterns.
bool fits_patterns(const Arguments& args, int, char* text, std::size_t size)
{
    if (args.columns(TEMPLATES) == 2 * static_cast<long long>(args.columns(PATTERNS)) + 1)
        return true;
    std::snprintf(text, size, "received Patterns %dx%d and Templates %dx%d", args.rows(PATTERNS),
                  args.columns(PATTERNS), args.rows(TEMPLATES), args.columns(TEMPLATES));
    return false;
}

// Each prior times presentations is a node's count, and the counts add up
// to no more than presentations.
bool fits_presentations(const Arguments& args, int, char* text, std::size_t size)
{
    const std::uint32_t presentations = presentations_of(args);
    const int J = args.rows(TEMPLATES);
    const auto prior_column = static_cast<std::size_t>(args.columns(TEMPLATES) - 1) * static_cast<std::size_t>(J);
    std::uint64_t counts = 0;
    for (int j = 0; j < J; ++j) {
        const double prior = element_value(args.array(TEMPLATES), prior_column + static_cast<std::size_t>(j));
        const std::uint32_t count = recovered_count(prior, presentations);
        counts += count;
        char said_prior[32];
        char said_product[32];
        if (count == 0) {
            format_received(said_prior, sizeof said_prior, prior);
            format_received(said_product, sizeof said_product, prior * static_cast<double>(presentations));
            std::snprintf(text, size, "row %d: prior %s x %u presentations = %s, not a whole number of at least 1",
                          j + 1, said_prior, static_cast<unsigned>(presentations), said_product);
            return false;
        }
        if (counts > presentations) {
            std::snprintf(text, size, "the counts of rows 1 to %d (prior x presentations) add up to %llu, more than %u",
                          j + 1, static_cast<unsigned long long>(counts), static_cast<unsigned>(presentations));
            return false;
        }
    }
    return true;
}

// presentations + max_list_presentations x rows stays within 32 bits.
bool total_fits(const Arguments& args, int, char* text, std::size_t size)
{
    const auto most = static_cast<std::uint64_t>(presentations_of(args)) +
                      static_cast<std::uint64_t>(args.integer(MAX_LIST_PRESENTATIONS)) *
                          static_cast<std::uint64_t>(args.rows(PATTERNS));
    if (static_cast<double>(most) <= largest_total)
        return true;
    std::snprintf(text, size, "%u presentations + %d passes x %d rows = %llu would exceed 4294967295",
                  static_cast<unsigned>(presentations_of(args)), args.integer(MAX_LIST_PRESENTATIONS),
                  args.rows(PATTERNS), static_cast<unsigned long long>(most));
    return false;
}

const ArgumentRule rules[] = {
    rule::input_count(11, "%s: %d input arguments required; received %d."),
    rule::matrix(TEMPLATES, "%s: 1st input argument (Templates) must be a matrix; received an array of %d dimensions."),
    rule::real(TEMPLATES,
               "%s: 1st input argument (Templates) must be a real, full, numeric or logical array; received "
               "%s."),
    rule::matrix(NLABELS, "%s: 2nd input argument (NLabels) must be a vector; received an array of %d dimensions."),
    rule::length_of(NLABELS, TEMPLATES,
                    "%s: 2nd input argument (NLabels) must be %dx1 or 1x%d, one label per row of Templates; received "
                    "%dx%d."),
    rule::real(NLABELS,
               "%s: 2nd input argument (NLabels) must be a real, full, numeric or logical array; received %s."),
    rule::scalar(PRESENTATIONS, "%s: 3rd input argument (presentations) must be a scalar; received %dx%d.",
                 "%s: 3rd input argument (presentations) must be a scalar; received an array of %d dimensions."),
    rule::real(PRESENTATIONS, "%s: 3rd input argument (presentations) must be a real number; received %s."),
    rule::with_received(rule::whole_in_range(
        PRESENTATIONS, 0.0, largest_total,
        "%s: 3rd input argument (presentations) must be a whole number from 0 to 4294967295; received %s.")),
    rule::matrix(PATTERNS, "%s: 4th input argument (Patterns) must be a matrix; received an array of %d dimensions."),
    rule::described(PATTERNS, fits_patterns,
                    "%s: 4th input argument (Patterns) must have M columns for the 2M+1 of Templates; %s."),
    rule::real(PATTERNS,
               "%s: 4th input argument (Patterns) must be a real, full, numeric or logical array; received "
               "%s."),
    // Only now is the column of the priors known.
    rule::described(TEMPLATES, fits_presentations, "%s: Templates and presentations disagree: %s."),
    rule::matrix(PLABELS, "%s: 5th input argument (PLabels) must be a vector; received an array of %d dimensions."),
    rule::length_of(PLABELS, PATTERNS,
                    "%s: 5th input argument (PLabels) must be %dx1 or 1x%d, one label per row of Patterns; received "
                    "%dx%d."),
    rule::real(PLABELS,
               "%s: 5th input argument (PLabels) must be a real, full, numeric or logical array; received %s."),
    rule::scalar(VIGILANCE, "%s: 6th input argument (vigilance) must be a scalar; received %dx%d.",
                 "%s: 6th input argument (vigilance) must be a scalar; received an array of %d dimensions."),
    rule::real(VIGILANCE, "%s: 6th input argument (vigilance) must be a real number; received %s."),
    rule::with_received(
        rule::in_range(VIGILANCE, 0.0, 1.0, "%s: 6th input argument (vigilance) must be in [0, 1]; received %s.")),
    rule::scalar(GAMMA, "%s: 7th input argument (gamma) must be a scalar; received %dx%d.",
                 "%s: 7th input argument (gamma) must be a scalar; received an array of %d dimensions."),
    rule::real(GAMMA, "%s: 7th input argument (gamma) must be a real number; received %s."),
    rule::with_received(rule::above(GAMMA, 0.0, "%s: 7th input argument (gamma) must be positive; received %s.")),
    rule::scalar(MAX_LIST_PRESENTATIONS,
                 "%s: 8th input argument (max_list_presentations) must be a scalar; received %dx%d.",
                 "%s: 8th input argument (max_list_presentations) must be a scalar; received an array of %d "
                 "dimensions."),
    rule::real(MAX_LIST_PRESENTATIONS,
               "%s: 8th input argument (max_list_presentations) must be a real number; "
               "received %s."),
    rule::with_received(rule::integer_in_range(
        MAX_LIST_PRESENTATIONS, 1, INT_MAX,
        "%s: 8th input argument (max_list_presentations) must be from 1 to 2147483647; received %s.")),
    rule::described(MAX_LIST_PRESENTATIONS, total_fits,
                    "%s: 8th input argument (max_list_presentations) is too large: %s."),
    rule::scalar(NO_CREATION_FLAG, "%s: 9th input argument (no_creation_flag) must be a scalar; received %dx%d.",
                 "%s: 9th input argument (no_creation_flag) must be a scalar; received an array of %d dimensions."),
    rule::real(NO_CREATION_FLAG, "%s: 9th input argument (no_creation_flag) must be a real number; received %s."),
    rule::with_received(rule::integer_in_range(
        NO_CREATION_FLAG, 0, 1, "%s: 9th input argument (no_creation_flag) must be 0 or 1; received %s.")),
    rule::scalar(TRIM_OPTION, "%s: 10th input argument (trim_option) must be a scalar; received %dx%d.",
                 "%s: 10th input argument (trim_option) must be a scalar; received an array of %d dimensions."),
    rule::real(TRIM_OPTION, "%s: 10th input argument (trim_option) must be a real number; received %s."),
    rule::with_received(rule::integer_in_range(TRIM_OPTION, 0, 1,
                                               "%s: 10th input argument (trim_option) must be 0 or 1; received %s.")),
    rule::scalar(OFLAG, "%s: 11th input argument (oflag) must be a scalar; received %dx%d.",
                 "%s: 11th input argument (oflag) must be a scalar; received an array of %d dimensions."),
    rule::real(OFLAG, "%s: 11th input argument (oflag) must be a real number; received %s."),
    rule::with_received(
        rule::integer_in_range(OFLAG, 0, 4, "%s: 11th input argument (oflag) must be 0, 1, 2, 3 or 4; received %s.")),
    rule::outputs_at_most(5, "%s: at most %d output arguments; received %d."),
};

// A 1 x 1 output.
RunStatus resume(const Arguments& args, mxArray* plhs[])
{
    // Convert.
    ModelInputs in;
    if (!convert_model(args.array(TEMPLATES), args.array(NLABELS), args.array(PATTERNS), &in))
        return RunStatus::out_of_memory;
    int P = in.K;
    const int M = in.M;
    double* labels = mxArray1D_to_cArray1D(&P, args.array(PLABELS));
    if (labels == nullptr)
        return RunStatus::out_of_memory;

    // Train on.
    const TrainingParameters parameters{
        args.value(VIGILANCE),          args.value(GAMMA),         args.integer(MAX_LIST_PRESENTATIONS),
        args.integer(NO_CREATION_FLAG), args.integer(TRIM_OPTION), args.integer(OFLAG)};
    const int wanted = args.nlhs > 1 ? args.nlhs : 1;  // ans at least
    TrainingResult result;
    const RunStatus status =
        resume_training(in.J, in.templates, in.labels, presentations_of(args), TrainingSet{P, M, in.patterns, labels},
                        parameters, wanted > ACTIVE_OUT, &result);
    if (status != RunStatus::done)
        return status;

    // Build the outputs asked for, each placed as soon as it exists.
    plhs[TEMPLATES_OUT] = cArray2D_to_mxArray2D(result.exported_count, 2 * M + 1, result.rows);
    if (plhs[TEMPLATES_OUT] == nullptr)
        return RunStatus::out_of_memory;
    if (wanted <= NLABELS_OUT) {
        host_free(result.labels);
        return RunStatus::done;
    }
    plhs[NLABELS_OUT] = cArray1D_to_mxArray1D(result.exported_count, result.labels);
    if (plhs[NLABELS_OUT] == nullptr)
        return RunStatus::out_of_memory;
    const double scalars[] = {static_cast<double>(result.list_presentations),
                              static_cast<double>(result.presentation_total)};
    for (int k = LIST_PRESENTATIONS_OUT; k < wanted && k <= PRESENTATIONS_OUT; ++k) {
        plhs[k] = scalar_to_mxArray(scalars[k - LIST_PRESENTATIONS_OUT]);
        if (plhs[k] == nullptr)
            return RunStatus::out_of_memory;
    }
    if (wanted > ACTIVE_OUT) {
        plhs[ACTIVE_OUT] = cArray1D_to_mxArray1D(result.exported_count, result.active);
        if (plhs[ACTIVE_OUT] == nullptr)
            return RunStatus::out_of_memory;
    }
    return RunStatus::done;
}

const Command command{"TARN_RESUME", rules, sizeof rules / sizeof rules[0], resume};

}  // namespace

void mexFunction(int nlhs, mxArray* plhs[], int nrhs, const mxArray* prhs[])
{
    run_command(command, nlhs, plhs, nrhs, prhs);
}
