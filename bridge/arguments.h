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

// The same for a test whose message says in words what it received: on a
// failure it writes a line of text (no more than `size` bytes with its end).
using DescribedTest = bool (*)(const Arguments& args, int position, char* text, std::size_t size);

// What a rule asks, and the values its message is formatted with after the
// command's name (a message uses as many of them as it likes, in order).
// A value test formats "value" as a double, or, in a rule made by
// rule::with_received, as text: the shortest decimal that reads back as
// the same double, or NaN, Inf, -Inf.
enum class Test : unsigned char {
    input_count,       // nrhs is `count`                                   (count, nrhs)
    output_count,      // nlhs is `count`                                   (count, nlhs)
    outputs_at_most,   // nlhs is `count` or fewer                          (count, nlhs)
    matrix,            // exactly two dimensions                            (dimensions)
    scalar,            // 1 x 1; `shape_message` when not even a matrix     (rows, columns)
    real,              // real, full, numeric or logical                    (what it is: "a complex array")
    length_of,         // 1 x n or n x 1, n the rows of input `other`       (n, n, rows, columns)
    features_of,       // as many columns as input `other` has features,
                       // (columns - 1) / 2 of its columns                  (rows, features, rows, columns,
                       //                                                    other's rows, other's columns)
    in_range,          // low <= value <= high; not a number fails          (value)
    above,             // value > low; not a number fails                   (value)
    integer_in_range,  // low <= the value's integer conversion <= high     (value)
    whole_in_range,    // a whole number, low <= value <= high              (value)
    priors,            // template rows (2M+1 columns of which M are read)
                       // each with a prior of 0 or more in column 2M + 1;
                       // `shape_message` when there are rows but no column (row, the prior as text)
    custom,            // `custom` decides                                  (its numbers)
    described,         // `described` decides                               (its text)
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
    DescribedTest described = nullptr;
    bool value_as_text = false;  // see Test
};

// The rules, one function per test, so that a table reads as a list of
// requirements.
struct rule {
    using R = ArgumentRule;
    static constexpr R input_count(int n, const char* m) { return {-1, Test::input_count, m, nullptr, n}; }
    static constexpr R output_count(int n, const char* m) { return {-1, Test::output_count, m, nullptr, n}; }
    static constexpr R outputs_at_most(int n, const char* m) { return {-1, Test::outputs_at_most, m, nullptr, n}; }
    static constexpr R matrix(int p, const char* m) { return {p, Test::matrix, m}; }
    static constexpr R scalar(int p, const char* m, const char* shape = nullptr) { return {p, Test::scalar, m, shape}; }
    static constexpr R real(int p, const char* m) { return {p, Test::real, m}; }
    static constexpr R length_of(int p, int other, const char* m) { return {p, Test::length_of, m, nullptr, other}; }
    static constexpr R features_of(int p, int other, const char* m)
    {
        return {p, Test::features_of, m, nullptr, other};
    }
    static constexpr R in_range(int p, double low, double high, const char* m)
    {
        return {p, Test::in_range, m, nullptr, 0, low, high};
    }
    static constexpr R above(int p, double low, const char* m) { return {p, Test::above, m, nullptr, 0, low}; }
    static constexpr R integer_in_range(int p, int low, int high, const char* m)
    {
        return {p, Test::integer_in_range, m, nullptr, 0, double(low), double(high)};
    }
    static constexpr R whole_in_range(int p, double low, double high, const char* m)
    {
        return {p, Test::whole_in_range, m, nullptr, 0, low, high};
    }
    static constexpr R priors(int p, const char* m, const char* shape) { return {p, Test::priors, m, shape}; }
    static constexpr R custom(int p, CustomTest test, const char* m)
    {
        return {p, Test::custom, m, nullptr, 0, 0.0, 0.0, test};
    }
    static constexpr R described(int p, DescribedTest test, const char* m)
    {
        return {p, Test::described, m, nullptr, 0, 0.0, 0.0, nullptr, test};
    }
    // A value test whose message gets the value received as text.
    static constexpr R with_received(R r)
    {
        r.value_as_text = true;
        return r;
    }
};

// `value` as the messages show what was received: the shortest decimal
// that reads back as the same double, or NaN, Inf, -Inf.
void format_received(char* text, std::size_t size, double value);

// Applies `count` rules in order. At the first that fails, formats its
// message with `command` into `message` and returns false; nothing after
// it is looked at.
bool check_arguments(const ArgumentRule* rules, std::size_t count, const Arguments& args, const char* command,
                     char* message);

}  // namespace tarn
