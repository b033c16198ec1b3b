// Classification gives the same bits, text and work on every matching path.
#include <gtest/gtest.h>

#include "differential.h"
#include "standin.h"

namespace {

void compare_scoring(std::uint64_t seed, bool hostile)
{
    std::mt19937_64 rng(seed);
    std::uniform_int_distribution<int> pick(0, 1 << 30);
    const int J = pick(rng) % 40;
    const int M = 1 + pick(rng) % 9;
    const int K = pick(rng) % 30;
    const auto templates = differential::random_templates(rng, J, M, hostile);
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

// A model larger than the cache is scanned a tile of patterns at a time:
// with a small one every model here is, in runs of one block or several,
// tiles cut short by the last pattern, and patterns that are not finite
// scanned in full within a tile.
TEST(ScoreDifferential, TilesOfPatternsAgreeToo)
{
    for (std::uint64_t seed = 1; seed <= 120; ++seed) {
        const ScopedTileCache cache(seed % 2 != 0 ? 1024 : 16384);
        compare_scoring(seed, seed % 5 == 0);
    }
    const ScopedTileCache cache(1024);
    for (int rule : {0, 1})
        for (bool odd : {false, true})
            differential::expect_paths_agree(mexFunction, 1, differential::edge_call(odd, 2, rule),
                                             "tiles, rule " + std::to_string(rule));
}

TEST(ScoreDifferential, HostileValuesAgreeToo)
{
    for (std::uint64_t seed = 2001; seed <= 2080; ++seed)
        compare_scoring(seed, true);
}

TEST(ScoreDifferential, PruningOnTheDecisionEdges)
{
    for (bool odd : {false, true})
        for (int oflag = 0; oflag <= 3; ++oflag)
            differential::expect_paths_agree(
                mexFunction, 1, differential::edge_call(odd, oflag),
                std::string(odd ? "odd rows" : "plain rows") + ", oflag " + std::to_string(oflag));
    // Rule 1 on the same rows: classes summed in node order, with nodes far
    // below a class's sum, sums that underflow to 0 (patterns 16 and 17),
    // and a sum that is not a number (node 1's deviation of 0).
    for (bool odd : {false, true})
        for (int oflag : {0, 2, 3})
            differential::expect_paths_agree(
                mexFunction, 1, differential::edge_call(odd, oflag, 1),
                std::string(odd ? "odd rows" : "plain rows") + ", rule 1, oflag " + std::to_string(oflag));

    // The ties go to the lower node whatever was met first.
    const standin::Outcome out = standin::call(mexFunction, 1, differential::edge_call(false, 0));
    ASSERT_FALSE(out.raised) << out.error;
    const auto winners = standin::values_of(out.outputs[0].get());
    EXPECT_EQ(winners[0], 21);  // node 20 wins, and is then met first
    EXPECT_EQ(winners[1], 3);   // ... but node 2 ties it and comes first
    EXPECT_EQ(winners[3], 6);   // nodes 5, 13 and 14 tie; node 30's bound equals their value for two features
    EXPECT_EQ(winners[7], 6);
}

// Templates of one column (a prior, no feature): every sum is empty.
TEST(ScoreDifferential, NodesWithoutFeaturesAgreeToo)
{
    std::vector<double> priors;
    std::vector<double> labels;
    for (int j = 0; j < 20; ++j) {
        priors.push_back(j % 7 == 3 ? 0.0 : 1.0 / (1 + j % 5));
        labels.push_back(1 + j % 3);
    }
    for (int rule : {0, 1})
        for (int oflag : {0, 3})
            differential::expect_paths_agree(
                mexFunction, 1,
                {standin::matrix(20, 1, priors), standin::column(labels), standin::scalar(0.0),
                 standin::matrix(3, 0, {}), standin::scalar(-1), standin::scalar(rule), standin::scalar(oflag)},
                "no features, rule " + std::to_string(rule));
}
