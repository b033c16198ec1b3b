#include "bridge/arguments.h"

#include <cstdarg>
#include <cstdio>

#include "bridge/host_array.h"
#include "model/integer.h"

namespace tarn {

int format_message(char* buffer, const char* format, ...)
{
    va_list args;
    va_start(args, format);
    const int length = std::vsnprintf(buffer, message_buffer_size, format, args);
    va_end(args);
    if (length < 0) {
        buffer[0] = '\0';
        return 0;
    }
    const int limit = static_cast<int>(message_buffer_size) - 1;
    return length < limit ? length : limit;
}

int Arguments::rows(int position) const
{
    return extents_of(prhs[position]).rows;
}

int Arguments::columns(int position) const
{
    return extents_of(prhs[position]).columns;
}

double Arguments::value(int position) const
{
    return scalar_value(prhs[position]);
}

int Arguments::integer(int position) const
{
    return integer_from_double(value(position));
}

namespace {

// How a rule came out: whether it holds, whether its shape message applies,
// and the numbers (or the value) its message may print.
struct Verdict {
    bool holds = true;
    bool shape = false;
    int numbers[4] = {0, 0, 0, 0};
    double value = 0.0;
};

Verdict failed(int a = 0, int b = 0, int c = 0, int d = 0)
{
    return {false, false, {a, b, c, d}};
}

Verdict failed_shape(int a)
{
    return {false, true, {a}};
}

// Every prior (column 2M of a template row) is 0 or more; a matrix with
// rows but no column has none at all.
Verdict check_priors(const Arguments& args, int p)
{
    const int rows = args.rows(p);
    const int columns = args.columns(p);
    if (rows > 0 && columns == 0)
        return failed_shape(1);
    const auto first = 2 * static_cast<std::size_t>((columns - 1) / 2) * static_cast<std::size_t>(rows);
    for (int j = 0; j < rows; ++j)
        if (!(element_value(args.array(p), first + static_cast<std::size_t>(j)) >= 0.0))
            return failed(j + 1);
    return {};
}

Verdict evaluate(const ArgumentRule& rule, const Arguments& args)
{
    const int p = rule.position;
    const Verdict holds;
    switch (rule.test) {
        case Test::input_count:
            return args.nrhs == rule.other ? holds : failed(rule.other, args.nrhs);
        case Test::output_count:
            return args.nlhs == rule.other ? holds : failed(rule.other, args.nlhs);
        case Test::outputs_at_most:
            return args.nlhs <= rule.other ? holds : failed(rule.other, args.nlhs);
        case Test::matrix:
            return matrix_test(args.array(p)) ? holds : failed(int(mxGetNumberOfDimensions(args.array(p))));
        case Test::scalar:
            if (!matrix_test(args.array(p)))
                return failed_shape(int(mxGetNumberOfDimensions(args.array(p))));
            return args.rows(p) == 1 && args.columns(p) == 1 ? holds : failed(args.rows(p), args.columns(p));
        case Test::real:
            return class_test(args.array(p)) ? holds : failed();
        case Test::length_of: {
            const int n = args.rows(rule.other);
            const int r = args.rows(p);
            const int c = args.columns(p);
            return (r == 1 && c == n) || (r == n && c == 1) ? holds : failed(n, n, r, c);
        }
        case Test::features_of: {
            const int features = (args.columns(rule.other) - 1) / 2;  // truncates toward zero: 0 for 0 columns
            const int columns = args.columns(p);
            return columns == features ? holds : failed(args.rows(p), features, columns);
        }
        case Test::in_range:
        case Test::above:
        case Test::integer_in_range: {
            const double x = rule.test == Test::integer_in_range ? args.integer(p) : args.value(p);
            if (rule.test == Test::above ? x > rule.low : x >= rule.low && x <= rule.high)
                return holds;
            return {false, false, {}, args.value(p)};
        }
        case Test::priors:
            return check_priors(args, p);
        case Test::custom: {
            Verdict v;
            v.holds = rule.custom(args, p, v.numbers);
            return v;
        }
    }
    return holds;
}

}  // namespace

bool check_arguments(const ArgumentRule* rules, std::size_t count, const Arguments& args, const char* command,
                     char* message)
{
    for (std::size_t k = 0; k < count; ++k) {
        const ArgumentRule& rule = rules[k];
        const Verdict v = evaluate(rule, args);
        if (v.holds)
            continue;
        const char* text = v.shape && rule.shape_message != nullptr ? rule.shape_message : rule.message;
        if (rule.test == Test::in_range || rule.test == Test::above || rule.test == Test::integer_in_range)
            format_message(message, text, command, v.value);
        else
            format_message(message, text, command, v.numbers[0], v.numbers[1], v.numbers[2], v.numbers[3]);
        return false;
    }
    return true;
}

}  // namespace tarn
