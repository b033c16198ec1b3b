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
    const double inf = std::numeric_limits<double>::infinity();
    const double nan_value = std::numeric_limits<double>::quiet_NaN();
    const std::size_t J = in.below(6);
    const std::size_t M = in.below(4);
    // Mostly 2M+1 columns; an even count, or any count, now and then.
    std::size_t W = 2 * M + 1;
    if (in.chance(30))
        W = in.chance(128) ? 2 * M + 2 : in.below(8);
    const std::size_t K = in.below(6);
    const std::size_t pattern_columns = in.chance(240) ? (W == 0 ? 0 : (W - 1) / 2) : in.below(4);
    auto any = [&in] { return in.number(); };

    // Template rows: any means; deviations and priors mostly sensible,
    // often hostile; a prior that is negative or not a number now and then
    // (which the command refuses).
    std::size_t column = 0;
    std::size_t row = 0;
    const std::size_t width = W;
    auto template_value = [&, width] {
        const std::size_t c = column;
        if (++row == J) {
            row = 0;
            ++column;
        }
        const std::size_t m = width == 0 ? 0 : (width - 1) / 2;
        if (c < m)
            return in.number();
        if (c < 2 * m)
            return in.pick({1, 0.5, 2, 0, -1, 1e-300, 1e300, inf, nan_value, 4.9e-324});
        if (c == 2 * m)
            return in.chance(245) ? in.pick({1, 0.5, 0.25, 0, 1e-300, 4.9e-324, 1e300, inf, -0.0}, false)
                                  : in.pick({-1, nan_value, -inf, -4.9e-324});
        return in.number();
    };
    Built b;
    b.inputs.push_back(fuzz::slot(
        in, [&] { return fuzz::matrix_of(in, J, W, template_value); }, any));
    auto label = [&in] { return in.pick({7, 9, 11, 7, 9, -1, 0, 1.5, 2147483648.0, 4294967303.0}); };
    b.inputs.push_back(fuzz::slot(
        in, [&] { return fuzz::vector_of(in, J, label); }, label));
    auto vigilance = [&in] { return in.pick({0, 0.5, 1, 0.9, 1e-300, 4.9e-324, 0.999999999, -0.0, 1e-9}); };
    b.inputs.push_back(fuzz::slot(
        in, [&] { return fuzz::scalar_of(in, vigilance); }, vigilance));
    b.inputs.push_back(fuzz::slot(
        in, [&] { return fuzz::matrix_of(in, K, pattern_columns, any); }, any));
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
