#include "model/category_node.h"

#include <cmath>
#include <new>

#include "model/node_memory.h"
#include "model/work.h"

namespace tarn {

std::int32_t feature_count = 0;
double initial_sigma = 0.0;
std::uint32_t presentation_total = 0;

namespace {

std::uint32_t as_count(std::int64_t value)
{
    return static_cast<std::uint32_t>(value);
}

double sum_of_log_sigma(const double* sigma, int m)
{
    double s = 0.0;
    for (int i = 0; i < m; ++i)
        s = s + std::log(sigma[i]);
    return s;
}

}  // namespace

CategoryNode* CategoryNode::create(const double* data, int label, int from_template)
{
    void* record = node_memory_allocate(sizeof(CategoryNode));
    if (record == nullptr)
        return nullptr;
    auto* node = new (record) CategoryNode();
    const auto bytes = sizeof(double) * static_cast<std::size_t>(feature_count > 0 ? feature_count : 0);
    node->label = label;
    node->mean = static_cast<double*>(node_memory_allocate(bytes));
    node->sigma = node->mean != nullptr ? static_cast<double*>(node_memory_allocate(bytes)) : nullptr;
    if (node->sigma == nullptr) {
        destroy(node);
        return nullptr;
    }
    node->node_init(data, label, from_template);
    return node;
}

void CategoryNode::destroy(CategoryNode* node)
{
    if (node == nullptr)
        return;
    node_memory_release(node->mean);
    node_memory_release(node->sigma);
    node->~CategoryNode();
    node_memory_release(node);
}

void CategoryNode::node_init(const double* data, int node_label, int from_template)
{
    const int m = feature_count;
    label = node_label;
    if (from_template == 0) {
        active = 1;
        count = 1;
        for (int i = 0; i < m; ++i) {
            mean[i] = data[i];
            sigma[i] = initial_sigma;
        }
        log_const = 0.0;
        prior = -1.0;
        return;
    }
    active = 0;
    count = 0;  // loaded nodes carry no count; keep the field defined
    for (int i = 0; i < m; ++i) {
        mean[i] = data[i];
        sigma[i] = data[m + i];
    }
    prior = data[2 * m];
    log_const = std::log(prior) - sum_of_log_sigma(sigma, m);
    count_work(as_count(2 * static_cast<std::int64_t>(m) + 2), 0);
}

void CategoryNode::node_match(const double* x)
{
    const int m = feature_count;
    double s = 0.0;
    for (int i = 0; i < m; ++i) {
        const double d = (mean[i] - x[i]) / sigma[i];
        s = s + d * d;
    }
    log_match = -0.5 * s;
    match_value = std::exp(log_match);
    count_work(as_count(4 * static_cast<std::int64_t>(m) + 2), 0);
}

void CategoryNode::node_choice()
{
    const int m = feature_count;
    if (prior >= 0.0) {
        choice_value = log_match + log_const;
        count_work(1, 0);
        return;
    }
    const double s = sum_of_log_sigma(sigma, m);
    choice_value =
        (std::log(static_cast<double>(count)) - std::log(static_cast<double>(presentation_total))) + (log_match - s);
    count_work(as_count(2 * static_cast<std::int64_t>(m) + 5), 0);
}

void CategoryNode::node_learn(const double* x)
{
    const int m = feature_count;
    active = 1;
    count = count + 1;
    const double b = 1.0 / static_cast<double>(count);
    for (int i = 0; i < m; ++i) {
        mean[i] = b * x[i] + (1.0 - b) * mean[i];
        const double d = mean[i] - x[i];
        sigma[i] = std::sqrt((1.0 - b) * (sigma[i] * sigma[i]) + b * (d * d));
    }
    count_work(as_count(10 * static_cast<std::int64_t>(m) + 2), 0);
}

void CategoryNode::node_to_template(double* row)
{
    const int m = feature_count;
    for (int i = 0; i < m; ++i) {
        row[i] = mean[i];
        row[m + i] = sigma[i];
    }
    prior = static_cast<double>(count) / static_cast<double>(presentation_total);
    row[2 * m] = prior;
    count_work(1, 0);
}

}  // namespace tarn
