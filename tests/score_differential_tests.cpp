// Classification gives the same bits, text and work on every matching path.
#include <gtest/gtest.h>

#include "differential.h"
#include "standin.h"

namespace {

// Templates as training would leave them, plus a few odd rows: deviations
// of zero, tiny or huge, priors of zero.
standin::ArrayPtr random_templates(std::mt19937_64& rng, int rows, int features, bool hostile)
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

void compare_scoring(std::uint64_t seed, bool hostile)
{
    std::mt19937_64 rng(seed);
    std::uniform_int_distribution<int> pick(0, 1 << 30);
    const int J = pick(rng) % 40;
    const int M = 1 + pick(rng) % 9;
    const int K = pick(rng) % 30;
    const auto templates = random_templates(rng, J, M, hostile);
    std::vector<double> labels;
    for (int j = 0; j < J; ++j)
        labels.push_back(pick(rng) % 10 == 0 ? 2.5 : 1 + pick(rng) % 3);
    const auto patterns = differential::random_data(rng, K, M, 3, hostile);
    const double vigilances[] = {0.0, 1.0, 0.5, 0.01, 0.99, 1e-310};
    double vigilance = vigilances[pick(rng) % 6];
    if (pick(rng) % 3 == 0)
        vigilance = (pick(rng) % 1000) / 1000.0;
    const int rule = pick(rng) % 2;
    const int oflag = pick(rng) % 4;
    const std::vector<standin::ArrayPtr> inputs = {
        templates,           standin::column(labels), standin::scalar(vigilance), differential::matrix_of(patterns),
        standin::scalar(-1), standin::scalar(rule),   standin::scalar(oflag)};
    differential::expect_paths_agree(mexFunction, 1, inputs,
                                     "seed " + std::to_string(seed) + ", vigilance " + std::to_string(vigilance) +
                                         ", rule " + std::to_string(rule) + ", oflag " + std::to_string(oflag));
}

}  // namespace

TEST(ScoreDifferential, RandomClassificationsAgreeBitForBit)
{
    for (std::uint64_t seed = 1; seed <= 200; ++seed)
        compare_scoring(seed, false);
}

TEST(ScoreDifferential, HostileValuesAgreeToo)
{
    for (std::uint64_t seed = 2001; seed <= 2080; ++seed)
        compare_scoring(seed, true);
}
