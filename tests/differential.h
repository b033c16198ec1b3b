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

// Templates as training would leave them, plus a few odd rows: deviations
// of zero, tiny or huge, priors of zero.
inline standin::ArrayPtr random_templates(std::mt19937_64& rng, int rows, int features, bool hostile)
{
    std::normal_distribution<double> normal(0.0, 1.0);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<double> values;
    for (int r = 0; r < rows; ++r) {
        for (int i = 0; i < features; ++i)
            values.push_back(3.0 * normal(rng));
        for (int i = 0; i < features; ++i)
            values.push_back(0.2 + 2.0 * unit(rng));
        values.push_back(unit(rng) / rows);
    }
    const int width = 2 * features + 1;
    if (hostile && rows > 0) {
        const double odd[] = {0.0, 1e-300, 1e300};
        for (int k = 0; k < 3; ++k)
            values[static_cast<std::size_t>(static_cast<int>(unit(rng) * rows) * width + features +
                                            static_cast<int>(unit(rng) * features))] = odd[k];
        values[static_cast<std::size_t>(static_cast<int>(unit(rng) * rows) * width + 2 * features)] = 0.0;
    }
    return standin::matrix(static_cast<std::size_t>(rows), static_cast<std::size_t>(width), values);
}

// Rule 0 at vigilance 0 on templates built to sit on the decision edges of
// pruning: node 2 and node 20 (other blocks of eight) tie for a pattern
// halfway between them, after a pattern won by node 20, so that the best
// met first belongs to the higher index; nodes 5, 13 and 14 are equal (a
// tie across blocks and across the halves of a block); node 30 has the
// partial choice value of node 5 after two features, equal to the best,
// and a smaller full one. Labels are node numbers, so the result names the
// winner. `odd` adds rows whose values may not be numbers: a deviation of
// 0 (node 1, whose choice value is then not a number: as the first passing
// node it wins), a mean that is infinite or not a number, a prior of 0.
inline std::vector<standin::ArrayPtr> edge_call(bool odd, int oflag, int rule = 0)
{
    const int J = 40;
    const int M = 3;
    std::mt19937_64 rng(3);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    std::vector<std::vector<double>> rows(J, std::vector<double>(2 * M + 1));
    for (auto& r : rows) {
        for (int i = 0; i < M; ++i) {
            r[static_cast<std::size_t>(i)] = 8.0 + 4.0 * unit(rng);
            r[static_cast<std::size_t>(M + i)] = 0.5 + unit(rng);
        }
        r[2 * M] = 1.0 / J;
    }
    const auto place = [&](int node, std::vector<double> means) {
        for (int i = 0; i < M; ++i) {
            rows[static_cast<std::size_t>(node)][static_cast<std::size_t>(i)] = means[static_cast<std::size_t>(i)];
            rows[static_cast<std::size_t>(node)][static_cast<std::size_t>(M + i)] = 0.75;
        }
    };
    place(2, {-0.5, 0.0, 0.0});
    place(20, {0.5, 0.0, 0.0});
    for (int node : {5, 13, 14})
        place(node, {3.0, 3.0, 3.0});
    place(30, {3.0, 3.0, 4.0});
    if (odd) {
        rows[0][M] = 0.0;                                        // 0/0 for a pattern equal to the mean there
        rows[9][1] = std::numeric_limits<double>::infinity();    // infinite distance
        rows[17][0] = std::numeric_limits<double>::quiet_NaN();  // never passes
        rows[25][2 * M] = 0.0;                                   // choice value -inf
    }
    std::vector<double> values;
    for (const auto& r : rows)
        values.insert(values.end(), r.begin(), r.end());
    // Rule 1: four classes, one of them under a fractional label as well
    // (two records that get the same sums).
    std::vector<double> labels;
    for (int j = 1; j <= J; ++j)
        labels.push_back(rule == 0 ? j : (j == 7 ? 2.5 : 1 + j % 4));
    const double inf = std::numeric_limits<double>::infinity();
    const std::vector<std::vector<double>> patterns = {{0.45, 0.0, 0.0},
                                                       {0.0, 0.0, 0.0},
                                                       {3.1, 3.0, 3.0},
                                                       {3.0, 3.0, 3.0},
                                                       {0.5, 0.0, 0.0},
                                                       {-0.5, 0.0, 0.0},
                                                       {0.0, 0.0, 0.0},
                                                       {3.0, 3.0, 3.4},
                                                       {9.0, 9.0, 9.0},
                                                       {0.0, inf, 0.0},
                                                       {0.0, 0.0, 0.0},
                                                       {rows[0][0], 0.0, 0.0},
                                                       {std::numeric_limits<double>::quiet_NaN(), 0.0, 0.0},
                                                       {0.0, 0.0, 0.0},
                                                       {1e308, -1e308, 0.0}};
    std::vector<double> x;
    for (const auto& p : patterns)
        x.insert(x.end(), p.begin(), p.end());
    return {standin::matrix(J, 2 * M + 1, values),
            standin::column(labels),
            standin::scalar(0.0),
            standin::matrix(patterns.size(), M, x),
            standin::scalar(-1),
            standin::scalar(rule),
            standin::scalar(oflag)};
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
        // Node by node, nothing left out.
        const ScopedKernelPath path(reference_path());
        tarn::set_pruning(false);
        reference = standin::call(entry, nlhs, inputs);
        tarn::set_pruning(true);
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
