// The argument checks of the commands, as data. Each command lists its
// rules in the order they run; one routine applies them and formats the
// message of the first that fails.
#pragma once

#include <cstddef>

#include "bridge/mex_api.h"

namespace tarn {

constexpr std::size_t message_buffer_size = 1024;

// printf-style formatting into a message buffer of message_buffer_size
// bytes; never writes past it. Returns the number of characters written.
int format_message(char* buffer, const char* format, ...)
#if defined(__GNUC__)
    __attribute__((format(printf, 2, 3)))
#endif
    ;

// The arguments of one call as the host passed them, read the way the
// checks read them. Each reading is valid once the rules that guard it
// have passed.
struct Arguments {
    int nlhs;
    int nrhs;
    const mxArray* const* prhs;

    const mxArray* array(int position) const { return prhs[position]; }
    int rows(int position) const;      // after the matrix test
    int columns(int position) const;   // after the matrix test
    double value(int position) const;  // after the scalar and class tests
    int integer(int position) const;   // its integer conversion
};

// A command-specific test: whether the argument at `position` passes; on a
// failure it may leave up to four numbers for the message in `numbers`.
using CustomTest = bool (*)(const Arguments& args, int position, int numbers[4]);

// What a rule asks, and the values its message is formatted with after the
// command's name (a message uses as many of them as it likes, in order).
enum class Test : unsigned char {
    input_count,       // nrhs is `count`                                   (count, nrhs)
    output_count,      // nlhs is `count`                                   (count, nlhs)
    outputs_at_most,   // nlhs is `count` or fewer                          (count, nlhs)
    matrix,            // exactly two dimensions                            (dimensions)
    scalar,            // 1 x 1; `shape_message` when not even a matrix     (rows, columns)
    real,              // real, full, numeric or logical                    (none)
    length_of,         // 1 x n or n x 1, n the rows of input `other`       (n, n, rows, columns)
    features_of,       // as many columns as input `other` has features,
                       // (columns - 1) / 2 of its columns                  (rows, features, columns)
    in_range,          // low <= value <= high; not a number fails          (value)
    above,             // value > low; not a number fails                   (value)
    integer_in_range,  // low <= the value's integer conversion <= high     (value)
    priors,            // template rows (2M+1 columns of which M are read)
                       // each with a prior of 0 or more in column 2M + 1;
                       // `shape_message` when there are rows but no column (row)
    custom,            // `custom` decides                                  (its numbers)
};

struct ArgumentRule {
    int position;  // the input it reads, counted from 0 (none for counts)
    Test test;
    const char* message;
    const char* shape_message = nullptr;  // see Test; `message` when null
    int other = 0;                        // the count, or the input compared with
    double low = 0.0;
    double high = 0.0;
    CustomTest custom = nullptr;
};

// The rules, one function per test, so that a table reads as a list of
// requirements.
namespace rule {
constexpr ArgumentRule input_count(int count, const char* message)
{
    return {-1, Test::input_count, message, nullptr, count};
}
constexpr ArgumentRule output_count(int count, const char* message)
{
    return {-1, Test::output_count, message, nullptr, count};
}
constexpr ArgumentRule outputs_at_most(int count, const char* message)
{
    return {-1, Test::outputs_at_most, message, nullptr, count};
}
constexpr ArgumentRule matrix(int position, const char* message)
{
    return {position, Test::matrix, message};
}
constexpr ArgumentRule scalar(int position, const char* message, const char* shape_message = nullptr)
{
    return {position, Test::scalar, message, shape_message};
}
constexpr ArgumentRule real(int position, const char* message)
{
    return {position, Test::real, message};
}
constexpr ArgumentRule length_of(int position, int other, const char* message)
{
    return {position, Test::length_of, message, nullptr, other};
}
constexpr ArgumentRule features_of(int position, int other, const char* message)
{
    return {position, Test::features_of, message, nullptr, other};
}
constexpr ArgumentRule in_range(int position, double low, double high, const char* message)
{
    return {position, Test::in_range, message, nullptr, 0, low, high};
}
constexpr ArgumentRule above(int position, double low, const char* message)
{
    return {position, Test::above, message, nullptr, 0, low};
}
constexpr ArgumentRule integer_in_range(int position, int low, int high, const char* message)
{
    return {position, Test::integer_in_range, message, nullptr, 0, double(low), double(high)};
}
constexpr ArgumentRule priors(int position, const char* message, const char* shape_message)
{
    return {position, Test::priors, message, shape_message};
}
constexpr ArgumentRule custom(int position, CustomTest test, const char* message)
{
    return {position, Test::custom, message, nullptr, 0, 0.0, 0.0, test};
}
}  // namespace rule

// Applies `count` rules in order. At the first that fails, formats its
// message with `command` into `message` and returns false; nothing after
// it is looked at.
bool check_arguments(const ArgumentRule* rules, std::size_t count, const Arguments& args, const char* command,
                     char* message);

}  // namespace tarn
