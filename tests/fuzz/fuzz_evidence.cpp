// Fuzz target: tarn_evidence on the stand-in host with arbitrary argument
// lists, now and then a failing allocation or an interrupt, on any
// matching path.
//
// Beyond the checks of every call (fuzz_input.h), a successful call must
// return K x C evidence and best choices, the C distinct converted labels
// ascending, and winners that are row numbers of the templates or 0; the
// evidence is -Inf exactly where the best choice is, and never below the
// best choice; and the same bits on the node-by-node matching path.
#include <cmath>
#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "model/integer.h"

namespace {

const harness::Command command{"TARN_EVIDENCE", mexFunction};

struct Built {
    int nlhs = 4;
    std::vector<fuzz::ArrayPtr> inputs;
};

Built build(fuzz::Bytes& in)
{
    auto any = [&in] { return in.number(); };
    Built b;
    fuzz::add_scoring_arguments(in, b.inputs);

    const std::size_t nrhs = fuzz::argument_count(in, 4, 5);
    while (b.inputs.size() < nrhs)
        b.inputs.push_back(fuzz::any_array(in, any));
    b.inputs.resize(nrhs);
    b.nlhs = static_cast<int>(fuzz::argument_count(in, 4, 5));
    return b;
}

void check_success(const Built& b, const standin::Outcome& outcome)
{
    using fuzz::expect;
    expect(b.inputs.size() == 4 && b.nlhs <= 4, command, "success with a wrong argument count");
    expect(outcome.console.empty(), command, "printed something");
    if (b.nlhs < 4)
        return;
    for (const auto& out : outcome.outputs)
        expect(out != nullptr, command, "an output slot left empty");
    const std::size_t K = standin::dims_of(b.inputs[3].get())[0];
    const auto classes = standin::values_of(outcome.outputs[1].get());
    const std::size_t C = classes.size();
    expect(standin::dims_of(outcome.outputs[0].get()) == std::vector<std::size_t>{K, C} &&
               standin::dims_of(outcome.outputs[1].get()) == std::vector<std::size_t>{C, 1} &&
               standin::dims_of(outcome.outputs[2].get()) == std::vector<std::size_t>{K, C} &&
               standin::dims_of(outcome.outputs[3].get()) == std::vector<std::size_t>{K, 1},
           command, "outputs not K x C, C x 1, K x C, K x 1");

    std::set<double> labels;
    for (double y : standin::values_of(b.inputs[1].get()))
        labels.insert(static_cast<double>(tarn::integer_from_double(y)));
    expect(std::vector<double>(labels.begin(), labels.end()) == classes, command,
           "classes are not the distinct converted labels, ascending");
    const auto log_evidence = standin::values_of(outcome.outputs[0].get());
    const auto best_choice = standin::values_of(outcome.outputs[2].get());
    for (std::size_t at = 0; at < log_evidence.size(); ++at) {
        const double e = log_evidence[at];
        const double b_value = best_choice[at];
        expect(std::isnan(e) == std::isnan(b_value), command, "evidence and best choice disagree on NaN");
        expect((e == -std::numeric_limits<double>::infinity()) == (b_value == -std::numeric_limits<double>::infinity()),
               command, "evidence and best choice disagree on -Inf");
        expect(std::isnan(e) || e >= b_value, command, "evidence below the best choice");
    }
    const double J = static_cast<double>(standin::dims_of(b.inputs[0].get())[0]);
    for (double w : standin::values_of(outcome.outputs[3].get()))
        expect(w >= 0 && w <= J && w == std::floor(w), command, "a winner that is no row of the templates");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return fuzz::fuzz_one(command, data, size, build, check_success);
}
