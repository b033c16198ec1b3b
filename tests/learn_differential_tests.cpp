// Training gives the same bits, text and work on every matching path.
#include <gtest/gtest.h>

#include "differential.h"
#include "learn_harness.h"

namespace {

void compare_training(std::uint64_t seed, bool hostile)
{
    std::mt19937_64 rng(seed);
    std::uniform_int_distribution<int> pick(0, 1 << 30);
    const int rows = 1 + pick(rng) % 60;
    const int columns = 1 + pick(rng) % 9;
    const int classes = 1 + pick(rng) % 4;
    const auto data = differential::random_data(rng, rows, columns, classes, hostile);
    const double vigilances[] = {0.0, 1.0, 0.5, 0.05, 0.9, 1e-310};
    learn_test::Call c;
    c.patterns = differential::matrix_of(data);
    c.labels = standin::column(data.labels);
    c.vigilance = vigilances[pick(rng) % 6];
    if (pick(rng) % 3 == 0)
        c.vigilance = (pick(rng) % 1000) / 1000.0;
    const double gammas[] = {0.3, 1.0, 2.5, 0.05};
    c.gamma = gammas[pick(rng) % 4];
    c.max_list_presentations = 1 + pick(rng) % 6;
    c.no_creation_flag = pick(rng) % 2;
    c.trim_option = pick(rng) % 2;
    c.oflag = pick(rng) % 5;
    differential::expect_paths_agree(mexFunction, 3, c.inputs(),
                                     "seed " + std::to_string(seed) + ", vigilance " + std::to_string(c.vigilance) +
                                         ", oflag " + std::to_string(static_cast<int>(c.oflag)));
}

}  // namespace

TEST(LearnDifferential, RandomTrainingRunsAgreeBitForBit)
{
    for (std::uint64_t seed = 1; seed <= 150; ++seed)
        compare_training(seed, false);
}

TEST(LearnDifferential, HostileValuesAgreeToo)
{
    for (std::uint64_t seed = 1001; seed <= 1060; ++seed)
        compare_training(seed, true);
}
