#include "model/match_kernel.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

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
    static constexpr int parts = CategoryNodes::lanes / W;
};

using BlockKernel = void (*)(const double*, const double*, int, int, const double*, double, double, double*,
                             std::uint8_t*);

// A permutation of the eight lanes of a mask, in each compiler's spelling.
#if defined(__clang__)
#define TARN_PERMUTE8(m, ...) __builtin_shufflevector(m, m, __VA_ARGS__)
#else
#define TARN_PERMUTE8(m, ...) __builtin_shuffle(m, Mask{__VA_ARGS__})
#endif

// Whether a comparison held (-1) in every lane, or in any lane.
template <int W>
inline __attribute__((always_inline)) bool all_of(typename Vectors<W>::Mask m)
{
    using Mask = typename Vectors<W>::Mask;
    if constexpr (W == 8) {
        m = m & TARN_PERMUTE8(m, 4, 5, 6, 7, 0, 1, 2, 3);
        m = m & TARN_PERMUTE8(m, 2, 3, 0, 1, 6, 7, 4, 5);
        m = m & TARN_PERMUTE8(m, 1, 0, 3, 2, 5, 4, 7, 6);
        return m[0] != 0;
    } else {
        long long r = -1;
        for (int l = 0; l < W; ++l)
            r &= m[l];
        return r != 0;
    }
}

template <int W>
inline __attribute__((always_inline)) bool any_of(typename Vectors<W>::Mask m)
{
    return !all_of<W>(~m);
}

// log_match of every node of `blocks` blocks. A block stops summing once
// every one of its nodes has a partial sum above `bound` (the sums only
// grow): those nodes fail the vigilance test whatever follows. A block is
// left open when one of its log_match values is at least `open_from` or
// not a number.
template <int W>
inline __attribute__((always_inline)) void match_blocks_body(const double* means, const double* sigmas, int blocks,
                                                             int m, const double* x, double bound, double open_from,
                                                             double* log_match, std::uint8_t* block_open)
{
    using Lanes = typename Vectors<W>::Lanes;
    using Mask = typename Vectors<W>::Mask;
    constexpr int parts = Vectors<W>::parts;
    constexpr int lanes = CategoryNodes::lanes;
    const bool may_stop = bound < std::numeric_limits<double>::infinity();
    for (int b = 0; b < blocks; ++b) {
        const double* mb = means + static_cast<std::size_t>(b) * static_cast<std::size_t>(m) * lanes;
        const double* sb = sigmas + static_cast<std::size_t>(b) * static_cast<std::size_t>(m) * lanes;
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

template <int W>
inline __attribute__((always_inline)) double floor_body(const double* a, const double* b, std::int64_t n)
{
    using Lanes = typename Vectors<W>::Lanes;
    constexpr int parts = Vectors<W>::parts;
    constexpr int lanes = CategoryNodes::lanes;
    Lanes s[parts] = {};
    for (std::int64_t k = 0; k + lanes <= n; k += lanes) {
        for (int p = 0; p < parts; ++p) {
            Lanes num;
            Lanes den;
            std::memcpy(&num, a + k + p * W, sizeof num);
            std::memcpy(&den, b + k + p * W, sizeof den);
            s[p] = s[p] + num / den;
        }
    }
    double total = 0.0;
    for (int p = 0; p < parts; ++p)
        for (int l = 0; l < W; ++l)
            total = total + s[p][l];
    return total;
}

void match_blocks_portable(const double* means, const double* sigmas, int blocks, int m, const double* x, double bound,
                           double open_from, double* log_match, std::uint8_t* block_open)
{
    match_blocks_body<2>(means, sigmas, blocks, m, x, bound, open_from, log_match, block_open);
}

double floor_portable(const double* a, const double* b, std::int64_t n)
{
    return floor_body<2>(a, b, n);
}

#else
// Compilers without vector extensions: the same sums, a lane at a time.

using BlockKernel = void (*)(const double*, const double*, int, int, const double*, double, double, double*,
                             std::uint8_t*);

void match_blocks_portable(const double* means, const double* sigmas, int blocks, int m, const double* x, double bound,
                           double open_from, double* log_match, std::uint8_t* block_open)
{
    constexpr int lanes = CategoryNodes::lanes;
    const bool may_stop = bound < std::numeric_limits<double>::infinity();
    for (int b = 0; b < blocks; ++b) {
        const double* mb = means + static_cast<std::size_t>(b) * static_cast<std::size_t>(m) * lanes;
        const double* sb = sigmas + static_cast<std::size_t>(b) * static_cast<std::size_t>(m) * lanes;
        double s[lanes] = {};
        for (int i = 0; i < m; ++i) {
            const std::size_t at = static_cast<std::size_t>(i) * lanes;
            bool all_above = true;
            for (int l = 0; l < lanes; ++l) {
                const double d = (mb[at + l] - x[i]) / sb[at + l];
                s[l] = s[l] + d * d;
                all_above = all_above && s[l] > bound;
            }
            if (may_stop && ((i & 3) == 3 || i == 1) && all_above)
                break;
        }
        bool open = false;
        for (int l = 0; l < lanes; ++l) {
            const double lm = -0.5 * s[l];
            log_match[static_cast<std::size_t>(b) * lanes + l] = lm;
            open = open || !(lm < open_from);
        }
        block_open[b] = open ? 1 : 0;
    }
}

double floor_portable(const double* a, const double* b, std::int64_t n)
{
    double total = 0.0;
    for (std::int64_t k = 0; k < n; ++k)
        total = total + a[k] / b[k];
    return total;
}
#endif

#if defined(__GNUC__) && (defined(__x86_64__) || defined(__i386__))
#define TARN_HAS_X86_PATHS 1
__attribute__((target("avx2"))) void match_blocks_avx2(const double* means, const double* sigmas, int blocks, int m,
                                                       const double* x, double bound, double open_from,
                                                       double* log_match, std::uint8_t* block_open)
{
    match_blocks_body<4>(means, sigmas, blocks, m, x, bound, open_from, log_match, block_open);
}

__attribute__((target("avx512f"))) void match_blocks_avx512(const double* means, const double* sigmas, int blocks,
                                                            int m, const double* x, double bound, double open_from,
                                                            double* log_match, std::uint8_t* block_open)
{
    match_blocks_body<4>(means, sigmas, blocks, m, x, bound, open_from, log_match, block_open);
}

__attribute__((target("avx2"))) double floor_avx2(const double* a, const double* b, std::int64_t n)
{
    return floor_body<4>(a, b, n);
}

__attribute__((target("avx512f"))) double floor_avx512(const double* a, const double* b, std::int64_t n)
{
    return floor_body<8>(a, b, n);
}
#endif

KernelPath widest_supported()
{
    if (kernel_path_supported(KernelPath::avx512))
        return KernelPath::avx512;
    if (kernel_path_supported(KernelPath::avx2))
        return KernelPath::avx2;
    return KernelPath::blocks;
}

KernelPath current_path = widest_supported();
bool early_exit = true;

BlockKernel block_kernel(KernelPath path)
{
#if defined(TARN_HAS_X86_PATHS)
    if (path == KernelPath::avx512)
        return match_blocks_avx512;
    if (path == KernelPath::avx2)
        return match_blocks_avx2;
#endif
    (void)path;
    return match_blocks_portable;
}

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

int scan_reference(CategoryNodes& nodes, const double* x, double vigilance)
{
    int passing = 0;
    for (int k = 0; k < nodes.size(); ++k) {
        nodes.node_match(k, x);
        const bool passes = nodes.match_value[k] >= vigilance;
        nodes.passed[k] = passes ? 1 : 0;
        if (passes) {
            nodes.node_choice(k);
            ++passing;
        }
    }
    return passing;
}

}  // namespace

bool kernel_path_supported(KernelPath path)
{
    switch (path) {
        case KernelPath::reference:
        case KernelPath::blocks:
            return true;
#if defined(TARN_HAS_X86_PATHS)
        case KernelPath::avx2:
            return __builtin_cpu_supports("avx2");
        case KernelPath::avx512:
            return __builtin_cpu_supports("avx512f");
#endif
        default:
            return false;
    }
}

void set_early_exit(bool enabled)
{
    early_exit = enabled;
}

KernelPath kernel_path()
{
    return current_path;
}

bool set_kernel_path(KernelPath path)
{
    if (!kernel_path_supported(path))
        return false;
    current_path = path;
    return true;
}

const char* kernel_path_name(KernelPath path)
{
    switch (path) {
        case KernelPath::reference:
            return "reference";
        case KernelPath::blocks:
            return "blocks";
        case KernelPath::avx2:
            return "avx2";
        case KernelPath::avx512:
            return "avx512";
    }
    return "?";
}

double exact_match_value(const CategoryNodes& nodes, int k)
{
    return std::exp(nodes.log_match[k]);
}

int scan_nodes(CategoryNodes& nodes, const double* x, const ScanSettings& settings)
{
    const int n = nodes.size();
    if (current_path == KernelPath::reference)
        return scan_reference(nodes, x, settings.vigilance);
    if (n == 0)
        return 0;

    const VigilanceTest test(settings.vigilance, settings.exact_failures);
    const int m = nodes.features();
    const int blocks = (n + CategoryNodes::lanes - 1) / CategoryNodes::lanes;
    // Blocks whose nodes all surely fail need no more look, unless their
    // trace lines will print the match values.
    const double open_from =
        settings.exact_failures ? -std::numeric_limits<double>::infinity() : test.surely_fails_below;
    block_kernel(current_path)(nodes.means, nodes.sigmas, blocks, m, x, test.sum_bound, open_from, nodes.log_match,
                               nodes.block_open);

    // The choice value as node_choice forms it, from the parts kept with
    // each node: ln(count) and the sum of ln(sigma) for trained nodes,
    // log_const for loaded ones.
    const double log_presentations = std::log(static_cast<double>(presentation_total));
    const std::uint64_t trained_choice_flops = 2 * static_cast<std::uint64_t>(m) + 5;
    std::uint64_t flops = static_cast<std::uint64_t>(n) * (4 * static_cast<std::uint64_t>(m) + 2);
    int passing = 0;
    for (int b = 0; b < blocks; ++b) {
        const int first = b * CategoryNodes::lanes;
        if (nodes.block_open[b] == 0) {
            // The storage holds whole blocks, so all eight flags can be cleared.
            std::memset(nodes.passed + first, 0, CategoryNodes::lanes);
            continue;
        }
        const int end = std::min(n, first + CategoryNodes::lanes);
        for (int k = first; k < end; ++k) {
            // A value that is not a number is recomputed the reference way,
            // so that it carries the same sign.
            if (std::isnan(nodes.log_match[k]))
                nodes.log_match[k] = nodes.log_match_of(k, x);
            const double lm = nodes.log_match[k];
            const bool passes = test.passes(lm);
            nodes.passed[k] = passes ? 1 : 0;
            if (!passes)
                continue;
            ++passing;
            if (nodes.prior[k] >= 0.0) {
                double choice = lm + nodes.log_const[k];
                if (std::isnan(choice))
                    choice = CategoryNodes::loaded_choice(lm, nodes.log_const[k]);
                nodes.choice_value[k] = choice;
                flops += 1;
            } else {
                double choice = (nodes.log_count[k] - log_presentations) + (lm - nodes.sum_log_sigma[k]);
                if (std::isnan(choice))
                    choice = CategoryNodes::trained_choice(nodes.log_count[k], log_presentations, lm,
                                                           nodes.sum_log_sigma[k]);
                nodes.choice_value[k] = choice;
                flops += trained_choice_flops;
            }
        }
    }
    count_work_bulk(flops);
    return passing;
}

double division_floor(const double* numerators, const double* denominators, std::int64_t n)
{
#if defined(TARN_HAS_X86_PATHS)
    if (current_path == KernelPath::avx512)
        return floor_avx512(numerators, denominators, n);
    if (current_path == KernelPath::avx2)
        return floor_avx2(numerators, denominators, n);
#endif
    return floor_portable(numerators, denominators, n);
}

}  // namespace tarn
