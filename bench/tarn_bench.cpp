// Speed of the matching paths: the node-by-node reference, the block
// kernels, and the division floor of this machine, on generated Gaussian
// mixtures and on the shipped data sets. Prints ratios measured in the same
// run, since a shared machine's absolute times drift.
//
//   tarn_bench [--quick] [--real] [--path=blocks|avx2|avx512] [data folder]
//
// --real runs only the table of models trained on the shipped data sets,
// against the kernel as it was before pruning ("before"), and the table
// of tiles of patterns on models larger than the cache.
#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <fstream>
#include <functional>
#include <random>
#include <sstream>
#include <string>
#include <vector>

#include "learn/train_nodes.h"
#include "model/category_nodes.h"
#include "model/kernel_paths.h"
#include "model/match_kernel.h"
#include "score/class_evidence.h"
#include "score/classify_patterns.h"

namespace {

using Clock = std::chrono::steady_clock;

bool quick = false;

// Best of a few runs, in seconds.
double best_time(const std::function<void()>& body, int runs = 3)
{
    double best = 1e300;
    for (int r = 0; r < (quick ? 1 : runs); ++r) {
        const auto t0 = Clock::now();
        body();
        best = std::min(best, std::chrono::duration<double>(Clock::now() - t0).count());
    }
    return best;
}

// The division floor: n true divisions over the data in vectors as wide as
// the current path's, the least work any exact kernel must do.
template <int W>
inline __attribute__((always_inline)) double floor_body(const double* a, const double* b, std::int64_t n)
{
    typedef double Lanes __attribute__((vector_size(W * sizeof(double))));
    Lanes s[8 / W] = {};
    for (std::int64_t k = 0; k + 8 <= n; k += 8) {
        for (int p = 0; p < 8 / W; ++p) {
            Lanes num, den;
            std::memcpy(&num, a + k + p * W, sizeof num);
            std::memcpy(&den, b + k + p * W, sizeof den);
            s[p] = s[p] + num / den;
        }
    }
    double total = 0.0;
    for (int p = 0; p < 8 / W; ++p)
        for (int l = 0; l < W; ++l)
            total = total + s[p][l];
    return total;
}

#if defined(__x86_64__) || defined(__i386__)
__attribute__((target("avx2"))) double floor_avx2(const double* a, const double* b, std::int64_t n)
{
    return floor_body<4>(a, b, n);
}

__attribute__((target("avx512f"))) double floor_avx512(const double* a, const double* b, std::int64_t n)
{
    return floor_body<8>(a, b, n);
}
#endif

double division_floor(const double* a, const double* b, std::int64_t n)
{
#if defined(__x86_64__) || defined(__i386__)
    if (tarn::kernel_path().lane_width >= 4)
        return tarn::kernel_path().lane_width == 8 ? floor_avx512(a, b, n) : floor_avx2(a, b, n);
#endif
    return floor_body<2>(a, b, n);
}

struct Mixture {
    int rows = 0;
    int columns = 0;
    std::vector<double> values;  // row by row
    std::vector<double> labels;
};

Mixture mixture(std::uint64_t seed, int rows, int columns, int clusters, int classes, double spread)
{
    std::mt19937_64 rng(seed);
    std::normal_distribution<double> normal(0.0, 1.0);
    std::vector<std::vector<double>> centres(static_cast<std::size_t>(clusters), std::vector<double>(columns));
    for (auto& c : centres)
        for (auto& v : c)
            v = 4.0 * normal(rng);
    Mixture d;
    d.rows = rows;
    d.columns = columns;
    for (int r = 0; r < rows; ++r) {
        const int c = static_cast<int>(rng() % static_cast<std::uint64_t>(clusters));
        for (int i = 0; i < columns; ++i)
            d.values.push_back(centres[static_cast<std::size_t>(c)][static_cast<std::size_t>(i)] +
                               spread * normal(rng));
        d.labels.push_back(1 + c % classes);
    }
    return d;
}

// Row pointers into a row-by-row block.
std::vector<double*> row_pointers(std::vector<double>& values, int rows, int columns)
{
    std::vector<double*> p;
    for (int r = 0; r < rows; ++r)
        p.push_back(values.data() + static_cast<std::size_t>(r) * static_cast<std::size_t>(columns));
    return p;
}

// N trained-looking nodes (prior unset) or loaded ones, of M features.
void make_nodes(tarn::CategoryNodes& nodes, const Mixture& d, int n, bool loaded)
{
    std::mt19937_64 rng(99);
    std::uniform_real_distribution<double> unit(0.0, 1.0);
    const int m = d.columns;
    nodes.reserve(n);
    for (int k = 0; k < n; ++k) {
        std::vector<double> row(2 * static_cast<std::size_t>(m) + 1);
        const double* x = &d.values[static_cast<std::size_t>(k % d.rows) * static_cast<std::size_t>(m)];
        for (int i = 0; i < m; ++i) {
            row[static_cast<std::size_t>(i)] = x[i];
            row[static_cast<std::size_t>(m + i)] = 0.5 + unit(rng);
        }
        row[2 * static_cast<std::size_t>(m)] = 1.0 / n;
        nodes.node_init(row.data(), 1, loaded ? 1 : 0);
        if (!loaded)
            nodes.node_learn(k, x);
    }
}

// Seconds per pattern of scanning every node, on the current path.
double scan_seconds(tarn::CategoryNodes& nodes, const Mixture& patterns, double vigilance)
{
    tarn::NodeScan scan;
    const double total = best_time([&] {
        for (int p = 0; p < patterns.rows; ++p)
            tarn::scan_nodes(nodes,
                             &patterns.values[static_cast<std::size_t>(p) * static_cast<std::size_t>(patterns.columns)],
                             tarn::ScanSettings{vigilance, false}, scan);
    });
    return total / patterns.rows;
}

double floor_seconds_per_division(const tarn::CategoryNodes& nodes, std::int64_t divisions, int repeats)
{
    volatile double sink = 0;
    const double t = best_time([&] {
        for (int r = 0; r < repeats; ++r)
            sink = sink + division_floor(nodes.blocks().means, nodes.blocks().sigmas, divisions);
    });
    return t / (static_cast<double>(divisions) * repeats);
}

void kernel_table()
{
    std::printf("\n## Match loop per pattern, vigilance 0 (ns per node-feature)\n\n");
    std::printf("| loop | M | N | reference | fast (%s) | floor | fast / floor | reference / fast |\n",
                tarn::kernel_path().name);
    std::printf("|---|---|---|---|---|---|---|---|\n");
    const char* const fast = tarn::kernel_path().name;
    for (int loaded = 0; loaded <= 1; ++loaded) {
        for (int m : {4, 16, 64}) {
            for (int n : {100, 1000, 5000}) {
                tarn::feature_count = m;
                tarn::initial_sigma = 1.0;
                tarn::presentation_total = static_cast<std::uint32_t>(3 * n);
                const Mixture source = mixture(7, n, m, 20, 3, 1.0);
                const int k = std::max(4, std::min(400, 2000000 / (n * m)));
                const Mixture patterns = mixture(8, k, m, 20, 3, 1.0);
                tarn::CategoryNodes nodes(m);
                make_nodes(nodes, source, n, loaded == 1);
                const double nf = static_cast<double>(n) * m;
                tarn::set_kernel_path("reference");
                const double reference = scan_seconds(nodes, patterns, 0.0) / nf * 1e9;
                tarn::set_kernel_path(fast);
                const double fast_ns = scan_seconds(nodes, patterns, 0.0) / nf * 1e9;
                const double floor_ns =
                    floor_seconds_per_division(nodes, (n + 7) / 8 * 8 * static_cast<std::int64_t>(m), k) * 1e9;
                std::printf("| %s | %d | %d | %.3f | %.3f | %.3f | %.2f | %.1f |\n", loaded ? "scoring" : "training", m,
                            n, reference, fast_ns, floor_ns, fast_ns / floor_ns, reference / fast_ns);
                std::fflush(stdout);
            }
        }
    }
}

void early_exit_table()
{
    std::printf("\n## Early exit: scoring match loop, vigilance 0.5, most nodes fail\n\n");
    std::printf("| M | N | without early exit (ns/node-feature) | with | speed-up |\n|---|---|---|---|---|\n");
    for (int m : {16, 64}) {
        const int n = 1000;
        tarn::feature_count = m;
        const Mixture source = mixture(11, n, m, 40, 3, 0.5);
        const Mixture patterns = mixture(12, 200, m, 40, 3, 0.5);
        tarn::CategoryNodes nodes(m);
        make_nodes(nodes, source, n, true);
        const double nf = static_cast<double>(n) * m;
        tarn::set_early_exit(false);
        const double without = scan_seconds(nodes, patterns, 0.5) / nf * 1e9;
        tarn::set_early_exit(true);
        const double with = scan_seconds(nodes, patterns, 0.5) / nf * 1e9;
        std::printf("| %d | %d | %.3f | %.3f | %.1f |\n", m, n, without, with, without / with);
    }
}

struct Run {
    double seconds = 0;
    int nodes = 0;
    int passes = 0;
    std::vector<double> templates;
};

Run train(Mixture& d, double vigilance, double gamma, int max_passes)
{
    Run run;
    auto rows = row_pointers(d.values, d.rows, d.columns);
    tarn::TrainingParameters parameters{vigilance, gamma, max_passes, 1, 0, 0};
    run.seconds = best_time(
        [&] {
            tarn::TrainingResult result;
            if (tarn::train_nodes(d.rows, d.columns, rows.data(), d.labels.data(), parameters, &result) !=
                tarn::RunStatus::done)
                return;
            run.nodes = result.exported_count;
            run.passes = result.list_presentations;
            run.templates.clear();
            for (int r = 0; r < result.exported_count; ++r) {
                run.templates.insert(run.templates.end(), result.rows[r], result.rows[r] + 2 * d.columns + 1);
                tarn::host_free(result.rows[r]);
            }
            tarn::host_free(result.rows);
            tarn::host_free(result.labels);
        },
        1);
    return run;
}

double score(std::vector<double>& templates, const std::vector<double>& labels, Mixture& patterns, int rule,
             double* accuracy)
{
    const int m = patterns.columns;
    const int j = static_cast<int>(labels.size());
    auto rows = row_pointers(templates, j, 2 * m + 1);
    auto tests = row_pointers(patterns.values, patterns.rows, m);
    return best_time([&] {
        double* result = nullptr;
        tarn::classify_patterns(j, m, rows.data(), labels.data(), 0.0, patterns.rows, tests.data(), -1, rule, &result,
                                0);
        int right = 0;
        for (int p = 0; p < patterns.rows; ++p)
            right += result[p] == patterns.labels[static_cast<std::size_t>(p)] ? 1 : 0;
        *accuracy = static_cast<double>(right) / std::max(1, patterns.rows);
        tarn::host_free(result);
    });
}

void compare_training(const char* name, Mixture& train_set, double vigilance, double gamma, int max_passes)
{
    const char* const fast = tarn::kernel_path().name;
    const Run f = train(train_set, vigilance, gamma, max_passes);
    tarn::set_kernel_path("reference");
    const Run r = train(train_set, vigilance, gamma, max_passes);
    tarn::set_kernel_path(fast);
    const bool same = f.templates == r.templates;
    std::printf("| %s | %d x %d | %g | %g | %d | %d | %.3f | %.3f | %.1f | %s |\n", name, train_set.rows,
                train_set.columns, vigilance, gamma, f.nodes, f.passes, r.seconds * 1e3, f.seconds * 1e3,
                r.seconds / f.seconds, same ? "yes" : "NO");
}

bool read_csv(const std::string& path, Mixture* d)
{
    std::ifstream in(path);
    if (!in)
        return false;
    std::string line;
    std::getline(in, line);  // source
    std::getline(in, line);  // header
    while (std::getline(in, line)) {
        std::stringstream fields(line);
        std::vector<double> row;
        for (std::string f; std::getline(fields, f, ',');)
            row.push_back(std::stod(f));
        d->columns = static_cast<int>(row.size()) - 1;
        d->labels.push_back(row.back());
        d->values.insert(d->values.end(), row.begin(), row.end() - 1);
        ++d->rows;
    }
    // Standardised features, as the demo uses them.
    for (int i = 0; i < d->columns; ++i) {
        double mean = 0, sq = 0;
        for (int r = 0; r < d->rows; ++r)
            mean += d->values[static_cast<std::size_t>(r * d->columns + i)];
        mean /= d->rows;
        for (int r = 0; r < d->rows; ++r)
            sq += std::pow(d->values[static_cast<std::size_t>(r * d->columns + i)] - mean, 2);
        const double sd = sq > 0 ? std::sqrt(sq / (d->rows - 1)) : 1.0;
        for (int r = 0; r < d->rows; ++r) {
            double& v = d->values[static_cast<std::size_t>(r * d->columns + i)];
            v = (v - mean) / sd;
        }
    }
    return true;
}

void training_table(const std::string& data_folder)
{
    std::printf("\n## Whole training runs (milliseconds)\n\n");
    // A 20000 x 16 mixture, with the gamma (at vigilance 0) whose node
    // count comes closest to 1000, found on the fast path.
    Mixture big = mixture(21, quick ? 4000 : 20000, 16, 60, 4, 1.6);
    double best_gamma = 1.0;
    int best_gap = 1 << 30;
    std::printf("Nodes after one pass at vigilance 0:");
    for (double gamma : {0.3, 0.4, 0.5, 0.75, 1.0, 1.5, 2.0}) {
        const int nodes = train(big, 0.0, gamma, 1).nodes;
        std::printf(" gamma %g: %d;", gamma, nodes);
        const int gap = std::abs(nodes - (quick ? 300 : 1000));
        if (gap < best_gap) {
            best_gap = gap;
            best_gamma = gamma;
        }
    }
    std::printf(
        "\n\n| data | size | vigilance | gamma | nodes | passes | reference | fast | reference / fast | same templates "
        "|\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|\n");
    compare_training("mixture", big, 0.0, best_gamma, 3);
    for (const char* name : {"iris", "wine", "breast_cancer"}) {
        Mixture d;
        if (!read_csv(data_folder + "/" + name + ".csv", &d))
            continue;
        compare_training(name, d, 0.0, 1.0, 100);
    }
}

void scoring_table()
{
    std::printf("\n## Whole classification calls, rule 0, vigilance 0 (seconds)\n\n");
    std::printf("| M | N | K | reference | fast | reference / fast |\n|---|---|---|---|---|---|\n");
    const char* const fast = tarn::kernel_path().name;
    for (int m : {4, 16, 64}) {
        const int n = 1000;
        const Mixture source = mixture(31, n, m, 20, 3, 1.0);
        std::vector<double> templates;
        std::vector<double> labels;
        std::mt19937_64 rng(5);
        for (int k = 0; k < n; ++k) {
            const double* x = &source.values[static_cast<std::size_t>(k) * static_cast<std::size_t>(m)];
            templates.insert(templates.end(), x, x + m);
            for (int i = 0; i < m; ++i)
                templates.push_back(0.5 + (rng() % 1000) / 1000.0);
            templates.push_back(1.0 / n);
            labels.push_back(source.labels[static_cast<std::size_t>(k)]);
        }
        Mixture tests = mixture(31, quick ? 200 : 1000, m, 20, 3, 1.0);
        double accuracy = 0;
        const double f = score(templates, labels, tests, 0, &accuracy);
        tarn::set_kernel_path("reference");
        const double r = score(templates, labels, tests, 0, &accuracy);
        tarn::set_kernel_path(fast);
        std::printf("| %d | %d | %d | %.4f | %.4f | %.1f |\n", m, n, tests.rows, r, f, r / f);
    }
}

// Template rows with a node on each row of `d`: deviations 0.75, priors 1/n.
std::vector<double> templates_at(const Mixture& d)
{
    std::vector<double> templates;
    for (int k = 0; k < d.rows; ++k) {
        const double* x = &d.values[static_cast<std::size_t>(k) * static_cast<std::size_t>(d.columns)];
        templates.insert(templates.end(), x, x + d.columns);
        templates.insert(templates.end(), static_cast<std::size_t>(d.columns), 0.75);
        templates.push_back(1.0 / d.rows);
    }
    return templates;
}

// tarn_evidence against tarn_score's rule 1 on the same models and
// patterns, at vigilance 0 (every node passes, every exp() is taken).
void evidence_table()
{
    std::printf("\n## Evidence against rule 1, vigilance 0 (seconds)\n\n");
    std::printf("| M | N | classes | K | rule 1 | evidence | evidence / rule 1 |\n|---|---|---|---|---|---|---|\n");
    for (int m : {4, 16, 64}) {
        for (int classes : {3, 10}) {
            const int n = 1000;
            Mixture source = mixture(41, n, m, 20, classes, 1.0);
            std::vector<double> templates = templates_at(source);
            Mixture tests = mixture(42, quick ? 200 : 1000, m, 20, classes, 1.0);
            auto rows = row_pointers(templates, n, 2 * m + 1);
            auto patterns = row_pointers(tests.values, tests.rows, m);
            const double rule1 = best_time([&] {
                double* result = nullptr;
                tarn::classify_patterns(n, m, rows.data(), source.labels.data(), 0.0, tests.rows, patterns.data(), -1,
                                        1, &result, 0);
                tarn::host_free(result);
            });
            const double evidence = best_time([&] {
                tarn::ClassEvidence result;
                tarn::class_evidence(n, m, rows.data(), source.labels.data(), 0.0, tests.rows, patterns.data(),
                                     &result);
                for (double* block : {result.classes, result.log_evidence, result.best_choice, result.winner})
                    tarn::host_free(block);
            });
            std::printf("| %d | %d | %d | %d | %.4f | %.4f | %.2f |\n", m, n, classes, tests.rows, rule1, evidence,
                        evidence / rule1);
            std::fflush(stdout);
        }
    }
}

void memory_table()
{
    std::printf(
        "\n## Node storage\n\n| M | N | means, deviations and screen held (doubles) | 2 N M | ratio "
        "|\n|---|---|---|---|---|\n");
    for (int m : {4, 16, 64}) {
        for (int n : {100, 1000, 5000}) {
            tarn::feature_count = m;
            tarn::initial_sigma = 1.0;
            tarn::CategoryNodes nodes(m);
            std::vector<double> x(static_cast<std::size_t>(m), 0.0);
            for (int k = 0; k < n; ++k)
                nodes.node_init(x.data(), 1, 0);
            const double held = static_cast<double>(nodes.capacity()) * (2.0 * m + nodes.blocks().screen_count / 2.0);
            std::printf("| %d | %d | %.0f | %d | %.3f |\n", m, n, held, 2 * n * m, held / (2.0 * n * m));
        }
    }
}

// The rows r % 3 == 2 held out for testing, as the demo splits.
void split_rows(const Mixture& d, Mixture* train_rows, Mixture* test_rows)
{
    train_rows->columns = test_rows->columns = d.columns;
    for (int r = 0; r < d.rows; ++r) {
        Mixture& to = r % 3 == 2 ? *test_rows : *train_rows;
        to.values.insert(to.values.end(), d.values.begin() + static_cast<std::ptrdiff_t>(r) * d.columns,
                         d.values.begin() + static_cast<std::ptrdiff_t>(r + 1) * d.columns);
        to.labels.push_back(d.labels[static_cast<std::size_t>(r)]);
        ++to.rows;
    }
}

// One timed body: the best of a few runs, and the kernel's node-features
// of one run.
struct Timing {
    double seconds = 0;
    std::uint64_t scanned = 0;
    std::uint64_t computed = 0;
};

Timing timed(const std::function<void()>& body, int runs)
{
    Timing t;
    const tarn::KernelCounts before = tarn::kernel_counts();
    body();  // warm, and count
    const tarn::KernelCounts after = tarn::kernel_counts();
    t.scanned = after.scanned - before.scanned;
    t.computed = after.computed - before.computed;
    t.seconds = best_time(body, runs);
    return t;
}

// Division floor in ns per division for a model of `nodes` nodes of m features.
double floor_ns(int nodes, int m)
{
    tarn::feature_count = m;
    tarn::CategoryNodes store(m);
    std::vector<double> row(2 * static_cast<std::size_t>(m) + 1, 1.0);
    store.reserve(nodes);
    for (int k = 0; k < nodes; ++k)
        store.node_init(row.data(), 1, 1);
    const std::int64_t divisions = (nodes + 7) / 8 * 8 * static_cast<std::int64_t>(m);
    const int repeats = static_cast<int>(std::max<std::int64_t>(1, 20000000 / divisions));
    return floor_seconds_per_division(store, divisions, repeats) * 1e9;
}

void print_loop(const char* data, int nodes, int m, const char* loop, const Timing& before, const Timing& now,
                double floor_per_division)
{
    const double nf = static_cast<double>(now.scanned);
    const double before_ns = before.seconds / nf * 1e9;
    const double now_ns = now.seconds / nf * 1e9;
    std::printf("| %s | %d | %d | %s | %.2f | %.2f | %.2f | %.3f | %.3f | %.3f | %.2f | %.2f | %.3f |\n", data, nodes,
                m, loop, before.seconds * 1e3, now.seconds * 1e3, before.seconds / now.seconds, before_ns, now_ns,
                floor_per_division, before_ns / floor_per_division, now_ns / floor_per_division,
                static_cast<double>(now.computed) / nf);
    std::fflush(stdout);
}

// Rule 1 as the classification loop ran it before this kernel summed the
// classes itself: every node scanned in full, then exp(choice value) added
// to every record of the node's label, node by node. The benchmark's
// stand-in for that loop's whole call (loading, label table, patterns).
std::vector<double> rule1_before(int j, int m, double* const* rows, const std::vector<double>& labels, int k,
                                 double* const* patterns)
{
    tarn::feature_count = m;
    tarn::initial_sigma = 0.0;
    tarn::CategoryNodes nodes(m);
    nodes.reserve(j);
    for (int r = 0; r < j; ++r)
        nodes.node_init(rows[r], static_cast<int>(labels[static_cast<std::size_t>(r)]), 1);
    struct Record {
        int label;
        double sum;
    };
    std::vector<Record> records;
    for (double label : labels) {
        bool found = false;
        for (const Record& record : records)
            found = found || label == static_cast<double>(record.label);
        if (!found)
            records.push_back({static_cast<int>(label), 0.0});
    }
    std::vector<double> result(static_cast<std::size_t>(k));
    tarn::NodeScan scan;
    std::uint64_t flops = 0;
    for (int p = 0; p < k; ++p) {
        for (Record& record : records)
            record.sum = 0.0;
        tarn::scan_nodes(nodes, patterns[p], tarn::ScanSettings{0.0, false}, scan);
        for (int n = 0; n < nodes.size(); ++n) {
            if (!scan.passed(n))
                continue;
            for (Record& record : records) {
                if (record.label == nodes.label(n)) {
                    record.sum = record.sum + std::exp(scan.choice_value(n));
                    flops += 2;
                }
            }
        }
        const Record* chosen = nullptr;
        double best = 0.0;
        bool tie = false;
        for (const Record& record : records) {
            if (record.sum > best) {
                chosen = &record;
                best = record.sum;
                tie = false;
            } else if (record.sum == best) {
                tie = true;
            }
        }
        result[static_cast<std::size_t>(p)] = tie || chosen == nullptr ? -1.0 : chosen->label;
    }
    return result;
}

// One scoring call with the model of `templates`: rule 0, rule 1, or (2)
// tarn_evidence; its decisions (the winners for the evidence).
std::vector<double> score_call(int rule, std::vector<double*>& rows, std::vector<double>& labels, int m,
                               std::vector<double*>& patterns)
{
    const int j = static_cast<int>(labels.size());
    const int k = static_cast<int>(patterns.size());
    std::vector<double> decided;
    if (rule == 2) {
        tarn::ClassEvidence result;
        tarn::class_evidence(j, m, rows.data(), labels.data(), 0.0, k, patterns.data(), &result);
        decided.assign(result.winner, result.winner + k);
        for (double* block : {result.classes, result.log_evidence, result.best_choice, result.winner})
            tarn::host_free(block);
        return decided;
    }
    double* result = nullptr;
    tarn::classify_patterns(j, m, rows.data(), labels.data(), 0.0, k, patterns.data(), -1, rule, &result, 0);
    decided.assign(result, result + k);
    tarn::host_free(result);
    return decided;
}

const char* const rule_names[] = {"score, rule 0", "score, rule 1", "evidence"};

// Scoring calls with the model of `templates`, before and now, rule by
// rule and for tarn_evidence.
void score_rules(const char* data, std::vector<double>& templates, std::vector<double>& labels, Mixture& tests,
                 double floor_per_division)
{
    const int m = tests.columns;
    const int j = static_cast<int>(labels.size());
    auto rows = row_pointers(templates, j, 2 * m + 1);
    auto patterns = row_pointers(tests.values, tests.rows, m);
    for (int rule = 0; rule <= 2; ++rule) {
        std::vector<double> results[2];
        Timing t[2];
        for (int now = 0; now <= 1; ++now) {
            tarn::set_pruning(now == 1);
            t[now] = timed(
                [&] {
                    if (rule == 1 && now == 0)
                        results[now] = rule1_before(j, m, rows.data(), labels, tests.rows, patterns.data());
                    else
                        results[now] = score_call(rule, rows, labels, m, patterns);
                },
                3);
        }
        tarn::set_pruning(true);
        if (results[0] != results[1])
            std::printf("RESULTS DIFFER: %s, %s\n", data, rule_names[rule]);
        print_loop(data, j, m, rule_names[rule], t[0], t[1], floor_per_division);
    }
}

// Models larger than the cache, scored pattern by pattern and in tiles of
// patterns: nodes spread over a mixture of many clusters.
void tile_table()
{
    std::printf("\n## Tiles of patterns: models larger than the cache, vigilance 0 (ms)\n\n");
    std::printf("| M | N | model (MB) | loop | pattern by pattern | tiles | by pattern / tiles |\n");
    std::printf("|---|---|---|---|---|---|---|\n");
    for (int m : {8, 32, 64}) {
        for (int n : {4000, 32000}) {
            Mixture source = mixture(51, n, m, 400, 10, 1.0);
            std::vector<double> templates = templates_at(source);
            Mixture tests = mixture(51, n + (quick ? 200 : 1000), m, 400, 10, 1.0);
            tests.values.erase(tests.values.begin(), tests.values.begin() + static_cast<std::ptrdiff_t>(n) * m);
            tests.rows -= n;
            auto rows = row_pointers(templates, n, 2 * m + 1);
            auto patterns = row_pointers(tests.values, tests.rows, m);
            const double megabytes = 2.0 * n * m * sizeof(double) / 1e6;
            for (int rule = 0; rule <= 2; ++rule) {
                std::vector<double> results[2];
                double seconds[2];
                for (int tiled = 0; tiled <= 1; ++tiled) {
                    tarn::set_tile_cache(tiled == 1 ? ~std::size_t{0} : 0);
                    seconds[tiled] =
                        best_time([&] { results[tiled] = score_call(rule, rows, source.labels, m, patterns); });
                }
                tarn::set_tile_cache(~std::size_t{0});
                if (results[0] != results[1])
                    std::printf("RESULTS DIFFER: tiles, %s\n", rule_names[rule]);
                std::printf("| %d | %d | %.1f | %s | %.2f | %.2f | %.2f |\n", m, n, megabytes, rule_names[rule],
                            seconds[0] * 1e3, seconds[1] * 1e3, seconds[0] / seconds[1]);
                std::fflush(stdout);
            }
        }
    }
}

void real_data_table(const std::string& data_folder)
{
    std::printf("\n## Models trained on the shipped data sets, vigilance 0\n\n");
    std::printf(
        "Each set standardised, every third row held out; training on the others (whole calls, at\n"
        "most 100 passes, stopping after a pass without a new node), scoring of the held-out rows with\n"
        "the model trained. \"before\": the kernel as it was before pruning; floor: this run's division\n"
        "floor; ns per node-feature of the node-features scanned; fraction: node-features summed.\n\n");
    std::printf(
        "| data | nodes | M | loop | before (ms) | now (ms) | before / now | before (ns/nf) | now (ns/nf) | "
        "floor (ns/division) | before / floor | now / floor | fraction summed |\n");
    std::printf("|---|---|---|---|---|---|---|---|---|---|---|---|---|\n");
    const struct {
        const char* name;
        double gamma;
    } sets[] = {{"breast_cancer", 0.05}, {"digits", 0.1}, {"shuttle", 0.005}};
    for (const auto& set : sets) {
        Mixture all;
        if (!read_csv(data_folder + "/" + set.name + ".csv", &all))
            continue;
        Mixture train_rows;
        Mixture test_rows;
        split_rows(all, &train_rows, &test_rows);
        Run runs[2];
        Timing t[2];
        for (int now = 0; now <= 1; ++now) {
            tarn::set_pruning(now == 1);
            t[now] = timed([&] { runs[now] = train(train_rows, 0.0, set.gamma, 100); }, 1);
        }
        tarn::set_pruning(true);
        if (runs[0].templates != runs[1].templates)
            std::printf("TEMPLATES DIFFER: %s\n", set.name);
        const int m = all.columns;
        const double per_division = floor_ns(runs[1].nodes, m);
        print_loop(set.name, runs[1].nodes, m, "training", t[0], t[1], per_division);
        std::vector<double> labels(static_cast<std::size_t>(runs[1].nodes));
        // train() keeps the templates only; the labels are those of a second call.
        {
            auto rows = row_pointers(train_rows.values, train_rows.rows, m);
            tarn::TrainingParameters parameters{0.0, set.gamma, 100, 1, 0, 0};
            tarn::TrainingResult result;
            tarn::train_nodes(train_rows.rows, m, rows.data(), train_rows.labels.data(), parameters, &result);
            for (int r = 0; r < result.exported_count; ++r) {
                labels[static_cast<std::size_t>(r)] = result.labels[r];
                tarn::host_free(result.rows[r]);
            }
            tarn::host_free(result.rows);
            tarn::host_free(result.labels);
        }
        score_rules(set.name, runs[1].templates, labels, test_rows, per_division);
    }
    // Where nothing prunes: a thousand equal nodes, whose choice values all
    // tie, so that no node can be left out; random patterns.
    const int m = 16;
    const int n = 1000;
    std::vector<double> templates;
    std::vector<double> labels;
    for (int k = 0; k < n; ++k) {
        for (int i = 0; i < m; ++i)
            templates.push_back(0.25);
        for (int i = 0; i < m; ++i)
            templates.push_back(0.75);
        templates.push_back(1.0 / n);
        labels.push_back(1 + k % 3);
    }
    Mixture tests = mixture(41, quick ? 200 : 1000, m, 20, 3, 1.0);
    const double per_division = floor_ns(n, m);
    score_rules("equal nodes", templates, labels, tests, per_division);
    // Training's first search on a thousand equal fresh nodes (the scan a
    // training call makes per pattern, without the rest of the call).
    tarn::feature_count = m;
    tarn::initial_sigma = 1.0;
    tarn::presentation_total = static_cast<std::uint32_t>(n);
    tarn::CategoryNodes nodes(m);
    const std::vector<double> origin(static_cast<std::size_t>(m), 0.25);
    for (int k = 0; k < n; ++k)
        nodes.node_init(origin.data(), 1 + k % 3, 0);
    Timing t[2];
    for (int now = 0; now <= 1; ++now) {
        tarn::set_pruning(now == 1);
        tarn::NodeScan scan;
        t[now] = timed(
            [&] {
                for (int p = 0; p < tests.rows; ++p)
                    tarn::scan_nodes(nodes, &tests.values[static_cast<std::size_t>(p) * static_cast<std::size_t>(m)],
                                     tarn::ScanSettings{0.0, false, true}, scan);
            },
            3);
    }
    tarn::set_pruning(true);
    print_loop("equal nodes", n, m, "first search of training", t[0], t[1], per_division);
}
}  // namespace

int main(int argc, char** argv)
{
    std::string data_folder = "data";
    bool real_only = false;
    for (int a = 1; a < argc; ++a) {
        if (std::strcmp(argv[a], "--quick") == 0) {
            quick = true;
        } else if (std::strcmp(argv[a], "--real") == 0) {
            real_only = true;
        } else if (std::strncmp(argv[a], "--path=", 7) == 0) {
            if (!tarn::set_kernel_path(argv[a] + 7)) {
                std::fprintf(stderr, "tarn_bench: path %s is unknown or not supported here\n", argv[a] + 7);
                return 2;
            }
        } else {
            data_folder = argv[a];
        }
    }
    std::printf("# tarn benchmark\n\nfast path: %s; every figure is the best of %d runs\n", tarn::kernel_path().name,
                quick ? 1 : 3);
    real_data_table(data_folder);
    tile_table();
    if (real_only)
        return 0;
    kernel_table();
    early_exit_table();
    scoring_table();
    evidence_table();
    training_table(data_folder);
    memory_table();
    return 0;
}
