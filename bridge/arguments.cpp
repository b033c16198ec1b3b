#include "bridge/arguments.h"

#include <cmath>
#include <cstdarg>
#include <cstdio>
#include <cstdlib>
#include <initializer_list>

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

void format_received(char* text, std::size_t size, double value)
{
    if (std::isnan(value)) {
        std::snprintf(text, size, "NaN");
    } else if (std::isinf(value)) {
        std::snprintf(text, size, value > 0 ? "Inf" : "-Inf");
    } else {
        for (int digits = 1; digits <= 17; ++digits) {
            std::snprintf(text, size, "%.*g", digits, value);
            if (std::strtod(text, nullptr) == value)
                break;
        }
    }
}

namespace {

// How a rule came out: whether it holds, whether its shape message applies,
// and what its message may print.
struct Verdict {
    bool holds = true;
    bool shape = false;
    int numbers[6] = {0, 0, 0, 0, 0, 0};
    double value = 0.0;
    char text[160] = "";
};

Verdict failed(std::initializer_list<int> numbers)
{
    Verdict v;
    v.holds = false;
    int k = 0;
    for (int n : numbers)
        v.numbers[k++] = n;
    return v;
}

Verdict failed_shape(int a)
{
    Verdict v = failed({a});
    v.shape = true;
    return v;
}

Verdict failed_value(double value)
{
    Verdict v = failed({});
    v.value = value;
    format_received(v.text, sizeof v.text, value);
    return v;
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
    for (int j = 0; j < rows; ++j) {
        const double prior = element_value(args.array(p), first + static_cast<std::size_t>(j));
        if (!(prior >= 0.0)) {
            Verdict v = failed_value(prior);
            v.numbers[0] = j + 1;
            return v;
        }
    }
    return {};
}

Verdict evaluate(const ArgumentRule& rule, const Arguments& args)
{
    const int p = rule.position;
    const Verdict holds;
    switch (rule.test) {
        case Test::input_count:
            return args.nrhs == rule.other ? holds : failed({rule.other, args.nrhs});
        case Test::output_count:
            return args.nlhs == rule.other ? holds : failed({rule.other, args.nlhs});
        case Test::outputs_at_most:
            return args.nlhs <= rule.other ? holds : failed({rule.other, args.nlhs});
        case Test::matrix:
            return matrix_test(args.array(p)) ? holds : failed({int(mxGetNumberOfDimensions(args.array(p)))});
        case Test::scalar:
            if (!matrix_test(args.array(p)))
                return failed_shape(int(mxGetNumberOfDimensions(args.array(p))));
            return args.rows(p) == 1 && args.columns(p) == 1 ? holds : failed({args.rows(p), args.columns(p)});
        case Test::real: {
            if (class_test(args.array(p)))
                return holds;
            Verdict v = failed({});
            std::snprintf(v.text, sizeof v.text, "%s", class_description(args.array(p)));
            return v;
        }
        case Test::length_of: {
            const int n = args.rows(rule.other);
            const int r = args.rows(p);
            const int c = args.columns(p);
            return (r == 1 && c == n) || (r == n && c == 1) ? holds : failed({n, n, r, c});
        }
        case Test::features_of: {
            const int features = (args.columns(rule.other) - 1) / 2;  // truncates toward zero: 0 for 0 columns
            const int columns = args.columns(p);
            return columns == features ? holds
                                       : failed({args.rows(p), features, args.rows(p), columns, args.rows(rule.other),
                                                 args.columns(rule.other)});
        }
        case Test::in_range:
        case Test::above:
        case Test::integer_in_range:
        case Test::whole_in_range: {
            const double x = rule.test == Test::integer_in_range ? args.integer(p) : args.value(p);
            const bool whole = rule.test != Test::whole_in_range || std::floor(x) == x;
            if (whole && (rule.test == Test::above ? x > rule.low : x >= rule.low && x <= rule.high))
                return holds;
            return failed_value(args.value(p));
        }
        case Test::priors:
            return check_priors(args, p);
        case Test::custom: {
            Verdict v;
            v.holds = rule.custom(args, p, v.numbers);
            return v;
        }
        case Test::described: {
            Verdict v;
            v.holds = rule.described(args, p, v.text, sizeof v.text);
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
        const int* n = v.numbers;
        switch (rule.test) {
            case Test::in_range:
            case Test::above:
            case Test::integer_in_range:
            case Test::whole_in_range:
                if (rule.value_as_text)
                    format_message(message, text, command, v.text);
                else
                    format_message(message, text, command, v.value);
                break;
            case Test::real:
            case Test::described:
                format_message(message, text, command, v.text);
                break;
            case Test::priors:
                format_message(message, text, command, n[0], v.text);
                break;
            default:
                format_message(message, text, command, n[0], n[1], n[2], n[3], n[4], n[5]);
                break;
        }
        return false;
    }
    return true;
}

}  // namespace tarn
