// tarn_resume: its arguments, training on exactly where tarn_learn stopped
// (three properties on random cases), exhausted memory and interrupts.
// Hostile numbers: tests/octave/hostile_tests.m and the fuzzer.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <random>
#include <string>
#include <vector>

#include "commands.h"
#include "differential.h"
#include "fault_harness.h"
#include "model/work.h"

using standin::ArrayPtr;

namespace {

const double nan_value = std::numeric_limits<double>::quiet_NaN();

struct Parameters {
    double vigilance = 0.5;
    double gamma = 1.0;
    double passes = 1;
    double no_creation_flag = 0;
    double trim_option = 0;
    double oflag = 0;

    std::vector<ArrayPtr> tail() const
    {
        return {standin::scalar(vigilance),        standin::scalar(gamma),       standin::scalar(passes),
                standin::scalar(no_creation_flag), standin::scalar(trim_option), standin::scalar(oflag)};
    }
};

struct Set {
    ArrayPtr patterns;
    ArrayPtr labels;
    std::size_t columns;
};

std::vector<ArrayPtr> learn_inputs(const Set& set, const Parameters& p)
{
    std::vector<ArrayPtr> inputs = {set.patterns, set.labels};
    for (const auto& a : p.tail())
        inputs.push_back(a);
    return inputs;
}

// A model: templates, labels and the presentations behind them.
struct Model {
    ArrayPtr templates;
    ArrayPtr labels;
    double presentations = 0;
};

Model empty_model(std::size_t columns)
{
    return {standin::make_array(mxDOUBLE_CLASS, {0, 2 * columns + 1}), standin::make_array(mxDOUBLE_CLASS, {0, 1}), 0};
}

std::vector<ArrayPtr> resume_inputs(const Model& model, const Set& set, const Parameters& p)
{
    std::vector<ArrayPtr> inputs = {model.templates, model.labels, standin::scalar(model.presentations), set.patterns,
                                    set.labels};
    for (const auto& a : p.tail())
        inputs.push_back(a);
    return inputs;
}

harness::Result succeed(const harness::Command& command, int nlhs, const std::vector<ArrayPtr>& inputs)
{
    const harness::Result result = harness::call(command, nlhs, inputs);
    EXPECT_EQ(harness::violation(command, result), "");
    EXPECT_FALSE(result.raised) << result.error;
    return result;
}

// Rows [first, first + count) of a random data set.
Set rows_of(const differential::Data& d, int first, int count)
{
    const auto begin = d.values.begin() + first * d.columns;
    const std::vector<double> values(begin, begin + count * d.columns);
    const std::vector<double> labels(d.labels.begin() + first, d.labels.begin() + first + count);
    return {standin::matrix(static_cast<std::size_t>(count), static_cast<std::size_t>(d.columns), values),
            standin::column(labels), static_cast<std::size_t>(d.columns)};
}

// A random case: clustered data with repeats, fractional and NaN labels
// (now and then hostile values too), any vigilance and output level.
struct Case {
    differential::Data data;
    Parameters parameters;
    std::mt19937_64 rng;

    explicit Case(std::uint64_t seed) : rng(seed)
    {
        std::uniform_int_distribution<int> pick(0, 1 << 30);
        data =
            differential::random_data(rng, pick(rng) % 25, 1 + pick(rng) % 4, 1 + pick(rng) % 3, pick(rng) % 10 == 0);
        const double vigilances[] = {0.0, 1.0, 0.5, 0.05, 0.9, (pick(rng) % 1000) / 1000.0};
        parameters.vigilance = vigilances[pick(rng) % 6];
        parameters.gamma = pick(rng) % 2 == 0 ? 1.0 : 0.3;
        parameters.oflag = pick(rng) % 5;
    }
    int below(int n) { return static_cast<int>(rng() % static_cast<std::uint64_t>(n)); }
};

bool same_bits(const ArrayPtr& a, const ArrayPtr& b)
{
    return standin::dims_of(a.get()) == standin::dims_of(b.get()) &&
           harness::same_bits(standin::values_of(a.get()), standin::values_of(b.get()));
}

// Rows of a matrix (and entries of a column) where `keep` is 1.
ArrayPtr kept_rows(const ArrayPtr& a, const std::vector<double>& keep)
{
    const auto dims = standin::dims_of(a.get());
    const auto values = standin::values_of(a.get());
    std::vector<double> rows;
    std::size_t kept = 0;
    for (std::size_t i = 0; i < dims[0]; ++i) {
        if (keep[i] == 0)
            continue;
        ++kept;
        for (std::size_t j = 0; j < dims[1]; ++j)
            rows.push_back(values[j * dims[0] + i]);
    }
    return standin::matrix(kept, dims[1], rows);
}

}  // namespace

// tarn_resume (tarn_learn (X1), P1, X2) gives what tarn_learn ([X1; X2])
// gives, one pass each.
TEST(ResumeExactness, TrainingOnNewRowsIsTrainingOnAllRows)
{
    for (std::uint64_t seed = 1; seed <= 1000; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Case c(seed);
        const int split = c.below(c.data.rows + 1);
        Parameters first = c.parameters;
        first.trim_option = c.below(2);  // every node of a single pass is active
        const auto learnt = succeed(commands::learn, 3, learn_inputs(rows_of(c.data, 0, split), first));
        const Model model{learnt.outputs[0], learnt.outputs[1], static_cast<double>(split)};
        const auto resumed = succeed(commands::resume, 5,
                                     resume_inputs(model, rows_of(c.data, split, c.data.rows - split), c.parameters));
        const auto whole = succeed(commands::learn, 3, learn_inputs(rows_of(c.data, 0, c.data.rows), c.parameters));
        ASSERT_TRUE(same_bits(resumed.outputs[0], whole.outputs[0]) && same_bits(resumed.outputs[1], whole.outputs[1]));
        EXPECT_EQ(standin::values_of(resumed.outputs[3].get())[0], c.data.rows);
    }
}

// k calls of one pass each give what one call of k passes gives; with the
// stop flag and trimming too, when the caller stops after the first call
// that made no node and drops the rows that output 5 marks inactive.
TEST(ResumeExactness, OnePassAtATimeIsManyPassesAtOnce)
{
    for (std::uint64_t seed = 1001; seed <= 2000; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Case c(seed);
        const Set set = rows_of(c.data, 0, c.data.rows);
        Parameters many = c.parameters;
        many.passes = 1 + c.below(4);
        many.no_creation_flag = many.trim_option = c.below(2);
        const auto whole = succeed(commands::learn, 3, learn_inputs(set, many));

        Parameters one = c.parameters;
        Model model = empty_model(set.columns);
        std::vector<double> active;
        for (int k = 0; k < many.passes; ++k) {
            const std::size_t before = standin::dims_of(model.templates.get())[0];
            const auto step = succeed(commands::resume, 5, resume_inputs(model, set, one));
            model = {step.outputs[0], step.outputs[1], standin::values_of(step.outputs[3].get())[0]};
            active = standin::values_of(step.outputs[4].get());
            if (many.no_creation_flag == 1 && standin::dims_of(model.templates.get())[0] == before)
                break;
        }
        if (many.trim_option == 1)
            model = {kept_rows(model.templates, active), kept_rows(model.labels, active), 0};
        ASSERT_TRUE(same_bits(model.templates, whole.outputs[0]) && same_bits(model.labels, whole.outputs[1]));
    }
}

// From no model at all, tarn_resume is tarn_learn, console text included.
TEST(ResumeExactness, AnEmptyModelTrainsAsTarnLearnDoes)
{
    tarn::set_millisecond_clock([]() -> std::int64_t { return 0; });
    for (std::uint64_t seed = 2001; seed <= 3000; ++seed) {
        SCOPED_TRACE("seed " + std::to_string(seed));
        Case c(seed);
        const Set set = rows_of(c.data, 0, c.data.rows);
        c.parameters.passes = 1 + c.below(4);
        c.parameters.no_creation_flag = c.below(2);
        c.parameters.trim_option = c.below(2);
        const auto totals = tarn::flop_total;
        const auto learnt = succeed(commands::learn, 3, learn_inputs(set, c.parameters));
        tarn::flop_total = totals;
        const auto resumed = succeed(commands::resume, 3, resume_inputs(empty_model(set.columns), set, c.parameters));
        ASSERT_EQ(resumed.console, learnt.console);
        for (int k = 0; k < 3; ++k)
            ASSERT_TRUE(same_bits(resumed.outputs[k], learnt.outputs[k])) << "output " << k + 1;
    }
    tarn::set_millisecond_clock(nullptr);
}

// A model of three nodes (counts 2, 1, 1 of 4 presentations) goes on
// learning: its nodes are numbered first, its counts and the presentation
// total carry on, and Active marks what the last pass touched.
TEST(Resume, NodesCountsAndTotalsCarryOn)
{
    const Model model{standin::matrix(3, 3, {0, 0.5, 0.5, 5, 1, 0.25, 9, 1, 0.25}), standin::column({1, 2, 1}), 4};
    const Set set{standin::column({5.1, 20}), standin::column({2, 3}), 1};
    Parameters p;
    p.oflag = 3;
    const auto outcome = succeed(commands::resume, 5, resume_inputs(model, set, p));
    EXPECT_NE(outcome.console.find("   Pattern #1 updated  node #2 (label 2)\n"), std::string::npos);
    EXPECT_NE(outcome.console.find("   Pattern #2 created  node #4 (label 3).\n"), std::string::npos);
    EXPECT_NE(outcome.console.find("Training set contained 2 training patterns\n"), std::string::npos);
    const auto T = standin::values_of(outcome.outputs[0].get());
    EXPECT_EQ((std::vector<double>(T.end() - 4, T.end())), (std::vector<double>{2.0 / 6, 2.0 / 6, 1.0 / 6, 1.0 / 6}));
    EXPECT_EQ(standin::values_of(outcome.outputs[3].get()), std::vector<double>{6});
    EXPECT_EQ(standin::values_of(outcome.outputs[4].get()), (std::vector<double>{0, 1, 0, 1}));
    // Any number of outputs up to five; none gives ans the templates.
    for (int nlhs : {0, 1, 2, 4}) {
        const auto fewer = succeed(commands::resume, nlhs, resume_inputs(model, set, Parameters{}));
        EXPECT_TRUE(same_bits(fewer.outputs[0], outcome.outputs[0]));
        EXPECT_EQ(fewer.outputs.size(), static_cast<std::size_t>(nlhs > 0 ? nlhs : 1));
    }
}

// Every check in its order, each message saying what it received.
TEST(Resume, ArgumentsAreCheckedInOrderAndNamed)
{
    const Model model{standin::matrix(2, 3, {0, 1, 0.5, 5, 1, 0.25}), standin::column({1, 2}), 4};
    const Set set{standin::column({0, 5}), standin::column({1, 2}), 1};
    const auto good = resume_inputs(model, set, Parameters{});
    struct Refusal {
        int slot;
        ArrayPtr value;
        std::string message;
    };
    const std::vector<Refusal> refusals = {
        {0, standin::make_array(mxCHAR_CLASS, {2, 3}),
         "1st input argument (Templates) must be a real, full, numeric "
         "or logical array; received a char array."},
        {1, standin::row({1, 2, 3}),
         "2nd input argument (NLabels) must be 2x1 or 1x2, one label per row of "
         "Templates; received 1x3."},
        {2, standin::row({4, 4}), "3rd input argument (presentations) must be a scalar; received 1x2."},
        {2, standin::scalar(4.5),
         "3rd input argument (presentations) must be a whole number from 0 to 4294967295; "
         "received 4.5."},
        {3, standin::matrix(2, 2, {}),
         "4th input argument (Patterns) must have M columns for the 2M+1 of "
         "Templates; received Patterns 2x2 and Templates 2x3."},
        {2, standin::scalar(5),
         "Templates and presentations disagree: row 1: prior 0.5 x 5 presentations = 2.5, "
         "not a whole number of at least 1."},
        {0, standin::matrix(2, 3, {0, 1, 0.5, 5, 1, 0.75}),
         "Templates and presentations disagree: the counts of "
         "rows 1 to 2 (prior x presentations) add up to 5, more "
         "than 4."},
        {5, standin::scalar(nan_value), "6th input argument (vigilance) must be in [0, 1]; received NaN."},
        {7, standin::scalar(0.9),
         "8th input argument (max_list_presentations) must be from 1 to 2147483647; "
         "received 0.9."},
        {7, standin::scalar(2147483647),
         "8th input argument (max_list_presentations) is too large: 4 presentations "
         "+ 2147483647 passes x 2 rows = 4294967298 would exceed 4294967295."},
        {9, standin::make_array(mxDOUBLE_CLASS, {1, 1}, {}, true),
         "10th input argument (trim_option) must be a real "
         "number; received a complex array."},
        {10, standin::scalar(-1), "11th input argument (oflag) must be 0, 1, 2, 3 or 4; received -1."},
    };
    for (const auto& r : refusals) {
        auto inputs = good;
        inputs[static_cast<std::size_t>(r.slot)] = r.value;
        const auto outcome = harness::call(commands::resume, 5, inputs);
        EXPECT_EQ(outcome.error, commands::resume.message(r.message));
        EXPECT_EQ(harness::violation(commands::resume, outcome), "");
    }
    EXPECT_EQ(harness::call(commands::resume, 5, {good.begin(), good.end() - 1}).error,
              commands::resume.message("11 input arguments required; received 10."));
    EXPECT_EQ(harness::call(commands::resume, 6, good).error,
              commands::resume.message("at most 5 output arguments; received 6."));
    // The empty model takes any presentations, and the bound allows exactly 2^32 - 1.
    auto inputs = resume_inputs(empty_model(1), set, Parameters{});
    inputs[2] = standin::scalar(4294967293.0);
    EXPECT_FALSE(harness::call(commands::resume, 4, inputs).raised);
}

// Each allocation of a representative call fails once and an interrupt
// arrives at each poll: a model of two nodes trains three passes on rows
// that make nodes in every pass and leave one inactive to trim.
TEST(ResumeFaults, EveryAllocationPointFailsOnceAndTheCommandStaysUsable)
{
    const Model model{standin::matrix(2, 5, {0, 0, 1, 1, 0.5, 9, 9, 1, 1, 0.5}), standin::column({1, 2}), 2};
    const Set set{standin::matrix(3, 2, {0, 0, 0, 0, 50, 50}), standin::column({1, 3, 4}), 2};
    Parameters p;
    p.vigilance = 0;
    p.passes = 3;
    p.trim_option = 1;
    p.oflag = 4;
    const auto counted = fault_test::fail_every_point(commands::resume, 5, resume_inputs(model, set, p));
    EXPECT_GT(counted.host, 0);
    EXPECT_GT(counted.node, 0);
    EXPECT_GE(counted.polls, 9);
    fault_test::fail_every_point(commands::resume, 5, resume_inputs(empty_model(2), set, p));
}
