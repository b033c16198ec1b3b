// Calls tarn_score through the test harness.
#pragma once

#include <vector>

#include "harness.h"

namespace score_test {

using standin::ArrayPtr;

const harness::Command command{"TARN_SCORE", mexFunction};

enum Slot { TEMPLATES, NLABELS, VIGILANCE, PATTERNS, UNKNOWN_LABEL, DECISION_OPTION, OFLAG };

inline harness::Result run(const std::vector<ArrayPtr>& inputs, int nlhs = 1, const harness::Injection& injected = {})
{
    return harness::call(command, nlhs, inputs, injected);
}

// Template rows of one feature: {mean, deviation, prior} each.
inline ArrayPtr one_feature_templates(const std::vector<std::vector<double>>& rows)
{
    std::vector<double> values;
    for (const auto& row : rows)
        values.insert(values.end(), row.begin(), row.end());
    return standin::matrix(rows.size(), 3, values);
}

// One-feature patterns against template rows of one feature.
inline harness::Result run(const ArrayPtr& templates, const std::vector<double>& labels, double vigilance,
                           const std::vector<double>& patterns, double rule, double oflag, double unknown_label = -1)
{
    return run({templates, standin::column(labels), standin::scalar(vigilance), standin::column(patterns),
                standin::scalar(unknown_label), standin::scalar(rule), standin::scalar(oflag)});
}

// The inputs with one slot replaced.
inline std::vector<ArrayPtr> with(std::vector<ArrayPtr> inputs, int slot, ArrayPtr value)
{
    inputs[static_cast<std::size_t>(slot)] = std::move(value);
    return inputs;
}

// The predicted labels (empty when the slot is).
inline std::vector<double> labels_of(const standin::Outcome& outcome)
{
    return outcome.outputs.at(0) ? standin::values_of(outcome.outputs[0].get()) : std::vector<double>{};
}

}  // namespace score_test
