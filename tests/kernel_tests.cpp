// The block matching paths against the node-by-node reference, value by
// value: every log_match and choice value a decision or a trace can use
// must carry the same bits.
#include <gtest/gtest.h>

#include <cmath>
#include <cstring>
#include <limits>
#include <random>
#include <vector>

#include "differential.h"
#include "learn/train_nodes.h"
#include "loop_interrupts.h"
#include "model/category_nodes.h"
#include "model/match_kernel.h"
#include "model/node_memory.h"
#include "model/work.h"

namespace {

using differential::same_bits;
using tarn::CategoryNodes;

struct Scan {
    std::vector<bool> passed;
    std::vector<double> log_match;
    std::vector<double> match_value;  // where log_match is exact
    std::vector<double> choice;
    std::uint64_t flops = 0;
};

Scan scan_on(const tarn::KernelPath& path, CategoryNodes& nodes, const std::vector<double>& x, double vigilance,
             bool exact)
{
    const ScopedKernelPath on(path);
    const auto before = tarn::flop_total;
    tarn::NodeScan scan;
    standin::within_call([&] { tarn::scan_nodes(nodes, x.data(), tarn::ScanSettings{vigilance, exact}, scan); });
    Scan s;
    s.flops = tarn::flop_total - before;
    for (int k = 0; k < nodes.size(); ++k) {
        s.passed.push_back(scan.passed(k));
        s.log_match.push_back(scan.log_match(k));
        s.match_value.push_back(scan.passed(k) || exact ? scan.match_value(k) : 0.0);
        s.choice.push_back(scan.passed(k) ? scan.choice_value(k) : 0.0);
    }
    return s;
}

// Trained nodes (several presentations each) or loaded ones, some with
// values that are not ordinary numbers.
void fill(CategoryNodes& nodes, std::mt19937_64& rng, int count, int m, bool loaded, bool hostile)
{
    std::normal_distribution<double> normal(0.0, 2.0);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const double odd[] = {
        0.0, -1.0, 1e-300, 1e300, std::numeric_limits<double>::infinity(), std::numeric_limits<double>::quiet_NaN()};
    standin::within_call([&] {
        for (int k = 0; k < count; ++k) {
            std::vector<double> row(2 * static_cast<std::size_t>(m) + 1);
            for (int i = 0; i < m; ++i) {
                row[static_cast<std::size_t>(i)] = normal(rng);
                row[static_cast<std::size_t>(m + i)] = 0.1 + 2.0 * unit(rng);
            }
            row[2 * static_cast<std::size_t>(m)] = unit(rng);
            if (hostile && unit(rng) < 0.3)
                row[static_cast<std::size_t>(unit(rng) * static_cast<double>(row.size()))] = odd[k % 6];
            if (loaded) {
                ASSERT_TRUE(nodes.node_init(row.data(), k % 3, 1));
                continue;
            }
            ASSERT_TRUE(nodes.node_init(row.data(), k % 3, 0));
            const int lessons = static_cast<int>(unit(rng) * 4);
            for (int l = 0; l < lessons; ++l) {
                for (int i = 0; i < m; ++i)
                    row[static_cast<std::size_t>(i)] += normal(rng) * 0.3;
                nodes.node_learn(k, row.data());
            }
        }
    });
}

// Rule 1's sums (three classes) of a pruning scan of x, against the
// straightforward ones to the bit.
void expect_class_sums(const tarn::CategoryNodes& nodes, const std::vector<double>& x,
                       std::vector<std::int32_t>& classes, const std::vector<double>& expected)
{
    std::vector<double> sums(3, 0.0);
    std::vector<double> floors(3);
    tarn::ClassSums class_sums{classes.data(), sums.data(), floors.data(), 3};
    tarn::NodeScan summing;
    standin::within_call([&] { tarn::scan_nodes(nodes, x.data(), {0.0, false, true, &class_sums}, summing); });
    for (std::size_t c = 0; c < 3; ++c)
        ASSERT_TRUE(same_bits(sums[c], expected[c])) << "class " << c << ": " << sums[c] << " vs " << expected[c];
}

}  // namespace

TEST(MatchKernel, EveryPathGivesTheReferenceBits)
{
    std::mt19937_64 rng(42);
    std::uniform_int_distribution<int> pick(0, 1 << 30);
    std::normal_distribution<double> normal(0.0, 2.0);
    const double vigilances[] = {0.0, 1.0, 0.5, 1e-3, 0.999, 1e-310, 5e-324};
    int compared = 0;
    for (int trial = 0; trial < 120; ++trial) {
        const int m = 1 + pick(rng) % 20;
        const int count = pick(rng) % 70;
        const bool loaded = trial % 2 == 1;
        const bool hostile = trial % 5 == 4;
        tarn::feature_count = m;
        tarn::initial_sigma = 0.2 + (pick(rng) % 100) / 25.0;
        tarn::presentation_total = static_cast<std::uint32_t>(count * 3 + 1);
        CategoryNodes nodes(m);
        fill(nodes, rng, count, m, loaded, hostile);
        for (int p = 0; p < 6; ++p) {
            std::vector<double> x(static_cast<std::size_t>(m));
            for (auto& v : x)
                v = normal(rng);
            if (hostile && p == 5)
                x[0] = std::numeric_limits<double>::quiet_NaN();
            for (double vigilance : vigilances) {
                for (bool exact : {false, true}) {
                    const Scan reference = scan_on(reference_path(), nodes, x, vigilance, exact);
                    for (const tarn::KernelPath& path : fast_paths()) {
                        const Scan fast = scan_on(path, nodes, x, vigilance, exact);
                        SCOPED_TRACE(testing::Message() << "trial " << trial << ", pattern " << p << ", vigilance "
                                                        << vigilance << ", exact " << exact << " on " << path.name);
                        ASSERT_EQ(fast.flops, reference.flops);
                        for (int k = 0; k < count; ++k) {
                            ASSERT_EQ(fast.passed[k], reference.passed[k]) << "node " << k;
                            if (fast.passed[k] || exact) {
                                ASSERT_TRUE(same_bits(fast.log_match[k], reference.log_match[k]))
                                    << "node " << k << ": " << fast.log_match[k] << " vs " << reference.log_match[k];
                                ASSERT_TRUE(same_bits(fast.match_value[k], reference.match_value[k])) << "node " << k;
                            }
                            if (fast.passed[k]) {
                                ASSERT_TRUE(same_bits(fast.choice[k], reference.choice[k]))
                                    << "node " << k << ": " << fast.choice[k] << " vs " << reference.choice[k];
                            }
                            ++compared;
                        }
                    }
                }
            }
        }
    }
    EXPECT_GT(compared, 100000);
}

TEST(MatchKernel, StorageStaysCloseToWhatTheNodesNeed)
{
    // Blocks of eight nodes and growth by an eighth keep the vectors of N
    // nodes within a quarter above 2 N M doubles; their screen (4 bytes per
    // screened feature) adds at most a ninth.
    const int m = 16;
    tarn::feature_count = m;
    tarn::initial_sigma = 1.0;
    CategoryNodes nodes(m);
    std::vector<double> x(m, 0.0);
    const auto live = tarn::node_memory_live_blocks();
    for (int n = 1; n <= 5000; ++n) {
        ASSERT_TRUE(nodes.node_init(x.data(), 1, 0));
        if (n >= 100) {
            const double spare = static_cast<double>(nodes.capacity()) / n;
            ASSERT_LE(spare, 1.25) << n << " nodes";
            ASSERT_LE(4 * nodes.blocks().screen_count, 16 * m / 9);
        }
    }
    EXPECT_EQ(tarn::node_memory_live_blocks(), live + 2);
}

// A pattern against a model of 2^20 node-features and a bit more asks the
// host once in the middle, on every path; a yes ends the scan there.
TEST(MatchKernel, AHugeModelIsPolledWithinOnePattern)
{
    const int m = 16;
    const int n = (1 << 20) / m + 1;
    tarn::feature_count = m;
    tarn::initial_sigma = 1.0;
    CategoryNodes nodes(m);
    std::vector<double> x(m, 0.5);
    for (int k = 0; k < n; ++k)
        ASSERT_TRUE(nodes.node_init(x.data(), 1, 0));
    for (const tarn::KernelPath& path : tarn::kernel_paths()) {
        if (!path.cpu_supports())
            continue;
        SCOPED_TRACE(path.name);
        const ScopedKernelPath on(path);
        tarn::NodeScan scan;
        tarn::RunStatus status = tarn::RunStatus::out_of_memory;
        const auto scan_once = [&] { status = tarn::scan_nodes(nodes, x.data(), {0.5, false}, scan); };
        EXPECT_EQ(standin::within_call(scan_once).interrupt_polls, 1);
        EXPECT_EQ(status, tarn::RunStatus::done);
        standin::interrupt_at_poll(1);
        EXPECT_EQ(standin::within_call(scan_once).interrupt_polls, 1);
        EXPECT_EQ(status, tarn::RunStatus::interrupted);
    }
}

// Training asks between passes, between patterns and in every round of
// match tracking (fault_harness.h's conflicting clusters track each pass).
TEST(LoopInterrupts, TrainingEndsCleanlyAtEveryPoll)
{
    std::vector<double> rows;
    std::vector<double> labels;
    for (int c = 0; c < 4; ++c) {
        rows.insert(rows.end(), {100.0 * c, 100.0 * c, 100.0 * c});
        labels.insert(labels.end(), {1.0 + c, 11.0 + c, 1.0 + c});
    }
    std::vector<double*> patterns;
    for (double& v : rows)
        patterns.push_back(&v);
    const tarn::TrainingParameters parameters{0.0, 1.0, 3, 1, 1, 4};
    const long polls = interrupt_at_every_poll([&] {
        tarn::TrainingResult result;
        const tarn::RunStatus status =
            tarn::train_nodes(static_cast<int>(labels.size()), 1, patterns.data(), labels.data(), parameters, &result);
        if (status == tarn::RunStatus::done) {
            for (int r = 0; r < result.exported_count; ++r)
                tarn::host_free(result.rows[r]);
            tarn::host_free(result.rows);
            tarn::host_free(result.labels);
        }
        EXPECT_EQ(result.rows == nullptr, status != tarn::RunStatus::done);
        return status;
    });
    EXPECT_GT(polls, 3 * 12);  // more than one poll per pattern
}

// A scan that needs only the winner, at vigilance 0, against the reference:
// the same winner, passing nodes and work; exact values wherever it says
// so; elsewhere a log_match that bounds the true one from above; the same
// class sums when it sums; and after complete_rivals every node that
// matches better than a rejected winner exact. The stores mix ordinary nodes with nodes that can give values
// that are not numbers (left out of pruning), and the patterns include
// some that are not finite (no pruning at all).
TEST(MatchKernel, PruningKeepsTheWinnerAndEveryValueItGives)
{
    std::mt19937_64 rng(7);
    std::uniform_int_distribution<int> pick(0, 1 << 30);
    std::normal_distribution<double> normal(0.0, 2.0);
    int pruned_nodes = 0;
    for (int trial = 0; trial < 160; ++trial) {
        const int m = 1 + pick(rng) % 12;
        const int count = 1 + pick(rng) % 90;
        const bool loaded = trial % 2 == 1;
        tarn::feature_count = m;
        tarn::initial_sigma = 0.2 + (pick(rng) % 100) / 25.0;
        tarn::presentation_total = static_cast<std::uint32_t>(count * 3 + 1);
        CategoryNodes nodes(m);
        fill(nodes, rng, count, m, loaded, trial % 4 == 3);
        for (const tarn::KernelPath& path : fast_paths()) {
            const ScopedKernelPath on(path);
            tarn::NodeScan scan;  // one per path: it remembers its latest winner
            for (int p = 0; p < 8; ++p) {
                std::vector<double> x(static_cast<std::size_t>(m));
                for (auto& v : x)
                    v = normal(rng);
                if (p == 7)
                    x[0] = trial % 3 == 0 ? std::numeric_limits<double>::infinity() : 1e308;
                const Scan reference = scan_on(reference_path(), nodes, x, 0.0, false);
                int winner = -1;
                int passing = 0;
                for (int k = 0; k < count; ++k) {
                    if (!reference.passed[k])
                        continue;
                    ++passing;
                    if (winner < 0 || reference.choice[k] > reference.choice[winner])
                        winner = k;
                }
                const auto before = tarn::flop_total;
                standin::within_call([&] { tarn::scan_nodes(nodes, x.data(), {0.0, false, true}, scan); });
                SCOPED_TRACE(testing::Message() << "trial " << trial << ", pattern " << p << " on " << path.name);
                ASSERT_EQ(tarn::flop_total - before, reference.flops);
                ASSERT_EQ(scan.winner(), winner);
                ASSERT_EQ(scan.passing(), passing);
                for (int k = 0; k < count; ++k) {
                    ASSERT_EQ(scan.passed(k), reference.passed[k]) << "node " << k;
                    if (scan.exact(k)) {
                        ASSERT_TRUE(same_bits(scan.log_match(k), reference.log_match[k])) << "node " << k;
                        if (scan.passed(k)) {
                            ASSERT_TRUE(same_bits(scan.choice_value(k), reference.choice[k])) << "node " << k;
                        }
                    } else {
                        ++pruned_nodes;
                        ASSERT_GE(scan.log_match(k), reference.log_match[k]) << "node " << k;
                    }
                }
                if (winner < 0)
                    continue;
                // The same scan summing exp(choice value) per class (three
                // classes) gives the reference's sums to the bit.
                std::vector<std::int32_t> classes(static_cast<std::size_t>(count));
                std::vector<double> expected(3, 0.0);
                for (int k = 0; k < count; ++k) {
                    classes[static_cast<std::size_t>(k)] = (k * 7 + p) % 3;
                    if (reference.passed[k])
                        expected[static_cast<std::size_t>(classes[static_cast<std::size_t>(k)])] +=
                            std::exp(reference.choice[k]);
                }
                expect_class_sums(nodes, x, classes, expected);
                tarn::complete_rivals(nodes, x.data(), winner, scan);
                for (int k = 0; k < count; ++k) {
                    if (reference.passed[k] && reference.match_value[k] > reference.match_value[winner]) {
                        ASSERT_TRUE(scan.exact(k) && same_bits(scan.match_value(k), reference.match_value[k]))
                            << "node " << k;
                    }
                }
            }
        }
    }
    EXPECT_GT(pruned_nodes, 5000);  // the bound was really put to work
}

// The screen (a reciprocal at most 1/sigma for a few features) on its
// edges: deviations whose reciprocal is not a normal double (1e-310, 1e308)
// or rounds up (3), differences of 0, tiny ones whose squares are
// subnormal, huge ones whose squares overflow; and a node whose true choice
// value ties the best found before it, after a pattern won by a node of a
// later block: it must be summed, and win as the lower index.
TEST(MatchKernel, TheScreenLeavesOutOnlyWhatCannotCount)
{
    const double sigmas[] = {1e-310, 1e308, 3.0, 1.0 - 0x1p-53, 0.7, 1.0};
    const double offsets[] = {0.0, 1e-160, -1e-160, 1.0, -1.0, 1e300, 2.5};
    const double centre = 0.5;
    for (int m : {1, 3, 9}) {
        for (bool tie : {false, true}) {
            tarn::feature_count = m;
            tarn::presentation_total = 1;
            CategoryNodes nodes(m);
            // The tie: node 0 and node 8 mirror each other about the
            // centre, the others far off. Otherwise 40 nodes mixing the
            // edge values.
            standin::within_call([&] {
                for (int k = 0; k < (tie ? 16 : 40); ++k) {
                    std::vector<double> row(2 * static_cast<std::size_t>(m) + 1);
                    for (int i = 0; i < m; ++i) {
                        const double side = k == 0 ? -1.0 : k == 8 ? 1.0 : 50.0;
                        row[static_cast<std::size_t>(i)] = centre + (tie ? side : offsets[(k + i) % 7]);
                        row[static_cast<std::size_t>(m + i)] = tie ? 3.0 : sigmas[(k * 3 + i) % 6];
                    }
                    row[2 * static_cast<std::size_t>(m)] = 0.25;
                    ASSERT_TRUE(nodes.node_init(row.data(), k % 3, 1));
                }
            });
            // With the tie, node 8 wins the first pattern (its mean), and
            // the centre ties 0 and 8.
            std::vector<std::vector<double>> patterns = {std::vector<double>(static_cast<std::size_t>(m), centre + 1.0),
                                                         std::vector<double>(static_cast<std::size_t>(m), centre)};
            for (double offset : offsets)
                if (!tie)
                    patterns.push_back(std::vector<double>(static_cast<std::size_t>(m), centre + offset));
            for (const tarn::KernelPath& path : fast_paths()) {
                const ScopedKernelPath on(path);
                tarn::NodeScan scan;
                for (std::size_t p = 0; p < patterns.size(); ++p) {
                    const std::vector<double>& x = patterns[p];
                    const Scan reference = scan_on(reference_path(), nodes, x, 0.0, false);
                    int winner = -1;
                    for (int k = 0; k < nodes.size(); ++k)
                        if (reference.passed[k] && (winner < 0 || reference.choice[k] > reference.choice[winner]))
                            winner = k;
                    standin::within_call([&] { tarn::scan_nodes(nodes, x.data(), {0.0, false, true}, scan); });
                    SCOPED_TRACE(testing::Message()
                                 << m << " features, tie " << tie << ", pattern " << p << " on " << path.name);
                    ASSERT_EQ(winner, tie ? 8 - 8 * static_cast<int>(p) : winner);
                    ASSERT_EQ(scan.winner(), winner);
                    for (int k = 0; k < nodes.size(); ++k) {
                        if (scan.exact(k)) {
                            ASSERT_TRUE(same_bits(scan.choice_value(k), reference.choice[k])) << "node " << k;
                        } else {
                            ASSERT_GE(scan.log_match(k), reference.log_match[k]) << "node " << k;
                        }
                    }
                    // The class sums too.
                    std::vector<std::int32_t> classes(static_cast<std::size_t>(nodes.size()));
                    std::vector<double> expected(3, 0.0);
                    for (int k = 0; k < nodes.size(); ++k) {
                        classes[static_cast<std::size_t>(k)] = k % 3;
                        expected[static_cast<std::size_t>(k % 3)] += std::exp(reference.choice[k]);
                    }
                    expect_class_sums(nodes, x, classes, expected);
                }
            }
        }
    }
}
