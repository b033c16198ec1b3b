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

#include "model/node_memory.h"
#include "standin.h"
#include "tests/kernel_path.h"

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

// An allocation failure to inject, or none: a host allocation answered by
// null (MATLAB) or by an error the host raises (Octave), or a node block.
struct Injection {
    bool host = false;
    bool raises = false;
    long at = 0;  // 0: none
};

inline Injection injection(Bytes& in)
{
    Injection i;
    if (in.chance(200))
        return i;
    i.host = in.below(2) == 0;
    const std::uint8_t b = in.byte();
    i.at = 1 + static_cast<long>(b % (i.host ? 64 : 8));
    i.raises = i.host && (b & 64) != 0;
    return i;
}

inline const tarn::KernelPath& any_kernel_path(Bytes& in)
{
    const auto& paths = tarn::kernel_paths();
    return paths[in.below(static_cast<unsigned>(paths.size()))];
}

// Stops the run with a message: the fuzzer keeps the input that did it.
[[noreturn]] inline void violated(const char* command, const std::string& what)
{
    std::fprintf(stderr, "%s: invariant violated: %s\n", command, what.c_str());
    std::fflush(stderr);
    std::abort();
}

inline void expect(bool holds, const char* command, const std::string& what)
{
    if (!holds)
        violated(command, what);
}

// The elements of a real array of any numeric or logical class, as doubles.
inline std::vector<double> elements_of(const ArrayPtr& array)
{
    std::size_t n = 1;
    for (std::size_t d : standin::dims_of(array.get()))
        n *= d;
    std::vector<double> out(n);
    const auto* p = static_cast<const unsigned char*>(mxGetData(array.get()));
    for (std::size_t k = 0; k < n; ++k) {
        switch (standin::class_of(array.get())) {
            case mxDOUBLE_CLASS: {
                double v;
                std::memcpy(&v, p + 8 * k, 8);
                out[k] = v;
                break;
            }
            case mxSINGLE_CLASS: {
                float v;
                std::memcpy(&v, p + 4 * k, 4);
                out[k] = v;
                break;
            }
            case mxINT8_CLASS:
                out[k] = static_cast<std::int8_t>(p[k]);
                break;
            case mxUINT8_CLASS:
                out[k] = p[k];
                break;
            case mxLOGICAL_CLASS:
                out[k] = p[k] != 0 ? 1 : 0;
                break;
            case mxINT16_CLASS: {
                std::int16_t v;
                std::memcpy(&v, p + 2 * k, 2);
                out[k] = v;
                break;
            }
            case mxUINT16_CLASS: {
                std::uint16_t v;
                std::memcpy(&v, p + 2 * k, 2);
                out[k] = v;
                break;
            }
            case mxINT32_CLASS: {
                std::int32_t v;
                std::memcpy(&v, p + 4 * k, 4);
                out[k] = v;
                break;
            }
            case mxUINT32_CLASS: {
                std::uint32_t v;
                std::memcpy(&v, p + 4 * k, 4);
                out[k] = v;
                break;
            }
            case mxINT64_CLASS: {
                std::int64_t v;
                std::memcpy(&v, p + 8 * k, 8);
                out[k] = static_cast<double>(v);
                break;
            }
            case mxUINT64_CLASS: {
                std::uint64_t v;
                std::memcpy(&v, p + 8 * k, 8);
                out[k] = static_cast<double>(v);
                break;
            }
            default:
                out[k] = 0;
                break;
        }
    }
    return out;
}

// Bitwise equality of two double arrays (so NaN equals the same NaN).
inline bool same_bits(const std::vector<double>& a, const std::vector<double>& b)
{
    return a.size() == b.size() && (a.empty() || std::memcmp(a.data(), b.data(), a.size() * sizeof(double)) == 0);
}

// The console with every work line taken out (their totals grow from call
// to call).
inline std::string without_work_lines(const std::string& console)
{
    std::string kept;
    std::size_t start = 0;
    while (start < console.size()) {
        std::size_t end = console.find('\n', start);
        end = end == std::string::npos ? console.size() : end + 1;
        if (console.find(" FLOPs and ", start) >= end)
            kept.append(console, start, end - start);
        start = end;
    }
    return kept;
}

// What every call must satisfy, whatever its arguments: an error message
// that names the command and is a finished line of text; an argument
// refused before anything is allocated or printed; a failed allocation
// always reported as exhausted memory (or, when the host raised, ending the
// call with the host's error) and exhausted memory never reported without
// one; no warning (the checks leave the conversions nothing to warn about);
// no input written to; every node block given back.
inline void check_common(const char* command, const standin::Outcome& outcome, const Injection& injected,
                         long node_allocations, std::size_t live_before)
{
    const std::string prefix = std::string(command) + ": ";
    const std::string out_of_memory = prefix + "Not enough memory available; unable to run!";
    expect(tarn::node_memory_live_blocks() == live_before, command, "node blocks left behind");
    expect(outcome.inputs_unchanged, command, "an input was written to");
    expect(outcome.warnings.empty(), command, "warning: " + (outcome.warnings.empty() ? "" : outcome.warnings[0]));
    const bool failure_reached =
        injected.at != 0 && (injected.host ? outcome.host_allocations >= injected.at : node_allocations >= injected.at);
    if (failure_reached) {
        const std::string expected = injected.raises ? standin::host_allocation_error : out_of_memory;
        expect(outcome.raised && outcome.error == expected, command,
               "a failed allocation not reported as exhausted memory: " +
                   (outcome.raised ? outcome.error : std::string("success")));
        return;
    }
    if (outcome.raised) {
        expect(outcome.error.compare(0, prefix.size(), prefix) == 0, command,
               "message without prefix: " + outcome.error);
        expect(outcome.error.size() < 200, command, "overlong message");
        for (char c : outcome.error)
            expect((c >= ' ' && c <= '~') || c == '\n', command, "unprintable message: " + outcome.error);
        expect(outcome.error.find('%') == std::string::npos, command, "unformatted message: " + outcome.error);
        expect(outcome.error != out_of_memory, command, "out of memory without a failed allocation");
        expect(outcome.host_allocations == 0 && node_allocations == 0 && outcome.console.empty(), command,
               "an argument refused after allocating or printing: " + outcome.error);
    }
}

// Calls the command with the injection armed and checks what every call
// must satisfy.
inline standin::Outcome run_checked(const char* command, standin::MexEntry entry, int nlhs,
                                    const std::vector<ArrayPtr>& inputs, const Injection& injected)
{
    const std::size_t live = tarn::node_memory_live_blocks();
    const long node_before = tarn::node_memory_allocation_count();
    if (injected.at != 0 && injected.host)
        standin::fail_host_allocation_at(
            injected.at, injected.raises ? standin::HostFailure::raised_error : standin::HostFailure::null_answer);
    else if (injected.at != 0)
        tarn::node_memory_fail_at(injected.at);
    standin::Outcome outcome = standin::call(entry, nlhs, inputs);
    tarn::node_memory_fail_at(0);
    standin::fail_host_allocation_at(0);
    check_common(command, outcome, injected, tarn::node_memory_allocation_count() - node_before, live);
    return outcome;
}

// A successful call repeated on the node-by-node matching path must give
// the same bits in every output, the same console and the same work.
inline void check_against_reference(const char* command, standin::MexEntry entry, int nlhs,
                                    const std::vector<ArrayPtr>& inputs, const standin::Outcome& outcome)
{
    standin::Outcome reference;
    {
        const ScopedKernelPath node_by_node(reference_path());
        reference = standin::call(entry, nlhs, inputs);
    }
    expect(!reference.raised, command, "the reference path raised: " + reference.error);
    for (std::size_t k = 0; k < outcome.outputs.size(); ++k)
        expect(same_bits(standin::values_of(outcome.outputs[k].get()), standin::values_of(reference.outputs[k].get())),
               command, "output " + std::to_string(k + 1) + " differs from the reference path");
    expect(without_work_lines(outcome.console) == without_work_lines(reference.console), command,
           "console differs from the reference path:\n" + outcome.console + "----\n" + reference.console);
    expect(outcome.work == reference.work, command, "work differs from the reference path");
}

// One fuzz input: picks a matching path and an injection, builds the
// arguments, runs the command with every common check, then the command's
// own checks of a success and the comparison with the node-by-node path.
template <typename Build, typename CheckSuccess>
int fuzz_one(const char* command, standin::MexEntry entry, const std::uint8_t* data, std::size_t size, Build build,
             CheckSuccess check_success)
{
    Bytes in(data, size);
    const tarn::KernelPath& path = any_kernel_path(in);
    const Injection injected = injection(in);
    const auto b = build(in);

    const ScopedKernelPath on(path);  // stays on the fastest when the CPU lacks it
    const standin::Outcome outcome = run_checked(command, entry, b.nlhs, b.inputs, injected);
    if (!outcome.raised) {
        check_success(b, outcome);
        check_against_reference(command, entry, b.nlhs, b.inputs, outcome);
    }
    return 0;
}

}  // namespace fuzz
