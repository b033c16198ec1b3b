// Building argument lists for the commands from fuzzer bytes, and the checks
// every call must pass whatever its arguments.
//
// Most slots are built "in shape" (the form the command expects, with
// values drawn from lists of ordinary and hostile numbers) so that the
// fuzzer gets past the argument checks; any slot may instead be an
// arbitrary array: 0 to 3 dimensions, extents 0 to 5, any class, complex or
// sparse. Values include NaN, +-Inf, +-0, subnormals, huge magnitudes,
// non-integral and out-of-range integers, and raw bit patterns.
#pragma once

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <functional>
#include <limits>
#include <string>
#include <vector>

#include "harness.h"
#include "kernel_path.h"

namespace fuzz {

using standin::ArrayPtr;
using ValueSource = std::function<double()>;

// Reads the fuzzer's bytes front to back; past the end every read is 0.
class Bytes {
public:
    Bytes(const std::uint8_t* data, std::size_t size) : data_(data), size_(size) {}

    std::uint8_t byte() { return position_ < size_ ? data_[position_++] : 0; }
    // 0 .. n-1.
    unsigned below(unsigned n) { return n == 0 ? 0 : byte() % n; }
    bool chance(unsigned in_256) { return byte() < in_256; }
    double raw_double()
    {
        std::uint64_t bits = 0;
        for (int k = 0; k < 8; ++k)
            bits = (bits << 8) | byte();
        double value;
        std::memcpy(&value, &bits, sizeof value);
        return value;
    }

    // Any number: ordinary, hostile, or a raw bit pattern.
    double number()
    {
        const double inf = std::numeric_limits<double>::infinity();
        switch (below(20)) {
            case 0:
                return std::numeric_limits<double>::quiet_NaN();
            case 1:
                return inf;
            case 2:
                return -inf;
            case 3:
                return 0.0;
            case 4:
                return -0.0;
            case 5:
                return std::numeric_limits<double>::denorm_min() * (1 + below(4));
            case 6:
                return -std::numeric_limits<double>::denorm_min();
            case 7:
                return std::numeric_limits<double>::min();
            case 8:
                return 1e300;
            case 9:
                return -1e300;
            case 10:
                return std::numeric_limits<double>::max();
            case 11:
                return -std::numeric_limits<double>::max();
            case 12:
                return 1e150 * (static_cast<int>(byte()) - 128);
            case 13:
                return raw_double();
            case 14:
                return (static_cast<int>(byte()) - 128) / 16.0;
            case 15:
                return 4294967296.0 + (static_cast<int>(byte()) - 128);  // 2^32 + small
            case 16: {                                                   // around 2^31 and 2^32
                const double power = 2147483648.0 * (1 + below(2));
                return power - below(2);
            }
            case 17:
                return 9223372036854775808.0 * (below(2) ? 1 : -1);  // +-2^63
            default:
                return static_cast<double>(static_cast<int>(byte()) - 128);
        }
    }

    // A value from `choices`, or now and then any number at all.
    double pick(std::initializer_list<double> choices, bool any_number_too = true)
    {
        const unsigned n = static_cast<unsigned>(choices.size());
        const unsigned k = below(any_number_too ? n + 1 : n);
        if (k == n)
            return number();
        return choices.begin()[k];
    }

private:
    const std::uint8_t* data_;
    std::size_t size_;
    std::size_t position_ = 0;
};

// The classes an argument may have; double most often.
inline mxClassID any_class(Bytes& in)
{
    static const mxClassID classes[] = {mxDOUBLE_CLASS, mxSINGLE_CLASS, mxINT8_CLASS,     mxUINT8_CLASS,
                                        mxINT16_CLASS,  mxUINT16_CLASS, mxINT32_CLASS,    mxUINT32_CLASS,
                                        mxINT64_CLASS,  mxUINT64_CLASS, mxLOGICAL_CLASS,  mxCHAR_CLASS,
                                        mxCELL_CLASS,   mxSTRUCT_CLASS, mxFUNCTION_CLASS, mxUNKNOWN_CLASS};
    if (in.chance(160))
        return mxDOUBLE_CLASS;
    return classes[in.below(sizeof classes / sizeof classes[0])];
}

// Values for an array of class `cls`: integer classes get small integers
// (the host converts with saturation; the stand-in builds from in-range
// values), the floating classes whatever `source` gives.
inline ArrayPtr array_of(Bytes& in, mxClassID cls, std::vector<std::size_t> dims, const ValueSource& source)
{
    std::size_t n = 1;
    for (std::size_t d : dims)
        n *= d;
    std::vector<double> values(n);
    for (auto& v : values) {
        if (cls == mxDOUBLE_CLASS || cls == mxSINGLE_CLASS) {
            v = source();
            if (cls == mxSINGLE_CLASS && std::isfinite(v) && std::fabs(v) > 3.0e38)
                v = std::copysign(std::numeric_limits<double>::infinity(), v);
        } else if (cls == mxLOGICAL_CLASS) {
            v = in.below(2);
        } else {
            v = static_cast<double>(static_cast<int>(in.below(16)) - 4);
            if (cls == mxUINT8_CLASS || cls == mxUINT16_CLASS || cls == mxUINT32_CLASS || cls == mxUINT64_CLASS ||
                cls == mxCHAR_CLASS)
                v = std::fabs(v);
        }
    }
    const bool complex = in.chance(6);
    const bool sparse = in.chance(6);
    return standin::make_array(cls, std::move(dims), values, complex, sparse);
}

// An arbitrary array: 0 to 3 dimensions of extent 0 to 5, any class.
inline ArrayPtr any_array(Bytes& in, const ValueSource& source)
{
    std::vector<std::size_t> dims(in.below(4));
    for (auto& d : dims)
        d = in.below(6);
    return array_of(in, any_class(in), std::move(dims), source);
}

// A 1 x 1 argument, now and then of another class.
inline ArrayPtr scalar_of(Bytes& in, const ValueSource& source)
{
    const mxClassID cls = in.chance(230) ? mxDOUBLE_CLASS : any_class(in);
    return array_of(in, cls, {1, 1}, source);
}

// A matrix of the given extents, now and then of another class.
inline ArrayPtr matrix_of(Bytes& in, std::size_t rows, std::size_t columns, const ValueSource& source)
{
    const mxClassID cls = in.chance(230) ? mxDOUBLE_CLASS : any_class(in);
    return array_of(in, cls, {rows, columns}, source);
}

// A vector of n elements as a column or a row.
inline ArrayPtr vector_of(Bytes& in, std::size_t n, const ValueSource& source)
{
    const bool as_row = in.below(2) == 1;
    return matrix_of(in, as_row ? 1 : n, as_row ? n : 1, source);
}

// Slot by slot: the in-shape argument, or (now and then) an arbitrary one.
inline ArrayPtr slot(Bytes& in, const std::function<ArrayPtr()>& in_shape, const ValueSource& source)
{
    return in.chance(20) ? any_array(in, source) : in_shape();
}

// The argument count: mostly right, sometimes one off or anything.
inline std::size_t argument_count(Bytes& in, std::size_t right, std::size_t most)
{
    if (in.chance(235))
        return right;
    return in.below(static_cast<unsigned>(most + 1));
}

// A failure to inject, or none: a host allocation answered by null
// (MATLAB) or by an error the host raises (Octave), a node block, or an
// interrupt at one of the polls.
inline harness::Injection injection(Bytes& in)
{
    using harness::Injection;
    if (in.chance(200))
        return {};
    const bool host = in.below(2) == 0;
    const std::uint8_t b = in.byte();
    if (host)
        return {(b & 64) != 0 ? Injection::host_raises : Injection::host_null, 1 + static_cast<long>(b % 64)};
    return {(b & 64) != 0 ? Injection::interrupt : Injection::node, 1 + static_cast<long>(b % 8)};
}

inline const tarn::KernelPath& any_kernel_path(Bytes& in)
{
    const auto& paths = tarn::kernel_paths();
    return paths[in.below(static_cast<unsigned>(paths.size()))];
}

// The arguments of a training call after its model, built as above:
// Patterns (P x M), PLabels, vigilance, gamma, max_list_presentations,
// no_creation_flag, trim_option, oflag. Pass counts stay small whatever
// their form: a number from a list only, never an arbitrary one.
inline void add_training_arguments(Bytes& in, std::size_t P, std::size_t M, std::vector<ArrayPtr>& inputs)
{
    auto any = [&in] { return in.number(); };
    auto label = [&in] { return in.pick({1, 2, 3, 1, 2, -1, 0, -0.0, 1.5, 2.9, -1.7, 4294967297.0}); };
    inputs.push_back(slot(
        in, [&] { return matrix_of(in, P, M, any); }, any));
    inputs.push_back(slot(
        in, [&] { return vector_of(in, P, label); }, label));
    auto vigilance = [&in] { return in.pick({0, 0.5, 1, 0.9, 1e-300, 4.9e-324, 0.999999999, -0.0, -1e-9}); };
    inputs.push_back(slot(
        in, [&] { return scalar_of(in, vigilance); }, vigilance));
    auto gamma = [&in] {
        return in.pick({1, 0.5, 2, 1e-300, 4.9e-324, 1e300, std::numeric_limits<double>::max(),
                        std::numeric_limits<double>::infinity(), 0, -1});
    };
    inputs.push_back(slot(
        in, [&] { return scalar_of(in, gamma); }, gamma));
    auto passes = [&in] {
        return in.pick(
            {1, 2, 3, 5, 0.9, 1.9, 0, -1, 4294967298.0, 2147483648.0, 1e300, std::numeric_limits<double>::quiet_NaN()},
            false);
    };
    inputs.push_back(slot(
        in, [&] { return scalar_of(in, passes); }, passes));
    auto flag = [&in] { return in.pick({0, 1, 0, 1, -0.5, 1.7, 2, -1}); };
    inputs.push_back(slot(
        in, [&] { return scalar_of(in, flag); }, flag));
    inputs.push_back(slot(
        in, [&] { return scalar_of(in, flag); }, flag));
    auto oflag = [&in] { return in.pick({0, 1, 2, 3, 4, 4.9, 5, -1}); };
    inputs.push_back(slot(
        in, [&] { return scalar_of(in, oflag); }, oflag));
}

// The first four arguments of a scoring call: Templates (J x W, mostly
// 2M+1 columns; any means, deviations and priors mostly sensible, often
// hostile, a prior that is negative or not a number now and then), NLabels,
// vigilance, and Patterns of K rows, mostly of M columns.
inline void add_scoring_arguments(Bytes& in, std::vector<ArrayPtr>& inputs)
{
    const double inf = std::numeric_limits<double>::infinity();
    const double nan_value = std::numeric_limits<double>::quiet_NaN();
    const std::size_t J = in.below(6);
    const std::size_t M = in.below(4);
    std::size_t W = 2 * M + 1;
    if (in.chance(30))
        W = in.chance(128) ? 2 * M + 2 : in.below(8);
    const std::size_t K = in.below(6);
    const std::size_t pattern_columns = in.chance(240) ? (W == 0 ? 0 : (W - 1) / 2) : in.below(4);
    auto any = [&in] { return in.number(); };
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
    inputs.push_back(slot(
        in, [&] { return matrix_of(in, J, W, template_value); }, any));
    auto label = [&in] { return in.pick({7, 9, 11, 7, 9, -1, 0, 1.5, 2147483648.0, 4294967303.0}); };
    inputs.push_back(slot(
        in, [&] { return vector_of(in, J, label); }, label));
    auto vigilance = [&in] { return in.pick({0, 0.5, 1, 0.9, 1e-300, 4.9e-324, 0.999999999, -0.0, 1e-9}); };
    inputs.push_back(slot(
        in, [&] { return scalar_of(in, vigilance); }, vigilance));
    inputs.push_back(slot(
        in, [&] { return matrix_of(in, K, pattern_columns, any); }, any));
}

// Stops the run with a message: the fuzzer keeps the input that did it.
[[noreturn]] inline void violated(const harness::Command& command, const std::string& what)
{
    std::fprintf(stderr, "%s: invariant violated: %s\n", command.name, what.c_str());
    std::fflush(stderr);
    std::abort();
}

inline void expect(bool holds, const harness::Command& command, const std::string& what)
{
    if (!holds)
        violated(command, what);
}

// A successful call repeated on the node-by-node matching path must give
// the same bits, the same text and the same work.
inline void check_against_reference(const harness::Command& command, int nlhs, const std::vector<ArrayPtr>& inputs,
                                    const standin::Outcome& outcome)
{
    standin::Outcome reference;
    {
        const ScopedKernelPath node_by_node(reference_path());
        reference = standin::call(command.entry, nlhs, inputs);
    }
    expect(!reference.raised, command, "the reference path raised: " + reference.error);
    for (std::size_t k = 0; k < outcome.outputs.size(); ++k)
        expect(harness::same_bits(standin::values_of(outcome.outputs[k].get()),
                                  standin::values_of(reference.outputs[k].get())),
               command, "output " + std::to_string(k + 1) + " differs from the reference path");
    expect(harness::without_work_lines(outcome.console) == harness::without_work_lines(reference.console), command,
           "console differs from the reference path:\n" + outcome.console + "----\n" + reference.console);
    expect(outcome.work == reference.work, command, "work differs from the reference path");
}

// One fuzz input: picks a matching path and an injection, builds the
// arguments, runs the command with the checks of every call (harness.h),
// then the command's own checks of a success and the comparison with the
// node-by-node path.
template <typename Build, typename CheckSuccess>
int fuzz_one(const harness::Command& command, const std::uint8_t* data, std::size_t size, Build build,
             CheckSuccess check_success)
{
    Bytes in(data, size);
    const tarn::KernelPath& path = any_kernel_path(in);
    const harness::Injection injected = injection(in);
    const auto b = build(in);

    const ScopedKernelPath on_path(path);  // stays on the fastest when the CPU lacks it
    const harness::Result outcome = harness::call(command, b.nlhs, b.inputs, injected);
    const std::string breach = harness::violation(command, outcome, injected);
    expect(breach.empty(), command, breach);
    if (!outcome.raised) {
        check_success(b, outcome);
        check_against_reference(command, b.nlhs, b.inputs, outcome);
    }
    return 0;
}

}  // namespace fuzz
