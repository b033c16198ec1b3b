// Random inputs for comparing the matching paths bit for bit, and the
// comparison itself.
#pragma once

#include <limits>
#include <random>
#include <string>
#include <vector>

#include "harness.h"
#include "kernel_path.h"
#include "model/work.h"

namespace differential {

// Clustered data with repeats; with `hostile`, also infinities and values
// that are not numbers.
struct Data {
    int rows = 0;
    int columns = 0;
    std::vector<double> values;  // row by row
    std::vector<double> labels;
};

inline Data random_data(std::mt19937_64& rng, int rows, int columns, int classes, bool hostile)
{
    std::normal_distribution<double> normal(0.0, 1.0);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<std::vector<double>> centres(static_cast<std::size_t>(classes), std::vector<double>(columns));
    for (auto& c : centres)
        for (auto& v : c)
            v = 3.0 * normal(rng);
    Data d;
    d.rows = rows;
    d.columns = columns;
    for (int r = 0; r < rows; ++r) {
        const int c = static_cast<int>(unit(rng) * classes);
        if (r > 0 && unit(rng) < 0.1) {  // a repeated pattern
            const int earlier = static_cast<int>(unit(rng) * r);
            for (int i = 0; i < columns; ++i)
                d.values.push_back(d.values[static_cast<std::size_t>(earlier * columns + i)]);
        } else {
            for (int i = 0; i < columns; ++i)
                d.values.push_back(centres[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)] + normal(rng));
        }
        double label = c + 1;
        const double u = unit(rng);
        if (u < 0.03)
            label += 0.5;  // fractional
        else if (u < 0.05)
            label = std::numeric_limits<double>::quiet_NaN();
        d.labels.push_back(label);
    }
    if (hostile) {
        const double specials[] = {std::numeric_limits<double>::quiet_NaN(),
                                   std::numeric_limits<double>::infinity(),
                                   -std::numeric_limits<double>::infinity(),
                                   1e300,
                                   -0.0,
                                   5e-324};
        for (int k = 0; k < 3 && !d.values.empty(); ++k)
            d.values[static_cast<std::size_t>(unit(rng) * d.values.size())] = specials[static_cast<int>(unit(rng) * 6)];
    }
    return d;
}

inline standin::ArrayPtr matrix_of(const Data& d)
{
    return standin::matrix(static_cast<std::size_t>(d.rows), static_cast<std::size_t>(d.columns), d.values);
}

using harness::same_bits;

// Runs the same call on the reference path and on every block path and
// checks that outputs, console text, error and work agree exactly.
template <typename Entry>
void expect_paths_agree(Entry entry, int nlhs, const std::vector<standin::ArrayPtr>& inputs, const std::string& what)
{
    // Each run starts from the same work totals and sees a stopped clock,
    // so that the reports agree.
    const auto flops_before = tarn::flop_total;
    tarn::set_millisecond_clock([]() -> std::int64_t { return 0; });
    standin::Outcome reference;
    {
        const ScopedKernelPath path(reference_path());
        reference = standin::call(entry, nlhs, inputs);
    }
    for (const tarn::KernelPath& p : fast_paths()) {
        const ScopedKernelPath path(p);
        tarn::flop_total = flops_before;
        const standin::Outcome fast = standin::call(entry, nlhs, inputs);
        const std::string where = what + " on " + p.name;
        EXPECT_EQ(fast.raised, reference.raised) << where;
        EXPECT_EQ(fast.error, reference.error) << where;
        EXPECT_EQ(fast.console, reference.console) << where;
        EXPECT_EQ(fast.work, reference.work) << where;
        ASSERT_EQ(fast.outputs.size(), reference.outputs.size()) << where;
        for (std::size_t k = 0; k < fast.outputs.size(); ++k) {
            if (!fast.outputs[k] || !reference.outputs[k]) {
                EXPECT_EQ(!fast.outputs[k], !reference.outputs[k]) << where;
                continue;
            }
            EXPECT_EQ(standin::dims_of(fast.outputs[k].get()), standin::dims_of(reference.outputs[k].get())) << where;
            EXPECT_TRUE(
                same_bits(standin::values_of(fast.outputs[k].get()), standin::values_of(reference.outputs[k].get())))
                << where << ", output " << k + 1;
        }
    }
    tarn::set_millisecond_clock(nullptr);
}

}  // namespace differential
