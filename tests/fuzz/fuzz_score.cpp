// Fuzz target: tarn_score on the stand-in host with arbitrary argument
// lists, now and then a failing allocation, on any matching path.
//
// Beyond the checks of every call (fuzz_input.h), a successful call must
// return one K x 1 column whose every element is a node label or the
// unknown label, print nothing at output level 0, and give the same bits
// on the node-by-node matching path as on the fast one.
#include <cstdint>
#include <limits>
#include <set>
#include <string>
#include <vector>

#include "fuzz_input.h"
#include "model/integer.h"

namespace {

const harness::Command command{"TARN_SCORE", mexFunction};

struct Built {
    int nlhs = 1;
    std::vector<fuzz::ArrayPtr> inputs;
};

Built build(fuzz::Bytes& in)
{
    const double nan_value = std::numeric_limits<double>::quiet_NaN();
    auto any = [&in] { return in.number(); };
    Built b;
    fuzz::add_scoring_arguments(in, b.inputs);
    auto unknown = [&in, nan_value] { return in.pick({-1, 0, -3, 2147483648.0, 1e300, nan_value, -1.7}); };
    b.inputs.push_back(fuzz::slot(
        in, [&] { return fuzz::scalar_of(in, unknown); }, unknown));
    auto rule = [&in, nan_value] { return in.pick({0, 1, 0, 1, 1.7, -0.5, 2, nan_value}); };
    b.inputs.push_back(fuzz::slot(
        in, [&] { return fuzz::scalar_of(in, rule); }, rule));
    auto oflag = [&in] { return in.pick({0, 1, 2, 3, 3.9, 4, -1}); };
    b.inputs.push_back(fuzz::slot(
        in, [&] { return fuzz::scalar_of(in, oflag); }, oflag));

    const std::size_t nrhs = fuzz::argument_count(in, 7, 8);
    while (b.inputs.size() < nrhs)
        b.inputs.push_back(fuzz::any_array(in, any));
    b.inputs.resize(nrhs);
    b.nlhs = static_cast<int>(fuzz::argument_count(in, 1, 3));
    return b;
}

void check_success(const Built& b, const standin::Outcome& outcome)
{
    using fuzz::expect;
    expect(b.inputs.size() == 7 && b.nlhs == 1, command, "success with a wrong argument count");
    expect(!outcome.outputs.empty() && outcome.outputs[0], command, "the output slot left empty");
    const std::size_t K = standin::dims_of(b.inputs[3].get()).at(0);
    expect(standin::dims_of(outcome.outputs[0].get()) == std::vector<std::size_t>{K, 1}, command, "result not K x 1");
    expect(standin::class_of(outcome.outputs[0].get()) == mxDOUBLE_CLASS, command, "result not double");

    std::set<double> possible;
    possible.insert(static_cast<double>(tarn::integer_from_double(mxGetScalar(b.inputs[4].get()))));
    for (double label : standin::values_of(b.inputs[1].get()))
        possible.insert(static_cast<double>(tarn::integer_from_double(label)));
    for (double predicted : standin::values_of(outcome.outputs[0].get()))
        expect(possible.count(predicted) == 1, command, "a prediction that is neither a node label nor unknown");

    const bool quiet = tarn::integer_from_double(mxGetScalar(b.inputs[6].get())) == 0;
    expect(!quiet || outcome.console.empty(), command, "printed at output level 0");
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size)
{
    return fuzz::fuzz_one(command, data, size, build, check_success);
}
