// Fuzz target: tarn_resume on the stand-in host with arbitrary argument
// lists, now and then a failing allocation or an interrupt, on any
// matching path.
//
// Beyond the checks of every call (fuzz_input.h), a successful call must
// return what the command promises: E x (2M+1) templates with no more nodes
// than the model's and the new presentations', priors that are shares of
// the new presentation total (presentations + passes x rows), labels made
// from the model's or the patterns', an activity column of zeros and ones
// (all ones when trimming); and the same bits on the node-by-node path.
#include <cmath>
#include <cstdint>
#include <set>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "model/integer.h"

namespace {

const harness::Command command{"TARN_RESUME", mexFunction};

struct Built {
    int nlhs = 5;
    std::vector<fuzz::ArrayPtr> inputs;
};

Built build(fuzz::Bytes& in)
{
    const double nan_value = std::numeric_limits<double>::quiet_NaN();
    const std::size_t J = in.below(5);
    const std::size_t M = in.below(4);
    const std::size_t W = in.chance(20) ? in.below(8) : 2 * M + 1;
    auto any = [&in] { return in.number(); };

    // Counts of 1 to 4 presentations per node, and the presentations behind
    // them: mostly their sum or more, now and then anything.
    std::vector<double> counts(J);
    double coded = 0;
    for (auto& c : counts)
        coded += c = 1 + in.below(4);
    const double presentations = in.chance(230) ? coded + in.below(3) : in.pick({0, 1, 2.5, -1, 4294967295.0});
    std::size_t column = 0;
    std::size_t row = 0;
    auto template_value = [&] {
        const std::size_t c = column;
        const std::size_t j = row;
        if (++row == J) {
            row = 0;
            ++column;
        }
        if (c < M)
            return in.number();
        if (c < 2 * M)
            return in.pick({1, 0.5, 2, 0, -1, 1e-300, 1e300, std::numeric_limits<double>::infinity(), nan_value});
        return in.chance(240) ? counts[j] / presentations : in.pick({0.5, 0, -1, nan_value});
    };

    Built b;
    b.inputs.push_back(fuzz::slot(
        in, [&] { return fuzz::matrix_of(in, J, W, template_value); }, any));
    auto label = [&in, nan_value] { return in.pick({1, 2, 3, 1, 2, -1, 0, 1.5, nan_value, 4294967297.0}); };
    b.inputs.push_back(fuzz::slot(
        in, [&] { return fuzz::vector_of(in, J, label); }, label));
    b.inputs.push_back(fuzz::slot(
        in, [&] { return fuzz::scalar_of(in, [presentations] { return presentations; }); }, any));
    fuzz::add_training_arguments(in, in.below(6), M, b.inputs);

    const std::size_t nrhs = fuzz::argument_count(in, 11, 12);
    while (b.inputs.size() < nrhs)
        b.inputs.push_back(fuzz::any_array(in, any));
    b.inputs.resize(nrhs);
    b.nlhs = static_cast<int>(fuzz::argument_count(in, 5, 6));
    return b;
}

double scalar(const fuzz::ArrayPtr& array)
{
    return standin::values_of(array.get())[0];
}

void check_success(const Built& b, const standin::Outcome& outcome)
{
    using fuzz::expect;
    expect(b.inputs.size() == 11 && b.nlhs <= 5, command, "success with a wrong argument count");
    const std::size_t wanted = b.nlhs > 1 ? static_cast<std::size_t>(b.nlhs) : 1;
    for (std::size_t k = 0; k < wanted; ++k)
        expect(outcome.outputs[k] != nullptr, command, "an output slot left empty");
    const std::size_t J = standin::dims_of(b.inputs[0].get())[0];
    const auto patterns = standin::dims_of(b.inputs[3].get());
    const std::size_t P = patterns[0];
    const std::size_t M = patterns[1];
    const auto templates = standin::dims_of(outcome.outputs[0].get());
    expect(templates.size() == 2 && templates[1] == 2 * M + 1, command, "templates not E x (2M+1)");
    const std::size_t E = templates[0];
    const int allowed = tarn::integer_from_double(scalar(b.inputs[7]));
    expect(E <= J + P * static_cast<std::size_t>(allowed), command, "more nodes than the model's and the new ones");
    const bool quiet = tarn::integer_from_double(scalar(b.inputs[10])) == 0;
    expect(!quiet || outcome.console.empty(), command, "printed at output level 0");
    if (wanted < 5)
        return;

    const double passes = scalar(outcome.outputs[2]);
    expect(passes >= 1 && passes <= allowed && passes == std::floor(passes), command, "pass count out of range");
    const double total = scalar(outcome.outputs[3]);
    expect(total == scalar(b.inputs[2]) + passes * static_cast<double>(P), command, "a wrong presentation total");
    std::set<double> possible;
    for (int k : {1, 4})
        for (double y : standin::values_of(b.inputs[k].get()))
            possible.insert(static_cast<double>(tarn::integer_from_double(y)));
    for (double label : standin::values_of(outcome.outputs[1].get()))
        expect(possible.count(label) == 1, command, "a node label that neither the model nor a pattern carries");
    const auto values = standin::values_of(outcome.outputs[0].get());
    double prior_sum = 0;
    for (std::size_t j = 0; j < E; ++j) {
        const double prior = values[2 * M * E + j];
        expect(prior > 0 && prior <= 1 && std::fabs(prior * total - std::nearbyint(prior * total)) <= 1e-6, command,
               "a prior that is not a count over the presentation total");
        prior_sum += prior;
    }
    expect(prior_sum <= 1 + 1e-9, command, "priors add up to more than 1");
    const bool trimmed = tarn::integer_from_double(scalar(b.inputs[9])) == 1;
    for (double a : standin::values_of(outcome.outputs[4].get()))
        expect(a == 1 || (a == 0 && !trimmed), command, "an activity flag that is not 0 or 1, or 0 after trimming");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return fuzz::fuzz_one(command, data, size, build, check_success);
}
