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

namespace {

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
std::vector<standin::ArrayPtr> edge_call(bool odd, int oflag, int rule = 0)
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
            standin::scalar(0),
            standin::scalar(oflag)};
}

}  // namespace

TEST(ScoreDifferential, PruningOnTheDecisionEdges)
{
    for (bool odd : {false, true})
        for (int oflag = 0; oflag <= 3; ++oflag)
            differential::expect_paths_agree(
                mexFunction, 1, edge_call(odd, oflag),
                std::string(odd ? "odd rows" : "plain rows") + ", oflag " + std::to_string(oflag));
    // Rule 1 on the same rows: classes summed in node order, with nodes far
    // below a class's sum, sums that underflow to 0 (patterns 16 and 17),
    // and a sum that is not a number (node 1's deviation of 0).
    for (bool odd : {false, true})
        for (int oflag : {0, 2, 3})
            differential::expect_paths_agree(
                mexFunction, 1, edge_call(odd, oflag, 1),
                std::string(odd ? "odd rows" : "plain rows") + ", rule 1, oflag " + std::to_string(oflag));

    // The ties go to the lower node whatever was met first.
    const standin::Outcome out = standin::call(mexFunction, 1, edge_call(false, 0));
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
