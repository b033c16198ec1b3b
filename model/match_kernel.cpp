#include "model/match_kernel.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>
#include <optional>
#include <type_traits>
#include <utility>

#if defined(__unix__) || defined(__APPLE__)
#include <unistd.h>
#endif

#include "model/kernel_paths.h"
#include "model/node_memory.h"
#include "model/vector_exp.h"
#include "model/work.h"

namespace tarn {

namespace {

#if defined(__GNUC__)
// W doubles, one per node, W dividing the eight nodes of a block. Each
// operation works lane by lane with IEEE rounding, so every lane is the
// scalar computation of its own node whatever the width: 8 fills an
// AVX-512 register, 4 an AVX2 one, 2 an SSE2 one.
template <int W>
struct Vectors {
    typedef double Lanes __attribute__((vector_size(W * sizeof(double))));
    typedef long long Mask __attribute__((vector_size(W * sizeof(double))));
    typedef unsigned long long Words __attribute__((vector_size(W * sizeof(double))));
    static constexpr int parts = CategoryNodes::lanes / W;
};

// A permutation of the lanes of a mask, in each compiler's spelling.
#if defined(__clang__)
#define TARN_PERMUTE(m, ...) __builtin_shufflevector(m, m, __VA_ARGS__)
#else
#define TARN_PERMUTE(m, ...) __builtin_shuffle(m, Mask{__VA_ARGS__})
#endif

// -1 when a comparison held (-1) in every lane, 0 otherwise.
template <int W>
inline __attribute__((always_inline)) long long all_lanes(typename Vectors<W>::Mask m)
{
    using Mask [[maybe_unused]] = typename Vectors<W>::Mask;  // read by TARN_PERMUTE on GCC
    if constexpr (W == 8) {
        m = m & TARN_PERMUTE(m, 4, 5, 6, 7, 0, 1, 2, 3);
        m = m & TARN_PERMUTE(m, 2, 3, 0, 1, 6, 7, 4, 5);
        m = m & TARN_PERMUTE(m, 1, 0, 3, 2, 5, 4, 7, 6);
        return m[0];
    } else if constexpr (W == 4) {
        // Within the vector: one extraction instead of four.
        m = m & TARN_PERMUTE(m, 2, 3, 0, 1);
        m = m & TARN_PERMUTE(m, 1, 0, 3, 2);
        return m[0];
    } else {
        long long r = -1;
        for (int l = 0; l < W; ++l)
            r &= m[l];
        return r;
    }
}

// Whether a comparison held in every lane, or in any lane.
template <int W>
inline __attribute__((always_inline)) bool all_of(typename Vectors<W>::Mask m)
{
    return all_lanes<W>(m) != 0;
}

// The bits of one vector as another of the same size.
template <typename To, typename From>
inline __attribute__((always_inline)) To bits_as(const From& from)
{
    static_assert(sizeof(To) == sizeof(From), "same size");
    To to;
    std::memcpy(&to, &from, sizeof to);
    return to;
}

// Adds e = exp(choice value) to the sum of class c, as the classification
// loop adds it, and keeps the class's floor current.
inline void add_to_class(ClassSums& sums, int c, double e)
{
    const double before = sums.sum[c];
    sums.sum[c] = before + e;
    std::uint64_t a;
    std::uint64_t b;
    std::memcpy(&a, &before, sizeof a);
    std::memcpy(&b, &sums.sum[c], sizeof b);
    if ((a ^ b) >> 52 != 0)  // another binade (or sign): another floor
        sums.floor[c] = sum_floor(sums.sum[c]);
}

template <int W>
inline __attribute__((always_inline)) bool any_of(typename Vectors<W>::Mask m)
{
    return !all_of<W>(~m);
}

// The block matcher (BlockMatcher) for vectors of W lanes. A block stops
// summing once all its partial sums are above `bound` because sums of
// squares only grow: its nodes fail the vigilance test whatever follows.
template <int W>
inline __attribute__((always_inline)) void match_blocks(const NodeBlocks& nodes, int first, int end, const double* x,
                                                        double bound, double open_from, double* log_match,
                                                        std::uint8_t* block_open)
{
    using Lanes = typename Vectors<W>::Lanes;
    using Mask = typename Vectors<W>::Mask;
    constexpr int parts = Vectors<W>::parts;
    constexpr int lanes = CategoryNodes::lanes;
    const bool may_stop = bound < std::numeric_limits<double>::infinity();
    const int m = nodes.features;
    for (int b = first; b < end; ++b) {
        const double* mb = nodes.means + static_cast<std::size_t>(b) * static_cast<std::size_t>(m) * lanes;
        const double* sb = nodes.sigmas + static_cast<std::size_t>(b) * static_cast<std::size_t>(m) * lanes;
        Lanes s[parts] = {};
        for (int i = 0; i < m; ++i) {
            const std::size_t at = static_cast<std::size_t>(i) * lanes;
            for (int p = 0; p < parts; ++p) {
                Lanes mean;
                Lanes sigma;
                std::memcpy(&mean, mb + at + p * W, sizeof mean);
                std::memcpy(&sigma, sb + at + p * W, sizeof sigma);
                const Lanes d = (mean - x[i]) / sigma;
                s[p] = s[p] + d * d;
            }
            // Look after two features, then after every fourth.
            if (may_stop && ((i & 3) == 3 || i == 1)) {
                Mask above = s[0] > bound;
                for (int p = 1; p < parts; ++p)
                    above = above & (s[p] > bound);
                if (all_of<W>(above))
                    break;
            }
        }
        Mask open = {};
        for (int p = 0; p < parts; ++p) {
            const Lanes lm = -0.5 * s[p];
            std::memcpy(log_match + static_cast<std::size_t>(b) * lanes + p * W, &lm, sizeof lm);
            open = open | !(lm < open_from);
        }
        block_open[b] = any_of<W>(open) ? 1 : 0;
    }
}

// The screen: a lower bound of every node's sum of squares without a
// division. Node k's sum s is the rounded sum, in feature order, of
// t_i = fl(d_i * d_i), d_i = fl(D_i / sigma_i), D_i = fl(mean_i - x_i). The
// screen keeps for a few features an r at most 1/sigma_i
// (NodeBlocks::screen), so |D_i r| <= |D_i / sigma_i| and, as rounding is
// monotonic, q_i = fl(fl(D_i r)^2) <= t_i, whatever the magnitudes (0,
// subnormal, overflowing). For the same reason the rounded sum of the q_i
// in feature order is at most s (a term left out is a term lowered to 0),
// and -0.5 times it is at least the node's log_match. A q that is not a
// number (an infinite D with r = 0) gives a bound that is not a number,
// which never decides.
//
// The r of the parts of a block, from NodeBlocks::screen's upper halves.
template <int W>
inline __attribute__((always_inline)) void screen_reciprocals(const std::uint32_t* at, typename Vectors<W>::Lanes* r)
{
    using Lanes = typename Vectors<W>::Lanes;
    using Words = typename Vectors<W>::Words;
    constexpr int parts = Vectors<W>::parts;
    if constexpr (W == 2 || W == 4) {
        // Lane l of a block in the lower half of word l % 4, lane l + 4 in
        // its upper half: one load gives two parts.
        for (int q = 0; q < parts / 2; ++q) {
            Words w;
            std::memcpy(&w, at + q * 2 * W, sizeof w);
            r[q] = bits_as<Lanes>(w << 32);
            r[q + parts / 2] = bits_as<Lanes>(w & 0xffffffff00000000ULL);
        }
    } else {
        for (int p = 0; p < parts; ++p) {
            Words w;
            for (int l = 0; l < W; ++l) {
                const int lane = p * W + l;
                w[l] = static_cast<unsigned long long>(at[lane < 4 ? 2 * lane : 2 * (lane - 4) + 1]) << 32;
            }
            r[p] = bits_as<Lanes>(w);
        }
    }
}

// The pattern-free parts of the choice values of the group of nodes from
// `base`: A = choice_a less ln N where the node takes it (trained nodes),
// and B, so that choice value = A + (log_match - B).
template <int W>
inline __attribute__((always_inline)) void choice_parts(const NodeBlocks& nodes, int base,
                                                        typename Vectors<W>::Lanes log_n,
                                                        typename Vectors<W>::Lanes& big_a,
                                                        typename Vectors<W>::Lanes& sum_b)
{
    using Lanes = typename Vectors<W>::Lanes;
    using Mask = typename Vectors<W>::Mask;
    Lanes a;
    Mask uses;
    std::memcpy(&a, nodes.choice_a + base, sizeof a);
    std::memcpy(&sum_b, nodes.choice_b + base, sizeof sum_b);
    std::memcpy(&uses, nodes.uses_presentations + base, sizeof uses);
    big_a = a - bits_as<Lanes>(bits_as<Mask>(log_n) & uses);
}

// The best choice value so far, and what a node's choice value is formed
// from (choice_parts).
struct ScreenJudge {
    double best;
    int best_node;  // -1: no best yet
    double log_presentations;

    template <int W>
    inline __attribute__((always_inline)) typename Vectors<W>::Lanes bound(const NodeBlocks& nodes, int base,
                                                                           typename Vectors<W>::Lanes lm) const
    {
        using Lanes = typename Vectors<W>::Lanes;
        Lanes big_a;
        Lanes sum_b;
        choice_parts<W>(nodes, base, Lanes{} + log_presentations, big_a, sum_b);
        return big_a + (lm - sum_b);
    }
};

// Writes -0.5 times the screen's sum as the log_match of every node of
// blocks [first, end): at least its true one. K screened features, or any
// number when K is 0.
//
// With a best (best_node >= 0 in `judge`), also returns which blocks may
// hold a node whose choice value is not below it: bit b - first, for up to
// 64 blocks. Every other bit is 0; without a best, every bit of a block.
template <int W, int K>
inline __attribute__((always_inline)) std::uint64_t screen_blocks_of(const NodeBlocks& nodes, int first, int end,
                                                                     const double* x, double* log_match,
                                                                     const ScreenJudge& judge)
{
    using Lanes = typename Vectors<W>::Lanes;
    constexpr int parts = Vectors<W>::parts;
    constexpr int lanes = CategoryNodes::lanes;
    const int count = K > 0 ? K : nodes.screen_count;
    const std::size_t per_block = static_cast<std::size_t>(nodes.features) * lanes;
    // Each screened feature's place within a block, and its value.
    constexpr int held = K > 0 ? K : 1;
    std::size_t at[held];
    Lanes xs[held];
    if constexpr (K > 0) {
        for (int j = 0; j < K; ++j) {
            at[j] = static_cast<std::size_t>(nodes.screen_features[j]) * lanes;
            xs[j] = Lanes{} + x[nodes.screen_features[j]];
        }
    }
    using Mask = typename Vectors<W>::Mask;
    std::uint64_t live = 0;
    for (int b = first; b < end; ++b) {
        const double* mb = nodes.means + static_cast<std::size_t>(b) * per_block;
        const std::uint32_t* rb = nodes.screen + static_cast<std::size_t>(b) * static_cast<std::size_t>(count) * lanes;
        Lanes sum[parts] = {};
        const auto add = [&](int j, std::size_t place, Lanes xj) {
            Lanes r[parts];
            screen_reciprocals<W>(rb + j * lanes, r);
#pragma GCC unroll 8
            for (int p = 0; p < parts; ++p) {
                Lanes mean;
                std::memcpy(&mean, mb + place + p * W, sizeof mean);
                const Lanes d = (mean - xj) * r[p];
                sum[p] = sum[p] + d * d;
            }
        };
        if constexpr (K > 0) {
#pragma GCC unroll 16
            for (int j = 0; j < K; ++j)
                add(j, at[j], xs[j]);
        } else {
            for (int j = 0; j < count; ++j) {
                const int i = nodes.screen_features[j];
                add(j, static_cast<std::size_t>(i) * lanes, Lanes{} + x[i]);
            }
        }
        Mask below = ~Mask{};
#pragma GCC unroll 8
        for (int p = 0; p < parts; ++p) {
            const Lanes lm = -0.5 * sum[p];
            const int base = b * lanes + p * W;
            std::memcpy(log_match + base, &lm, sizeof lm);
            if (judge.best_node >= 0)
                below = below & (judge.bound<W>(nodes, base, lm) < judge.best);
        }
        // Without a branch: most blocks go, and which ones is hard to guess.
        if (judge.best_node < 0)
            below = Mask{};
        // (Runs of more than 64 blocks are screened for their log_match
        // values only; their bits wrap and are not read.)
        live |= (static_cast<std::uint64_t>(all_lanes<W>(below)) + 1) << ((b - first) & 63);
    }
    return live;
}

// The same for any count, with the loop over features unrolled for counts
// up to `unrolled_screen` (more cost more in compile time than they give).
template <int W, int... K>
inline __attribute__((always_inline)) std::uint64_t screen_blocks(std::integer_sequence<int, K...>,
                                                                  const NodeBlocks& nodes, int first, int end,
                                                                  const double* x, double* log_match,
                                                                  const ScreenJudge& judge)
{
    const int count = nodes.screen_count;
    std::uint64_t live = 0;
    const bool unrolled =
        ((count == K + 1 ? (live = screen_blocks_of<W, K + 1>(nodes, first, end, x, log_match, judge), true) : false) ||
         ...);
    return unrolled ? live : screen_blocks_of<W, 0>(nodes, first, end, x, log_match, judge);
}

// The block pruner (BlockPruner) for vectors of W lanes: each group of W
// nodes of a block is one vector. The bound is exact: choice_value =
// A + (log_match - B) only falls as the sum of squares s grows (log_match
// = -0.5 s), since every operation rounds monotonically, so a lower bound
// of s (a partial sum, or the screen's) bounds the choice value from above.
//
// Where it looks closely (not Sparse), the screen runs first over every
// block, without a branch; then, block by block in node order, a block
// whose nodes are all bounded below their targets is done with one branch,
// and only the groups with a node that may still count sum their features.
enum class Aim { winner, sums };

template <int W, Aim A, bool Sparse>
inline __attribute__((always_inline)) void prune_blocks_for(const NodeBlocks& nodes, int first, int end,
                                                            const double* x, double log_presentations,
                                                            double* log_match, double* choice, std::uint8_t* exact,
                                                            PruneState& state)
{
    using Lanes = typename Vectors<W>::Lanes;
    using Mask = typename Vectors<W>::Mask;
    constexpr int parts = Vectors<W>::parts;
    constexpr int lanes = CategoryNodes::lanes;
    constexpr bool by_class = A != Aim::winner;
    const double inf = std::numeric_limits<double>::infinity();
    const int m = nodes.features;
    // Looked at after every feature of few, after every second of many.
    const int check = m > 16 ? 1 : 0;
    const std::int32_t* node_class = nullptr;
    const double* class_target = nullptr;  // per class: the sum's floor
    if constexpr (A == Aim::sums) {
        node_class = state.sums->node_class;
        class_target = state.sums->floor;
    }
    Lanes log_n;
    for (int l = 0; l < W; ++l)
        log_n[l] = log_presentations;
    // prune_blocks has run the screen.
    const bool screened = !Sparse && nodes.screen_count > 0;
    std::uint64_t looked = 0;
    std::uint64_t stops = 0;
    for (int b = first; b < end; ++b) {
        const double* mb = nodes.means + static_cast<std::size_t>(b) * static_cast<std::size_t>(m) * lanes;
        const double* sb = nodes.sigmas + static_cast<std::size_t>(b) * static_cast<std::size_t>(m) * lanes;
        // By class, a block of one class (as a copy grouped by class mostly
        // has) is bounded by that class's target.
        int block_class = -1;
        if (by_class && (b + 1) * lanes <= nodes.nodes) {
            const std::int32_t* classes = node_class + b * lanes;
            bool one = true;
            for (int l = 1; l < lanes; ++l)
                one = one && classes[l] == classes[0];
            block_class = one ? classes[0] : -1;
        }
        // The screen's log_match of each group (at least the true one).
        Lanes screen_lm[parts];
#pragma GCC unroll 8
        for (int p = 0; p < parts; ++p)
            screen_lm[p] = Lanes{} + inf;
        bool gone[parts] = {};
        if (screened && !state.exact_all && (by_class || state.best_node >= 0)) {
            Mask below[parts];
#pragma GCC unroll 8
            for (int p = 0; p < parts; ++p) {
                const int base = b * lanes + p * W;
                std::memcpy(&screen_lm[p], log_match + base, sizeof screen_lm[p]);
                Lanes big_a;
                Lanes sum_b;
                choice_parts<W>(nodes, base, log_n, big_a, sum_b);
                const Lanes bound = big_a + (screen_lm[p] - sum_b);
                if constexpr (!by_class) {
                    below[p] = bound < state.best;
                } else if (block_class >= 0) {
                    below[p] = bound < class_target[block_class];
                } else {
                    Lanes target;
                    for (int l = 0; l < W; ++l)
                        target[l] = base + l < nodes.nodes ? class_target[node_class[base + l]] : inf;
                    below[p] = bound < target;
                }
            }
            Mask all = below[0];
#pragma GCC unroll 8
            for (int p = 1; p < parts; ++p)
                all = all & below[p];
            if (all_of<W>(all)) {
                // Their log_match values are the screen's, written already.
                std::memset(exact + b * lanes, 0, lanes);
                looked += parts;
                stops += parts;
                continue;
            }
#pragma GCC unroll 8
            for (int p = 0; p < parts; ++p)
                gone[p] = all_of<W>(below[p]);
        }
        for (int p = 0; p < parts; ++p) {
            const int base = b * lanes + p * W;
            if (gone[p]) {
                std::memset(exact + base, 0, W);
                ++looked;
                ++stops;
                continue;
            }
            Lanes big_a;
            Lanes sum_b;
            choice_parts<W>(nodes, base, log_n, big_a, sum_b);
            // The value each node must fall below: the best so far, or its
            // class's floor (+inf past the last node).
            const bool may_stop =
                (!Sparse || (base / W) % sparse_every == 0) && !state.exact_all && (by_class || state.best_node >= 0);
            looked += may_stop ? 1 : 0;
            Lanes target = {};
            if (may_stop && by_class) {
                for (int l = 0; l < W; ++l)
                    target[l] = base + l < nodes.nodes ? class_target[node_class[base + l]] : inf;
            } else if (may_stop) {
                for (int l = 0; l < W; ++l)
                    target[l] = state.best;
            }
            Lanes s = {};
            Lanes bound_lm = {};
            int i = 0;
            bool stopped = false;
            // Feature i's term, added to the group's sums in feature order.
            const auto add_feature = [&](int f) __attribute__((always_inline))
            {
                Lanes mean;
                Lanes sigma;
                std::memcpy(&mean, mb + static_cast<std::size_t>(f) * lanes + p * W, sizeof mean);
                std::memcpy(&sigma, sb + static_cast<std::size_t>(f) * lanes + p * W, sizeof sigma);
                const Lanes d = (mean - x[f]) / sigma;
                s = s + d * d;
            };
            if (may_stop) {
                const Lanes t = 2.0 * ((big_a - target) - sum_b);
                for (; i < m && !stopped; ++i) {
                    add_feature(i);
                    if ((i < 2 || (i & check) == check) && all_of<W>(s > t)) {
                        // The lower of two values that bound log_match bounds it.
                        const Lanes partial_lm = -0.5 * s;
                        bound_lm = partial_lm < screen_lm[p] ? partial_lm : screen_lm[p];
                        stopped = all_of<W>(big_a + (bound_lm - sum_b) < target);
                    }
                }
            } else {
                for (; i < m; ++i)
                    add_feature(i);
            }
            stops += stopped ? 1 : 0;
            const int real = std::min(W, nodes.nodes - base);
            state.computed += static_cast<std::uint64_t>(i) * static_cast<std::uint64_t>(real);
            if (stopped) {
                std::memcpy(log_match + base, &bound_lm, sizeof bound_lm);
                std::memset(exact + base, 0, W);
                continue;
            }
            const Lanes lm = -0.5 * s;
            std::memcpy(log_match + base, &lm, sizeof lm);
            const Lanes c = big_a + (lm - sum_b);
            std::memcpy(choice + base, &c, sizeof c);
            std::memset(exact + base, 1, W);
            if constexpr (A == Aim::sums) {
                double values[W];
                double e[W];
                std::memcpy(values, &c, sizeof values);
                exp_lanes(values, e, real);
                for (int l = 0; l < real; ++l)
                    add_to_class(*state.sums, node_class[base + l], e[l]);
            } else {
                for (int l = 0; l < real; ++l) {
                    if (state.best_node < 0 || c[l] > state.best ||
                        (c[l] == state.best && base + l < state.best_node)) {
                        state.best = c[l];
                        state.best_node = base + l;
                    }
                }
            }
        }
    }
    state.looked += looked;
    state.stopped += stops;
}

template <int W>
inline __attribute__((always_inline)) void prune_blocks(const NodeBlocks& nodes, int first, int end, const double* x,
                                                        double log_presentations, double* log_match, double* choice,
                                                        std::uint8_t* exact, PruneState& state)
{
    constexpr int lanes = CategoryNodes::lanes;
    constexpr int unrolled_screen = 4;
    constexpr auto counts = std::make_integer_sequence<int, unrolled_screen>{};
    const auto run = [&](auto aim, auto sparse) __attribute__((always_inline))
    {
        prune_blocks_for<W, decltype(aim)::value, decltype(sparse)::value>(nodes, first, end, x, log_presentations,
                                                                           log_match, choice, exact, state);
    };
    if (!state.sparse && !state.exact_all && nodes.screen_count > 0) {
        if (state.sums == nullptr && state.best_node >= 0) {
            // The winner, with a best already: the screen also tells which
            // blocks cannot hold it, 64 blocks at a time, without a branch;
            // only the others are looked at, in node order.
            for (int chunk = first; chunk < end; chunk += 64) {
                const int chunk_end = std::min(end, chunk + 64);
                std::uint64_t live = screen_blocks<W>(counts, nodes, chunk, chunk_end, x, log_match,
                                                      {state.best, state.best_node, log_presentations});
                std::memset(exact + static_cast<std::size_t>(chunk) * lanes, 0,
                            static_cast<std::size_t>(chunk_end - chunk) * lanes);
                std::uint64_t left_out = static_cast<std::uint64_t>(chunk_end - chunk);
                for (; live != 0; live &= live - 1) {
                    const int b = chunk + __builtin_ctzll(live);
                    prune_blocks_for<W, Aim::winner, false>(nodes, b, b + 1, x, log_presentations, log_match, choice,
                                                            exact, state);
                    --left_out;
                }
                state.looked += left_out * Vectors<W>::parts;
                state.stopped += left_out * Vectors<W>::parts;
            }
            return;
        }
        screen_blocks<W>(counts, nodes, first, end, x, log_match, {0.0, -1, log_presentations});
    }
    using Sparse = std::true_type;
    using Dense = std::false_type;
    if (state.sums != nullptr) {
        using Sums = std::integral_constant<Aim, Aim::sums>;
        state.sparse ? run(Sums{}, Sparse{}) : run(Sums{}, Dense{});
    } else {
        using Winner = std::integral_constant<Aim, Aim::winner>;
        state.sparse ? run(Winner{}, Sparse{}) : run(Winner{}, Dense{});
    }
}

// Every block path is this one template, instantiated for a vector width
// (and, on x86, a target): 2 lanes of portable code, 4 of AVX2, 8 of AVX-512.
void match_blocks_portable(const NodeBlocks& nodes, int first, int end, const double* x, double bound, double open_from,
                           double* log_match, std::uint8_t* block_open)
{
    match_blocks<2>(nodes, first, end, x, bound, open_from, log_match, block_open);
}

void prune_blocks_portable(const NodeBlocks& nodes, int first, int end, const double* x, double log_presentations,
                           double* log_match, double* choice, std::uint8_t* exact, PruneState& state)
{
    prune_blocks<2>(nodes, first, end, x, log_presentations, log_match, choice, exact, state);
}

#if defined(__x86_64__) || defined(__i386__)
#define TARN_HAS_X86_PATHS 1
__attribute__((target("avx2"))) void prune_blocks_avx2(const NodeBlocks& nodes, int first, int end, const double* x,
                                                       double log_presentations, double* log_match, double* choice,
                                                       std::uint8_t* exact, PruneState& state)
{
    prune_blocks<4>(nodes, first, end, x, log_presentations, log_match, choice, exact, state);
}

__attribute__((target("avx512f"))) void prune_blocks_avx512(const NodeBlocks& nodes, int first, int end,
                                                            const double* x, double log_presentations,
                                                            double* log_match, double* choice, std::uint8_t* exact,
                                                            PruneState& state)
{
    prune_blocks<8>(nodes, first, end, x, log_presentations, log_match, choice, exact, state);
}

__attribute__((target("avx2"))) void match_blocks_avx2(const NodeBlocks& nodes, int first, int end, const double* x,
                                                       double bound, double open_from, double* log_match,
                                                       std::uint8_t* block_open)
{
    match_blocks<4>(nodes, first, end, x, bound, open_from, log_match, block_open);
}

__attribute__((target("avx512f"))) void match_blocks_avx512(const NodeBlocks& nodes, int first, int end,
                                                            const double* x, double bound, double open_from,
                                                            double* log_match, std::uint8_t* block_open)
{
    match_blocks<8>(nodes, first, end, x, bound, open_from, log_match, block_open);
}

// Asked on first use, never during static initialisation, and after
// __builtin_cpu_init so that the answer is valid whenever it is asked.
bool cpu_has_avx2()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx2");
}

bool cpu_has_avx512()
{
    __builtin_cpu_init();
    return __builtin_cpu_supports("avx512f");
}
#endif
#endif  // __GNUC__: other compilers run the reference path

bool every_cpu()
{
    return true;
}

// The choice value below which exp() stays under `limit` (or is 0 when
// `limit` is 0), found by halving, with the library's exp() as the judge
// and relying only on its never falling as its argument rises.
double exp_floor(double limit)
{
    const auto below = [limit](double c) { return limit > 0.0 ? std::exp(c) < limit : std::exp(c) == 0.0; };
    double low = -1000.0;  // exp() is 0 here
    double high = 710.0;   // and infinite here
    for (;;) {
        const double mid = low + (high - low) / 2.0;
        if (mid <= low || mid >= high)
            break;
        (below(mid) ? low : high) = mid;
    }
    // The least value that exp() lifts to the limit, the one after low.
    for (high = std::nextafter(low, high + 1.0); below(high); high = std::nextafter(high, high + 1.0))
        low = high;
    return high;
}

const KernelPath* current_path = nullptr;
bool early_exit = true;
bool pruning = true;
std::size_t tile_cache = ~std::size_t{0};  // the system's

// The size of the cache that a tile's run of blocks should stay in: the
// level-2 cache where the system says, 1 MiB otherwise.
std::size_t cache_bytes()
{
    if (tile_cache != ~std::size_t{0})
        return tile_cache;
    static const std::size_t bytes = [] {
        long size = 0;
#if defined(_SC_LEVEL2_CACHE_SIZE)
        size = sysconf(_SC_LEVEL2_CACHE_SIZE);
#endif
        return size > 0 ? static_cast<std::size_t>(size) : std::size_t{1} << 20;
    }();
    return bytes;
}
KernelCounts counts = {0, 0};

// The vigilance test on log_match, deciding exp(log_match) >= vigilance
// without the exponential wherever log_match is clearly on one side of
// ln(vigilance); near it, the exponential decides.
struct VigilanceTest {
    double vigilance;
    double surely_passes_above;  // log_match above this passes
    double surely_fails_below;   // log_match below this (or not a number) fails
    double sum_bound;            // a partial sum above this fails

    VigilanceTest(double rho, bool exact_failures)
    {
        const double inf = std::numeric_limits<double>::infinity();
        vigilance = rho;
        if (!(rho > 0.0)) {
            // exp() is never below 0: every log_match that is a number passes.
            surely_passes_above = -inf;
            surely_fails_below = -inf;
            sum_bound = inf;
            return;
        }
        if (rho < 1e-300) {
            // The exponential has few digits down there: let it decide alone.
            surely_passes_above = inf;
            surely_fails_below = -inf;
            sum_bound = inf;
            return;
        }
        // The margin dwarfs the rounding of log() and exp().
        const double t = std::log(rho);
        const double margin = 1e-9 * (1.0 + std::fabs(t));
        surely_passes_above = t + margin;
        surely_fails_below = t - margin;
        // -0.5 * s < surely_fails_below exactly when s > this bound.
        sum_bound = exact_failures || !early_exit ? inf : -2.0 * surely_fails_below;
    }

    bool passes(double log_match) const
    {
        if (log_match > surely_passes_above)
            return true;
        if (!(log_match >= surely_fails_below))
            return false;
        return std::exp(log_match) >= vigilance;
    }
};

// The scan's arrays, as scan_nodes hands them to its two ways of filling them.
struct ScanArrays {
    double* log_match;
    double* match_value;
    double* choice_value;
    std::uint8_t* passed;
    std::uint8_t* block_open;
};

// Nodes [first, end) node by node, as the node operations define it.
void scan_reference(const CategoryNodes& nodes, int first, int end, const double* x, double vigilance,
                    const ScanArrays& scan)
{
    for (int k = first; k < end; ++k) {
        const NodeMatch match = nodes.node_match(k, x);
        scan.log_match[k] = match.log_match;
        scan.match_value[k] = match.match_value;
        const bool passes = match.match_value >= vigilance;
        scan.passed[k] = passes ? 1 : 0;
        if (passes)
            scan.choice_value[k] = nodes.node_choice(k, match.log_match);
    }
}

// The choice value of node k for a log_match, as node_choice forms it
// from the parts kept with each node: ln(count) and the sum of ln(sigma)
// for trained nodes, log_const for loaded ones.
double choice_of(const CategoryNodes& nodes, int k, double lm, double log_presentations)
{
    double choice;
    if (nodes.prior(k) >= 0.0) {
        choice = lm + nodes.log_const(k);
        // A value that is not a number is recomputed the reference way, so
        // that it carries the same sign.
        if (std::isnan(choice))
            choice = CategoryNodes::loaded_choice(lm, nodes.log_const(k));
    } else {
        choice = (nodes.log_count(k) - log_presentations) + (lm - nodes.sum_log_sigma(k));
        if (std::isnan(choice))
            choice = CategoryNodes::trained_choice(nodes.log_count(k), log_presentations, lm, nodes.sum_log_sigma(k));
    }
    return choice;
}

// Blocks [first, end) through the block matcher. The choice value as
// node_choice forms it, from the parts kept with each node: ln(count) and
// the sum of ln(sigma) for trained nodes, log_const for loaded ones.
// Returns the flops of the node_choice calls it stands for.
std::uint64_t scan_blocks(const CategoryNodes& nodes, BlockMatcher matcher, int first, int end, const double* x,
                          const ScanSettings& settings, const VigilanceTest& test, const ScanArrays& scan)
{
    constexpr int lanes = CategoryNodes::lanes;
    // Blocks whose nodes all surely fail need no more look, unless their
    // trace lines will print the match values.
    const double open_from =
        settings.exact_failures ? -std::numeric_limits<double>::infinity() : test.surely_fails_below;
    matcher(nodes.blocks(), first, end, x, test.sum_bound, open_from, scan.log_match, scan.block_open);

    const double log_presentations = std::log(static_cast<double>(presentation_total));
    const std::uint64_t trained_choice_flops = 2 * static_cast<std::uint64_t>(nodes.features()) + 5;
    std::uint64_t flops = 0;
    const int n = std::min(nodes.size(), end * lanes);
    for (int b = first; b < end; ++b) {
        const int from = b * lanes;
        if (scan.block_open[b] == 0) {
            // The storage holds whole blocks, so all eight flags can be cleared.
            std::memset(scan.passed + from, 0, lanes);
            continue;
        }
        for (int k = from; k < std::min(n, from + lanes); ++k) {
            // A value that is not a number is recomputed the reference way,
            // so that it carries the same sign.
            if (std::isnan(scan.log_match[k]))
                scan.log_match[k] = nodes.log_match_of(k, x);
            const double lm = scan.log_match[k];
            const bool passes = test.passes(lm);
            scan.passed[k] = passes ? 1 : 0;
            if (!passes)
                continue;
            scan.choice_value[k] = choice_of(nodes, k, lm, log_presentations);
            flops += nodes.prior(k) >= 0.0 ? 1 : trained_choice_flops;
        }
    }
    return flops;
}

}  // namespace

const std::vector<KernelPath>& kernel_paths()
{
    static const std::vector<KernelPath> paths = {
        {"reference", every_cpu, nullptr, 1, nullptr},
#if defined(__GNUC__)
        {"blocks", every_cpu, match_blocks_portable, 2, prune_blocks_portable},
#if defined(TARN_HAS_X86_PATHS)
        {"avx2", cpu_has_avx2, match_blocks_avx2, 4, prune_blocks_avx2},
        {"avx512", cpu_has_avx512, match_blocks_avx512, 8, prune_blocks_avx512},
#endif
#endif
    };
    return paths;
}

const KernelPath& kernel_path()
{
    if (current_path == nullptr)
        for (const KernelPath& path : kernel_paths())
            if (path.cpu_supports())
                current_path = &path;
    return *current_path;
}

bool set_kernel_path(const char* name)
{
    for (const KernelPath& path : kernel_paths()) {
        if (std::strcmp(path.name, name) == 0 && path.cpu_supports()) {
            current_path = &path;
            return true;
        }
    }
    return false;
}

void set_early_exit(bool enabled)
{
    early_exit = enabled;
}

double sum_floor(double sum)
{
    if (std::isnan(sum))
        return -std::numeric_limits<double>::infinity();
    if (sum == std::numeric_limits<double>::infinity())
        return sum;
    // One floor per binade of the sum, found once: half an ulp of sums in
    // [2^e, 2^(e+1)) is 2^(e-53); below 2^-1021 only exp() = 0 is lost.
    static double floors[2048];
    static bool known[2048];
    int e = 0;
    std::frexp(sum, &e);  // sum = f 2^e, f in [1/2, 1)
    const int binade = sum >= 0x1p-1021 ? e - 1 : -1100;
    const int slot = std::max(0, binade + 1024);
    if (!known[slot]) {
        floors[slot] = exp_floor(binade >= -1021 ? std::ldexp(1.0, binade - 53) : 0.0);
        known[slot] = true;
    }
    return floors[slot];
}

void set_pruning(bool enabled)
{
    pruning = enabled;
}

void set_tile_cache(std::size_t bytes)
{
    tile_cache = bytes;
}

KernelCounts kernel_counts()
{
    return counts;
}

NodeScan::~NodeScan()
{
    node_memory_release(block);
}

bool NodeScan::cover(int nodes)
{
    if (nodes <= capacity)
        return true;
    void* grown = allocate_arrays(static_cast<std::size_t>(nodes), log_match_, match_value_, choice_value_, passed_,
                                  exact_, block_open);
    if (grown == nullptr)
        return false;
    node_memory_release(block);
    block = grown;
    capacity = nodes;
    return true;
}

double NodeScan::match_value(int k) const
{
    if (!match_values_marked) {
        std::fill(match_value_, match_value_ + scanned, -1.0);
        match_values_marked = true;
    }
    if (match_value_[k] < 0.0)
        match_value_[k] = std::exp(log_match_[k]);
    return match_value_[k];
}

namespace {

constexpr std::uint64_t every_lane(std::uint8_t flag)
{
    return 0x0101010101010101ULL * flag;
}

// The eight flag bytes of block b.
std::uint64_t block_flags(const NodeBlocks& blocks, int b)
{
    std::uint64_t word;
    std::memcpy(&word, blocks.flags + static_cast<std::size_t>(b) * CategoryNodes::lanes, sizeof word);
    return word;
}

void start_sums(ClassSums& sums)
{
    const double floor = sum_floor(0.0);
    for (int c = 0; c < sums.classes; ++c) {
        sums.sum[c] = 0.0;
        sums.floor[c] = floor;
    }
}

bool all_finite(const double* x, int m)
{
    bool finite = true;
    for (int i = 0; i < m; ++i)
        finite = finite && std::isfinite(x[i]);
    return finite;
}

// The winner as the loops pick it: the first passing node, replaced only by
// a strictly larger choice value. Kept while a scan visits nodes out of
// order: the best over choice values that are numbers (lower index on
// ties), unless the first passing node's is not a number, which no
// comparison can then beat.
struct WinnerSearch {
    PruneState state{0.0, -1, 0, nullptr, false, false, 0, 0};
    int first_passing = -1;
    bool first_is_nan = false;
    int passing = 0;

    void offer(int k, double choice)
    {
        if (!std::isnan(choice) &&
            (state.best_node < 0 || choice > state.best || (choice == state.best && k < state.best_node))) {
            state.best = choice;
            state.best_node = k;
        }
    }
    // Node k passed, in index order among the passing nodes.
    void passes(int k, bool choice_is_nan)
    {
        if (first_passing < 0) {
            first_passing = k;
            first_is_nan = choice_is_nan;
        }
        ++passing;
    }
    int winner() const
    {
        if (passing == 0)
            return -1;
        return first_is_nan ? first_passing : state.best_node;
    }
};

// One pattern's scan, taken a run of blocks at a time so that a tile of
// patterns can share each run while it is in the cache.
//
// A winner_only scan at a vigilance of 0 or less, pattern finite
// (scan_prunes): every node whose sum cannot be not a number passes (exp()
// is never below 0), and runs of blocks of such nodes go through the path's
// pruner; any other block is matched in full as scan_blocks does it. The
// latest winner is summed first; `sparse` says how closely to look, and is
// set for the next pattern. Any other scan matches every block in full,
// then picks the winner and adds the sums in node order.
}  // namespace

class PatternScan {
public:
    PatternScan(const CategoryNodes& nodes, const double* x, const ScanSettings& settings, NodeScan& scan)
        : nodes(nodes),
          path(kernel_path()),
          x(x),
          settings(settings),
          scan(scan),
          test(settings.vigilance, settings.exact_failures),
          log_presentations(std::log(static_cast<double>(presentation_total))),
          trained_choice_flops(2 * static_cast<std::uint64_t>(nodes.features()) + 5),
          flops(static_cast<std::uint64_t>(nodes.size()) * (4 * static_cast<std::uint64_t>(nodes.features()) + 2))
    {
    }

    // Readies the scan (false when its arrays could not grow).
    bool begin()
    {
        const int n = nodes.size();
        scan.winner_ = -1;
        scan.passing_ = 0;
        scan.pruned = false;
        if (settings.sums != nullptr)
            start_sums(*settings.sums);
        if (n == 0)
            return true;
        if (!scan.cover(nodes.capacity()))
            return false;
        arrays = {scan.log_match_, scan.match_value_, scan.choice_value_, scan.passed_, scan.block_open};
        scan.scanned = n;
        scan.match_values_marked = path.matcher == nullptr;
        counts.scanned += static_cast<std::uint64_t>(n) * static_cast<std::uint64_t>(nodes.features());
        prunes = scan_prunes(nodes, x, settings);
        scan.pruned = prunes;
        if (!prunes)
            return true;
        search.state.exact_all = settings.exact_values;
        // The latest winner first: a strong best early lets most groups stop.
        const int seed = scan.seed;
        const bool seeded =
            !settings.exact_values && seed >= 0 && seed < n && (nodes.blocks().flags[seed] & node_prunable) != 0;
        const double seed_choice =
            seeded ? choice_of(nodes, seed, nodes.log_match_of(seed, x), log_presentations) : 0.0;
        computed += seeded ? static_cast<std::uint64_t>(nodes.features()) : 0;
        if (settings.sums != nullptr) {
            search.state.sums = settings.sums;
        } else if (seeded) {
            search.offer(seed, seed_choice);
        }
        search.state.sparse = scan.sparse;
        return true;
    }

    // The scan over blocks [first, end).
    void blocks(int first, int end)
    {
        if (!prunes) {
            if (path.matcher == nullptr)
                scan_reference(nodes, first * lanes, std::min(nodes.size(), end * lanes), x, settings.vigilance,
                               arrays);
            else
                flops += scan_blocks(nodes, path.matcher, first, end, x, settings, test, arrays);
            return;
        }
        const int n = nodes.size();
        const int m = nodes.features();
        const NodeBlocks view = nodes.blocks();
        ClassSums* const sums = search.state.sums;
        for (int b = first; b < end;) {
            const int run = b;
            std::uint64_t loaded = 0;
            for (; b < end; ++b) {
                const std::uint64_t word = block_flags(view, b);
                if ((word & every_lane(node_prunable)) != every_lane(node_prunable))
                    break;
                // The flags of loaded choices, one bit per byte, summed by
                // one multiplication (no popcount instruction is assumed).
                loaded += ((word & every_lane(node_loaded_choice)) >> 1) * every_lane(1) >> 56;
            }
            if (b > run) {
                search.state.computed = 0;
                path.pruner(view, run, b, x, log_presentations, arrays.log_match, arrays.choice_value, scan.exact_,
                            search.state);
                computed += search.state.computed;
                const int from = run * lanes;
                const int to = std::min(n, b * lanes);
                std::memset(arrays.passed + from, 1, static_cast<std::size_t>(to - from));
                search.passes(from, false);
                search.passing += to - from - 1;
                flops += loaded + (static_cast<std::uint64_t>(to - from) - loaded) * trained_choice_flops;
            }
            if (b == end)
                break;
            // A block with a node that may give a value that is not a number.
            flops += scan_blocks(nodes, path.matcher, b, b + 1, x, settings, test, arrays);
            const int from = b * lanes;
            const int to = std::min(n, from + lanes);
            std::memset(scan.exact_ + from, 1, lanes);
            computed += static_cast<std::uint64_t>(to - from) * static_cast<std::uint64_t>(m);
            for (int k = from; k < to; ++k) {
                if (!arrays.passed[k])
                    continue;
                search.passes(k, std::isnan(arrays.choice_value[k]));
                if (sums != nullptr)
                    add_to_class(*sums, sums->node_class[k], std::exp(arrays.choice_value[k]));
                else
                    search.offer(k, arrays.choice_value[k]);
            }
            ++b;
        }
    }

    // Ends the scan: its results, and the work it stands for (kept in the
    // scan for count_scan_work unless counted now).
    void finish(bool count_now)
    {
        const int n = nodes.size();
        if (n == 0)
            return;
        scan.flops = path.matcher != nullptr ? flops : 0;
        if (prunes) {
            // Look sparsely at the next pattern when little stopped at this one.
            if (search.state.looked != 0)
                scan.sparse = search.state.stopped * sparse_every < search.state.looked;
            scan.winner_ = search.winner();
            scan.passing_ = search.passing;
            scan.seed = scan.winner_;
            counts.computed += computed;
        } else {
            counts.computed += static_cast<std::uint64_t>(n) * static_cast<std::uint64_t>(nodes.features());
            std::fill(scan.exact_, scan.exact_ + n, std::uint8_t{1});
            // The winner as the loops pick it, and the sums, in node order.
            double best = 0.0;
            for (int k = 0; k < n; ++k) {
                if (!scan.passed(k))
                    continue;
                ++scan.passing_;
                if (settings.sums != nullptr)
                    add_to_class(*settings.sums, settings.sums->node_class[k], std::exp(scan.choice_value(k)));
                if (scan.winner_ < 0 || scan.choice_value(k) > best) {
                    scan.winner_ = k;
                    best = scan.choice_value(k);
                }
            }
            scan.seed = scan.winner_;
        }
        if (count_now)
            count_scan_work(scan);
    }

private:
    static constexpr int lanes = CategoryNodes::lanes;

    const CategoryNodes& nodes;
    const KernelPath& path;
    const double* x;
    const ScanSettings& settings;
    NodeScan& scan;
    ScanArrays arrays{};  // the scan's, once it covers the nodes
    const VigilanceTest test;
    const double log_presentations;
    const std::uint64_t trained_choice_flops;
    std::uint64_t flops;
    std::uint64_t computed = 0;
    WinnerSearch search;
    bool prunes = false;
};

namespace {

// Scans each of `count` patterns (at most max_tile) as scan_nodes does, a
// run of blocks at a time for all of them: the run stays in the cache
// while the tile uses it. The host is asked about an interrupt after
// every stretch of about 2^20 node-features (whole blocks) of scanning.
RunStatus scan_patterns(const CategoryNodes& nodes, const double* const* xs, int count, const ScanSettings* settings,
                        NodeScan* scans, bool count_now)
{
    std::optional<PatternScan> tile[max_tile];
    for (int p = 0; p < count; ++p) {
        tile[p].emplace(nodes, xs[p], settings[p], scans[p]);
        if (!tile[p]->begin())
            return RunStatus::out_of_memory;
    }
    constexpr int lanes = CategoryNodes::lanes;
    const int blocks = (nodes.size() + lanes - 1) / lanes;
    const std::int64_t per_block = static_cast<std::int64_t>(std::max(nodes.features(), 1)) * lanes;
    const int stretch = static_cast<int>(std::max<std::int64_t>(1, work_between_polls / per_block));
    const std::int64_t poll_every = stretch * per_block;
    // A tile takes runs of blocks whose means and deviations fill a quarter
    // of the cache.
    const int run =
        count == 1
            ? stretch
            : static_cast<int>(std::clamp<std::int64_t>(static_cast<std::int64_t>(cache_bytes() / 4) /
                                                            (per_block * 2 * static_cast<std::int64_t>(sizeof(double))),
                                                        1, stretch));
    std::int64_t since = 0;
    for (int first = 0; first < blocks; first += run) {
        const int end = std::min(blocks, first + run);
        for (int p = 0; p < count; ++p) {
            if (since >= poll_every) {
                since = 0;
                if (host_interrupt_pending())
                    return RunStatus::interrupted;
            }
            tile[p]->blocks(first, end);
            since += (end - first) * per_block;
        }
    }
    for (int p = 0; p < count; ++p)
        tile[p]->finish(count_now);
    return RunStatus::done;
}

}  // namespace

bool scan_prunes(const CategoryNodes& nodes, const double* x, const ScanSettings& settings)
{
    const KernelPath& path = kernel_path();
    if (!settings.winner_only || !pruning || path.pruner == nullptr || !(settings.vigilance <= 0.0) ||
        !all_finite(x, nodes.features()))
        return false;
    return true;
}

void count_scan_work(NodeScan& scan)
{
    count_work_bulk(scan.flops);
    scan.flops = 0;
}

int tile_patterns(const CategoryNodes& nodes)
{
    // Each pattern of a tile writes its own results per node (a log_match,
    // a match value, a choice value and two flags): the tile's results must
    // weigh less than the model it saves reading, half of it at most.
    constexpr std::size_t results_per_node = 3 * sizeof(double) + 2;
    const auto per_node = 2 * sizeof(double) * static_cast<std::size_t>(nodes.features());
    const auto bytes = per_node * static_cast<std::size_t>(nodes.capacity());
    const bool set_here = tile_cache != ~std::size_t{0};  // a test's small cache tiles any model
    const bool worth_it = (set_here || per_node >= 2 * max_tile * results_per_node) && bytes > cache_bytes();
    return cache_bytes() != 0 && kernel_path().matcher != nullptr && worth_it ? max_tile : 1;
}

RunStatus scan_tile(const CategoryNodes& nodes, const double* const* xs, int count, const ScanSettings* settings,
                    NodeScan* scans)
{
    return scan_patterns(nodes, xs, count, settings, scans, false);
}

RunStatus scan_nodes(const CategoryNodes& nodes, const double* x, const ScanSettings& settings, NodeScan& scan)
{
    return scan_patterns(nodes, &x, 1, &settings, &scan, true);
}

void complete_rivals(const CategoryNodes& nodes, const double* x, int rejected, NodeScan& scan)
{
    if (!scan.pruned)
        return;
    const double log_presentations = std::log(static_cast<double>(presentation_total));
    const double rejected_log_match = scan.log_match_[rejected];
    for (int k = 0; k < scan.scanned; ++k) {
        // A node left out has log_match <= its partial one < the rejected
        // winner's, so a match value that cannot be larger (exp() rises).
        if (scan.exact_[k] != 0 || !(scan.log_match_[k] >= rejected_log_match))
            continue;
        const double lm = nodes.log_match_of(k, x);
        scan.log_match_[k] = lm;
        scan.match_value_[k] = -1.0;  // not computed yet
        scan.choice_value_[k] = choice_of(nodes, k, lm, log_presentations);
        scan.exact_[k] = 1;
        counts.computed += static_cast<std::uint64_t>(nodes.features());
    }
}

}  // namespace tarn
