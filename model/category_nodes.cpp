#include "model/category_nodes.h"

#include <cmath>
#include <cstring>

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

constexpr std::size_t alignment = 64;

std::uint32_t as_count(std::int64_t value)
{
    return static_cast<std::uint32_t>(value);
}

// Rounds a block start up to the cache line.
void* aligned(void* block)
{
    const auto address = reinterpret_cast<std::uintptr_t>(block);
    return reinterpret_cast<void*>((address + alignment - 1) & ~static_cast<std::uintptr_t>(alignment - 1));
}

}  // namespace

CategoryNodes::CategoryNodes(int features) : m(features > 0 ? features : 0) {}

CategoryNodes::~CategoryNodes()
{
    release();
}

void CategoryNodes::release()
{
    node_memory_release(vector_block);
    node_memory_release(field_block);
    vector_block = nullptr;
    field_block = nullptr;
    means = sigmas = nullptr;
    prior = log_const = sum_log_sigma = log_count = log_match = match_value = choice_value = nullptr;
    count = nullptr;
    active = label = nullptr;
    passed = nullptr;
    block_open = nullptr;
    node_count = 0;
    capacity = 0;
}

bool CategoryNodes::reserve(int nodes)
{
    return nodes <= capacity || grow_to(nodes);
}

// Both blocks are made anew and the nodes copied over; the capacity is a
// whole number of blocks of lanes nodes.
bool CategoryNodes::grow_to(int new_capacity)
{
    const std::size_t cap = (static_cast<std::size_t>(new_capacity) + lanes - 1) / lanes * lanes;
    const std::size_t vector_doubles = cap * static_cast<std::size_t>(m);
    void* vectors = node_memory_allocate(2 * vector_doubles * sizeof(double) + alignment);
    if (vectors == nullptr)
        return false;
    const std::size_t field_bytes = cap * (7 * sizeof(double) + 3 * sizeof(std::int32_t) + 2);
    void* fields = node_memory_allocate(field_bytes + alignment);
    if (fields == nullptr) {
        node_memory_release(vectors);
        return false;
    }

    auto* new_means = static_cast<double*>(aligned(vectors));
    auto* new_sigmas = new_means + vector_doubles;
    // Lanes past the last node hold a harmless Gaussian so that whole
    // blocks can be computed.
    for (std::size_t s = 0; s < vector_doubles; ++s) {
        new_means[s] = 0.0;
        new_sigmas[s] = 1.0;
    }
    const std::size_t old_doubles = static_cast<std::size_t>(capacity) * static_cast<std::size_t>(m);
    if (old_doubles != 0) {
        // Blocks keep their layout; a larger capacity only adds blocks.
        std::memcpy(new_means, means, old_doubles * sizeof(double));
        std::memcpy(new_sigmas, sigmas, old_doubles * sizeof(double));
    }

    auto* d = static_cast<double*>(aligned(fields));
    double* fresh_fields[7];
    for (int f = 0; f < 7; ++f)
        fresh_fields[f] = d + static_cast<std::size_t>(f) * cap;
    auto* words = reinterpret_cast<std::uint32_t*>(d + 7 * cap);
    auto* flags = reinterpret_cast<std::uint8_t*>(words + 3 * cap);
    std::memset(d, 0, field_bytes);
    if (node_count != 0) {
        double* old_fields[7] = {prior, log_const, sum_log_sigma, log_count, log_match, match_value, choice_value};
        for (int f = 0; f < 7; ++f)
            std::memcpy(fresh_fields[f], old_fields[f], static_cast<std::size_t>(node_count) * sizeof(double));
        std::memcpy(words, count, static_cast<std::size_t>(node_count) * sizeof(std::uint32_t));
        std::memcpy(words + cap, active, static_cast<std::size_t>(node_count) * sizeof(std::int32_t));
        std::memcpy(words + 2 * cap, label, static_cast<std::size_t>(node_count) * sizeof(std::int32_t));
    }

    const int kept = node_count;
    release();
    node_count = kept;
    vector_block = vectors;
    field_block = fields;
    capacity = static_cast<int>(cap);
    means = new_means;
    sigmas = new_sigmas;
    prior = fresh_fields[0];
    log_const = fresh_fields[1];
    sum_log_sigma = fresh_fields[2];
    log_count = fresh_fields[3];
    log_match = fresh_fields[4];
    match_value = fresh_fields[5];
    choice_value = fresh_fields[6];
    count = words;
    active = reinterpret_cast<std::int32_t*>(words + cap);
    label = reinterpret_cast<std::int32_t*>(words + 2 * cap);
    passed = flags;
    block_open = flags + cap;
    return true;
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

void CategoryNodes::refresh_sum_log_sigma(int k)
{
    sum_log_sigma[k] = sum_log_sigma_of(k);
}

bool CategoryNodes::node_init(const double* data, int node_label, int from_template)
{
    // Grow by an eighth at a time: storage stays close to what the nodes need.
    if (node_count == capacity && !grow_to(capacity + (capacity / 8 > lanes ? capacity / 8 : lanes)))
        return false;
    const int k = node_count++;
    label[k] = node_label;
    if (from_template == 0) {
        active[k] = 1;
        count[k] = 1;
        log_count[k] = 0.0;  // ln(1)
        for (int i = 0; i < m; ++i) {
            means[slot(k, i)] = data[i];
            sigmas[slot(k, i)] = initial_sigma;
        }
        log_const[k] = 0.0;
        prior[k] = -1.0;
        refresh_sum_log_sigma(k);
        return true;
    }
    active[k] = 0;
    count[k] = 0;  // loaded nodes carry no count
    log_count[k] = std::log(0.0);
    for (int i = 0; i < m; ++i) {
        means[slot(k, i)] = data[i];
        sigmas[slot(k, i)] = data[m + i];
    }
    prior[k] = data[2 * m];
    refresh_sum_log_sigma(k);
    log_const[k] = std::log(prior[k]) - sum_log_sigma[k];
    count_work(as_count(2 * static_cast<std::int64_t>(m) + 2), 0);
    return true;
}

void CategoryNodes::node_match(int k, const double* x)
{
    log_match[k] = log_match_of(k, x);
    match_value[k] = std::exp(log_match[k]);
    count_work(as_count(4 * static_cast<std::int64_t>(m) + 2), 0);
}

void CategoryNodes::node_choice(int k)
{
    if (prior[k] >= 0.0) {
        choice_value[k] = loaded_choice(log_match[k], log_const[k]);
        count_work(1, 0);
        return;
    }
    choice_value[k] =
        trained_choice(std::log(static_cast<double>(count[k])), std::log(static_cast<double>(presentation_total)),
                       log_match[k], sum_log_sigma_of(k));
    count_work(as_count(2 * static_cast<std::int64_t>(m) + 5), 0);
}

void CategoryNodes::node_learn(int k, const double* x)
{
    active[k] = 1;
    count[k] = count[k] + 1;
    const double b = 1.0 / static_cast<double>(count[k]);
    for (int i = 0; i < m; ++i) {
        double& mu = means[slot(k, i)];
        double& sd = sigmas[slot(k, i)];
        mu = b * x[i] + (1.0 - b) * mu;
        const double d = mu - x[i];
        sd = std::sqrt((1.0 - b) * (sd * sd) + b * (d * d));
    }
    log_count[k] = std::log(static_cast<double>(count[k]));
    refresh_sum_log_sigma(k);
    count_work(as_count(10 * static_cast<std::int64_t>(m) + 2), 0);
}

void CategoryNodes::node_to_template(int k, double* row)
{
    for (int i = 0; i < m; ++i) {
        row[i] = mean(k, i);
        row[m + i] = sigma(k, i);
    }
    prior[k] = static_cast<double>(count[k]) / static_cast<double>(presentation_total);
    row[2 * m] = prior[k];
    count_work(1, 0);
}

}  // namespace tarn
