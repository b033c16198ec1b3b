// Fuzz target: tarn_learn on the stand-in host with arbitrary argument
// lists, now and then a failing allocation, on any matching path.
//
// Beyond the checks of every call (fuzz_input.h), a successful call must
// return what the command promises: E x (2M+1) templates, E x 1 labels and
// a 1 x 1 pass count within the allowed passes, with at most one node per
// presentation, priors that are shares of the presentations, deviations
// that are not negative and whole-number labels; and the same bits on the
// node-by-node matching path as on the fast one.
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "model/integer.h"

namespace {

const harness::Command command{"TARN_LEARN", mexFunction};

struct Built {
    int nlhs = 3;
    std::vector<fuzz::ArrayPtr> inputs;
};

Built build(fuzz::Bytes& in)
{
    const std::size_t P = in.below(6);
    const std::size_t M = in.below(4);
    auto any = [&in] { return in.number(); };
    Built b;
    fuzz::add_training_arguments(in, P, M, b.inputs);

    const std::size_t nrhs = fuzz::argument_count(in, 8, 9);
    while (b.inputs.size() < nrhs)
        b.inputs.push_back(fuzz::any_array(in, any));
    b.inputs.resize(nrhs);
    b.nlhs = static_cast<int>(fuzz::argument_count(in, 3, 4));
    return b;
}

// The value of a scalar argument that the command accepted.
double scalar(const fuzz::ArrayPtr& array)
{
    return mxGetScalar(array.get());
}

void check_success(const Built& b, const standin::Outcome& outcome)
{
    using fuzz::expect;
    expect(b.inputs.size() == 8 && b.nlhs == 3, command, "success with a wrong argument count");
    expect(outcome.outputs.size() == 3 && outcome.outputs[0] && outcome.outputs[1] && outcome.outputs[2], command,
           "an output slot left empty");
    const auto patterns = standin::dims_of(b.inputs[0].get());
    const std::size_t P = patterns.at(0);
    const std::size_t M = patterns.at(1);
    const auto templates = standin::dims_of(outcome.outputs[0].get());
    expect(templates.size() == 2 && templates[1] == 2 * M + 1, command, "templates not E x (2M+1)");
    const std::size_t E = templates[0];
    expect(standin::dims_of(outcome.outputs[1].get()) == std::vector<std::size_t>{E, 1}, command, "labels not E x 1");
    expect(standin::dims_of(outcome.outputs[2].get()) == std::vector<std::size_t>{1, 1}, command,
           "pass count not 1 x 1");
    for (int k = 0; k < 3; ++k)
        expect(standin::class_of(outcome.outputs[k].get()) == mxDOUBLE_CLASS, command, "an output not double");

    const double passes = standin::values_of(outcome.outputs[2].get())[0];
    const int allowed = tarn::integer_from_double(scalar(b.inputs[4]));
    expect(passes >= 1 && passes <= allowed && passes == static_cast<int>(passes), command, "pass count out of range");
    expect(E <= P * static_cast<std::size_t>(passes), command, "more nodes than presentations");

    // Node labels are whole numbers made from the pattern labels.
    std::set<double> converted;
    for (double y : standin::values_of(b.inputs[1].get()))
        converted.insert(static_cast<double>(tarn::integer_from_double(y)));
    for (double label : standin::values_of(outcome.outputs[1].get()))
        expect(converted.count(label) == 1, command, "a node label that no pattern carries");

    // Priors are count / N: each in (0, 1], summing to 1 without trimming.
    const auto values = standin::values_of(outcome.outputs[0].get());
    double prior_sum = 0;
    for (std::size_t j = 0; j < E; ++j) {
        const double prior = values[2 * M * E + j];
        expect(prior > 0 && prior <= 1, command, "a prior outside (0, 1]");
        prior_sum += prior;
        for (std::size_t i = 0; i < M; ++i)
            expect(!(values[(M + i) * E + j] < 0), command, "a negative deviation");
    }
    const bool trimmed = tarn::integer_from_double(scalar(b.inputs[6])) == 1;
    const bool quiet = tarn::integer_from_double(scalar(b.inputs[7])) == 0;
    expect(!quiet || outcome.console.empty(), command, "printed at output level 0");
    expect(prior_sum <= 1 + 1e-9 && (trimmed || E == 0 || prior_sum >= 1 - 1e-9), command, "priors do not add up");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return fuzz::fuzz_one(command, data, size, build, check_success);
}
