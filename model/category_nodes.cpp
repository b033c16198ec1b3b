#include "model/category_nodes.h"

#include <algorithm>
#include <cmath>
#include <cstring>
#include <limits>

#include "model/integer.h"
#include "model/node_memory.h"
#include "model/work.h"

// The pieces that several callers must compute with the same instructions.
#if defined(_MSC_VER)
#define TARN_NOINLINE __declspec(noinline)
#else
#define TARN_NOINLINE __attribute__((noinline))
#endif

namespace tarn {

std::int32_t feature_count = 0;
double initial_sigma = 0.0;
std::uint32_t presentation_total = 0;

namespace {

std::uint32_t as_count(std::int64_t value)
{
    return static_cast<std::uint32_t>(value);
}

}  // namespace

std::uint32_t recovered_count(double prior, std::uint32_t presentations)
{
    const double product = prior * static_cast<double>(presentations);
    const double whole = std::nearbyint(product);
    if (!(std::fabs(product - whole) <= 1e-6 && whole >= 1.0 && whole <= 4294967295.0))
        return 0;
    return static_cast<std::uint32_t>(whole);
}

namespace {

// How many features a model of m features screens: as many as keep the
// screen within a ninth of the means and deviations (4 bytes against 16
// per feature), at least one, at most CategoryNodes::max_screen.
int screened_features(int m)
{
    return std::max(std::min(1, m), std::min(4 * m / 9, CategoryNodes::max_screen));
}

// The upper 32 bits of a double at most 1/sigma, or 0. The double 1/sigma
// is within 2^-53 of the quotient; scaled by 1 - 2^-30 (within 2^-53
// again) it is below the quotient, (1 + 2^-53)^2 (1 - 2^-30) < 1, and
// dropping its lower 32 bits only lowers it (by less than 2^-20). 0 where
// 1/sigma is not a normal double (sigma is huge or tiny or not a positive
// number).
std::uint32_t screen_reciprocal(double sigma)
{
    const double r = 1.0 / sigma;
    if (!(r >= std::numeric_limits<double>::min() && r <= std::numeric_limits<double>::max()))
        return 0;
    const double lowered = r * (1.0 - 0x1p-30);
    std::uint64_t bits;
    std::memcpy(&bits, &lowered, sizeof bits);
    return static_cast<std::uint32_t>(bits >> 32);
}

}  // namespace

CategoryNodes::CategoryNodes(int features) : m(features > 0 ? features : 0), screen_count(screened_features(m))
{
    for (int j = 0; j < screen_count; ++j)
        screen_features[j] = j;
}

CategoryNodes::~CategoryNodes()
{
    node_memory_release(vector_block);
    node_memory_release(field_block);
}

bool CategoryNodes::reserve(int nodes)
{
    return nodes <= node_capacity || grow_to(nodes);
}

// Both blocks are made anew and the nodes copied over; the capacity is a
// whole number of blocks of lanes nodes, so blocks keep their place and a
// larger capacity only adds blocks.
bool CategoryNodes::grow_to(int new_capacity)
{
    const std::size_t cap = (static_cast<std::size_t>(new_capacity) + lanes - 1) / lanes * lanes;
    const std::size_t vector_doubles = cap * static_cast<std::size_t>(m);
    double* new_means = nullptr;
    double* new_sigmas = nullptr;
    std::uint32_t* new_screen = nullptr;
    void* vectors =
        allocate_counted(Counted<double>{vector_doubles, new_means}, Counted<double>{vector_doubles, new_sigmas},
                         Counted<std::uint32_t>{cap * static_cast<std::size_t>(screen_count), new_screen});
    if (vectors == nullptr)
        return false;
    Fields* new_fields = nullptr;
    double* new_a = nullptr;
    double* new_b = nullptr;
    std::int64_t* new_uses = nullptr;
    std::uint8_t* new_flags = nullptr;
    void* records = allocate_arrays(cap, new_fields, new_a, new_b, new_uses, new_flags);
    if (records == nullptr) {
        node_memory_release(vectors);
        return false;
    }
    // Lanes past the last node: a choice that can never win or add anything.
    for (std::size_t k = static_cast<std::size_t>(node_count); k < cap; ++k) {
        new_a[k] = -HUGE_VAL;
        new_flags[k] = node_prunable;
    }

    const std::size_t old_doubles = static_cast<std::size_t>(node_capacity) * static_cast<std::size_t>(m);
    for (std::size_t s = old_doubles; s < vector_doubles; ++s)
        new_sigmas[s] = 1.0;
    if (old_doubles != 0) {
        std::memcpy(new_means, means, old_doubles * sizeof(double));
        std::memcpy(new_sigmas, sigmas, old_doubles * sizeof(double));
    }
    if (node_capacity != 0 && screen_count != 0)
        std::memcpy(new_screen, screen, static_cast<std::size_t>(node_capacity) * screen_count * sizeof(std::uint32_t));
    if (node_count != 0) {
        const auto count = static_cast<std::size_t>(node_count);
        std::memcpy(new_fields, fields, count * sizeof(Fields));
        std::memcpy(new_a, choice_a, count * sizeof(double));
        std::memcpy(new_b, choice_b, count * sizeof(double));
        std::memcpy(new_uses, uses_presentations, count * sizeof(std::int64_t));
        std::memcpy(new_flags, flags, count);
    }

    node_memory_release(vector_block);
    node_memory_release(field_block);
    vector_block = vectors;
    field_block = records;
    node_capacity = static_cast<int>(cap);
    means = new_means;
    sigmas = new_sigmas;
    screen = new_screen;
    fields = new_fields;
    choice_a = new_a;
    choice_b = new_b;
    uses_presentations = new_uses;
    flags = new_flags;
    return true;
}

void CategoryNodes::refresh_choice_parts(int k)
{
    const Fields& f = fields[k];
    const bool loaded = f.prior >= 0.0;
    choice_a[k] = loaded ? f.log_const : f.log_count;
    choice_b[k] = loaded ? 0.0 : f.sum_log_sigma;
    uses_presentations[k] = loaded ? 0 : -1;
    bool prunable = std::isfinite(choice_a[k]) && std::isfinite(choice_b[k]);
    for (int i = 0; prunable && i < m; ++i)
        prunable = std::isfinite(mean(k, i)) && sigma(k, i) > 0.0 && sigma(k, i) < HUGE_VAL;
    flags[k] = static_cast<std::uint8_t>((prunable ? node_prunable : 0) | (loaded ? node_loaded_choice : 0));
    refresh_screen(k);
}

void CategoryNodes::refresh_screen(int k)
{
    const int lane = k % lanes;
    std::uint32_t* at = screen + static_cast<std::size_t>(k / lanes) * static_cast<std::size_t>(screen_count) * lanes +
                        (lane < 4 ? 2 * lane : 2 * (lane - 4) + 1);
    for (int j = 0; j < screen_count; ++j)
        at[j * lanes] = screen_reciprocal(sigma(k, screen_features[j]));
}

void CategoryNodes::node_added(int k)
{
    // 16, 64, 256, ...: the work stays a third of one pass over the nodes.
    const int n = k + 1;
    if ((n & (n - 1)) == 0 && (n & 0x55555550) != 0)
        choose_screen();
}

// The features that tell nodes apart best: those whose squared normalised
// distance is largest on average, for a pattern spread as the nodes' means
// are. A node is passed over unless its values are ordinary (node_prunable).
void CategoryNodes::choose_screen()
{
    if (screen_count == 0 || screen_count == m)
        return;
    double score[max_screen];
    int best[max_screen];
    int kept = 0;
    for (int i = 0; i < m; ++i) {
        double sum = 0.0;
        double square = 0.0;
        int used = 0;
        for (int k = 0; k < node_count; ++k) {
            if ((flags[k] & node_prunable) == 0)
                continue;
            sum += mean(k, i);
            square += mean(k, i) * mean(k, i);
            ++used;
        }
        if (used == 0)
            return;
        const double centre = sum / used;
        const double spread = std::max(0.0, square / used - centre * centre);
        double s = 0.0;
        for (int k = 0; k < node_count; ++k) {
            if ((flags[k] & node_prunable) == 0)
                continue;
            const double d = mean(k, i) - centre;
            s += (d * d + spread) / (sigma(k, i) * sigma(k, i));
        }
        if (!(s == s))
            s = 0.0;
        // Into the best so far, largest first (the lower index on ties).
        if (kept < screen_count || s > score[kept - 1]) {
            int at = kept < screen_count ? kept++ : kept - 1;
            for (; at > 0 && score[at - 1] < s; --at) {
                score[at] = score[at - 1];
                best[at] = best[at - 1];
            }
            score[at] = s;
            best[at] = i;
        }
    }
    std::sort(best, best + screen_count);
    std::copy(best, best + screen_count, screen_features);
    for (int k = 0; k < node_count; ++k)
        refresh_screen(k);
}

TARN_NOINLINE double CategoryNodes::sum_log_sigma_of(int k) const
{
    double s = 0.0;
    for (int i = 0; i < m; ++i)
        s = s + std::log(sigma(k, i));
    return s;
}

TARN_NOINLINE double CategoryNodes::log_match_of(int k, const double* x) const
{
    double s = 0.0;
    for (int i = 0; i < m; ++i) {
        const double d = (mean(k, i) - x[i]) / sigma(k, i);
        s = s + d * d;
    }
    return -0.5 * s;
}

TARN_NOINLINE double CategoryNodes::trained_choice(double log_count, double log_presentations, double log_match,
                                                   double sum_log_sigma)
{
    return (log_count - log_presentations) + (log_match - sum_log_sigma);
}

TARN_NOINLINE double CategoryNodes::loaded_choice(double log_match, double log_const)
{
    return log_match + log_const;
}

bool CategoryNodes::make_room()
{
    // Grow by an eighth at a time: storage stays close to what the nodes need.
    return node_count < node_capacity ||
           grow_to(node_capacity + (node_capacity / 8 > lanes ? node_capacity / 8 : lanes));
}

bool CategoryNodes::node_init(const double* data, int node_label, int from_template)
{
    if (!make_room())
        return false;
    const int k = node_count++;
    Fields& f = fields[k];
    f.label = node_label;
    if (from_template == 0) {
        f.active = 1;
        f.count = 1;
        f.log_count = 0.0;  // ln(1)
        for (int i = 0; i < m; ++i) {
            means[slot(k, i)] = data[i];
            sigmas[slot(k, i)] = initial_sigma;
        }
        f.log_const = 0.0;
        f.prior = -1.0;
        f.sum_log_sigma = sum_log_sigma_of(k);
        refresh_choice_parts(k);
        node_added(k);
        return true;
    }
    f.active = 0;
    f.count = 0;  // loaded nodes carry no count
    f.log_count = std::log(0.0);
    for (int i = 0; i < m; ++i) {
        means[slot(k, i)] = data[i];
        sigmas[slot(k, i)] = data[m + i];
    }
    f.prior = data[2 * m];
    f.sum_log_sigma = sum_log_sigma_of(k);
    f.log_const = std::log(f.prior) - f.sum_log_sigma;
    refresh_choice_parts(k);
    node_added(k);
    count_work(as_count(2 * static_cast<std::int64_t>(m) + 2), 0);
    return true;
}

bool CategoryNodes::copy_node(const CategoryNodes& from, int k)
{
    if (!make_room())
        return false;
    const int j = node_count++;
    fields[j] = from.fields[k];
    for (int i = 0; i < m; ++i) {
        means[slot(j, i)] = from.mean(k, i);
        sigmas[slot(j, i)] = from.sigma(k, i);
    }
    choice_a[j] = from.choice_a[k];
    choice_b[j] = from.choice_b[k];
    uses_presentations[j] = from.uses_presentations[k];
    flags[j] = from.flags[k];
    refresh_screen(j);
    node_added(j);
    return true;
}

bool CategoryNodes::node_resume(const double* row, int node_label, std::uint32_t coded)
{
    if (!make_room())
        return false;
    const int k = node_count++;
    Fields& f = fields[k];
    f.label = node_label;
    f.active = 0;
    f.count = coded;
    f.log_count = std::log(static_cast<double>(coded));
    for (int i = 0; i < m; ++i) {
        means[slot(k, i)] = row[i];
        sigmas[slot(k, i)] = row[m + i];
    }
    // As node_learn and the fresh node_init leave a trained node.
    f.log_const = 0.0;
    f.prior = -1.0;
    f.sum_log_sigma = sum_log_sigma_of(k);
    refresh_choice_parts(k);
    node_added(k);
    count_work(as_count(2 * static_cast<std::int64_t>(m) + 2), 0);
    return true;
}

NodeMatch CategoryNodes::node_match(int k, const double* x) const
{
    const double log_match = log_match_of(k, x);
    const NodeMatch match{log_match, std::exp(log_match)};
    count_work(as_count(4 * static_cast<std::int64_t>(m) + 2), 0);
    return match;
}

double CategoryNodes::node_choice(int k, double log_match) const
{
    const Fields& f = fields[k];
    if (f.prior >= 0.0) {
        const double choice = loaded_choice(log_match, f.log_const);
        count_work(1, 0);
        return choice;
    }
    const double choice =
        trained_choice(std::log(static_cast<double>(f.count)), std::log(static_cast<double>(presentation_total)),
                       log_match, sum_log_sigma_of(k));
    count_work(as_count(2 * static_cast<std::int64_t>(m) + 5), 0);
    return choice;
}

void CategoryNodes::node_learn(int k, const double* x)
{
    Fields& f = fields[k];
    f.active = 1;
    f.count = f.count + 1;
    const double b = 1.0 / static_cast<double>(f.count);
    for (int i = 0; i < m; ++i) {
        double& mu = means[slot(k, i)];
        double& sd = sigmas[slot(k, i)];
        mu = b * x[i] + (1.0 - b) * mu;
        const double d = mu - x[i];
        sd = std::sqrt((1.0 - b) * (sd * sd) + b * (d * d));
    }
    f.log_count = std::log(static_cast<double>(f.count));
    f.sum_log_sigma = sum_log_sigma_of(k);
    refresh_choice_parts(k);
    count_work(as_count(10 * static_cast<std::int64_t>(m) + 2), 0);
}

void CategoryNodes::node_to_template(int k, double* row)
{
    for (int i = 0; i < m; ++i) {
        row[i] = mean(k, i);
        row[m + i] = sigma(k, i);
    }
    Fields& f = fields[k];
    f.prior = static_cast<double>(f.count) / static_cast<double>(presentation_total);
    refresh_choice_parts(k);
    row[2 * m] = f.prior;
    count_work(1, 0);
}

bool load_template_rows(CategoryNodes& nodes, int J, double* const* templates, const double* labels)
{
    if (!nodes.reserve(J))
        return false;
    for (int j = 0; j < J; ++j)
        if (!nodes.node_init(templates[j], integer_from_double(labels[j]), 1))
            return false;
    return true;
}

bool group_by_class(const CategoryNodes& from, const std::int32_t* node_class, int classes, std::int64_t* start,
                    std::int32_t* order, CategoryNodes& grouped)
{
    const int n = from.size();
    // A stable counting sort: start becomes each class's first place in the
    // copy, then its next free one.
    std::fill(start, start + classes, std::int64_t{0});
    for (int j = 0; j < n; ++j)
        ++start[node_class[j]];
    std::int64_t place = 0;
    for (int c = 0; c < classes; ++c) {
        const std::int64_t nodes_of_class = start[c];
        start[c] = place;
        place += nodes_of_class;
    }
    for (int j = 0; j < n; ++j)
        order[start[node_class[j]]++] = j;
    if (!grouped.reserve(grouped.size() + n))
        return false;
    for (int g = 0; g < n; ++g)
        if (!grouped.copy_node(from, order[g]))
            return false;
    return true;
}

}  // namespace tarn
