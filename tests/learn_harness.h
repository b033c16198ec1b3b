// Calls tarn_learn through the test harness.
#pragma once

#include <vector>

#include "harness.h"

namespace learn_test {

using standin::ArrayPtr;

const harness::Command command{"TARN_LEARN", mexFunction};

struct Call {
    ArrayPtr patterns;
    ArrayPtr labels;
    double vigilance = 0.5;
    double gamma = 1.0;
    double max_list_presentations = 10;
    double no_creation_flag = 1;
    double trim_option = 0;
    double oflag = 0;
    int nlhs = 3;

    std::vector<ArrayPtr> inputs() const
    {
        return {patterns,
                labels,
                standin::scalar(vigilance),
                standin::scalar(gamma),
                standin::scalar(max_list_presentations),
                standin::scalar(no_creation_flag),
                standin::scalar(trim_option),
                standin::scalar(oflag)};
    }
};

inline harness::Result run(int nlhs, const std::vector<ArrayPtr>& inputs, const harness::Injection& injected = {})
{
    return harness::call(command, nlhs, inputs, injected);
}

inline harness::Result run(const Call& call, const harness::Injection& injected = {})
{
    return run(call.nlhs, call.inputs(), injected);
}

// Rows of a matrix output, from its column-major values.
inline std::vector<std::vector<double>> rows_of(const ArrayPtr& array)
{
    const auto dims = standin::dims_of(array.get());
    const auto values = standin::values_of(array.get());
    std::vector<std::vector<double>> rows(dims[0], std::vector<double>(dims[1]));
    for (std::size_t i = 0; i < dims[0]; ++i)
        for (std::size_t j = 0; j < dims[1]; ++j)
            rows[i][j] = values[j * dims[0] + i];
    return rows;
}

}  // namespace learn_test
