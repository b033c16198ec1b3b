// tarn_score through the stand-in host: the argument contract, the template
// priors, empty inputs and conversions of other classes.
#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>
#include <vector>

#include "score_harness.h"

using harness::three_dimensional;
using namespace score_test;
using standin::Outcome;

namespace {

const double not_a_number = std::numeric_limits<double>::quiet_NaN();

// Two nodes of two features (labels 1 and 2) and three test patterns: the
// first near node 1, the second near node 2, the third far from both.
std::vector<ArrayPtr> valid_inputs()
{
    return {standin::matrix(2, 5, {0, 0, 1, 1, 0.5, 4, 4, 1, 1, 0.5}),
            standin::column({1, 2}),
            standin::scalar(0.5),
            standin::matrix(3, 2, {0.2, 0.1, 4.1, 3.9, 2, 2}),
            standin::scalar(-1),
            standin::scalar(0),
            standin::scalar(0)};
}

ArrayPtr characters(std::size_t rows, std::size_t columns)
{
    return standin::make_array(mxCHAR_CLASS, {rows, columns}, std::vector<double>(rows * columns, 65));
}

ArrayPtr complex_scalar(double value)
{
    return standin::make_array(mxDOUBLE_CLASS, {1, 1}, {value}, true);
}

std::string text(const char* message)
{
    return std::string("TARN_SCORE: ") + message;
}

struct Step {
    int slot;  // -1: the output count
    ArrayPtr bad;
    std::string message;
};

}  // namespace

// Each check fires with every later input also broken and no output asked
// for: the first failing check in the fixed order is the one reported.
TEST(ScoreArguments, ChecksRunInTheirOrderAndStopAtTheFirstFailure)
{
    const std::vector<Step> steps = {
        {TEMPLATES, three_dimensional(),
         text("1st input argument (Templates) must be  a two dimensional array (matrix).")},
        {TEMPLATES, characters(2, 5), text("1st input argument (Templates) must be a real, full, numeric array.")},
        {NLABELS, three_dimensional(), text("2nd input argument (NLabels) must a vector.")},
        {NLABELS, standin::matrix(2, 2, {1, 2, 1, 2}),
         text("2nd input argument (NLabels) must be of type  2x1 or 1x2.")},
        {NLABELS, characters(2, 1), text("2nd input argument (NLabels) must be a real, full, numeric array.")},
        {VIGILANCE, three_dimensional(), text("3rd input argument (vigilance) must be a scalar.")},
        {VIGILANCE, standin::row({0.5, 0.5}), text("3rd input argument (vigilance) must be a scalar.")},
        {VIGILANCE, complex_scalar(0.5), text("3rd input argument (vigilance) must be a real, full, numeric array.")},
        {VIGILANCE, standin::scalar(1.5), text("3rd input argument (vigilance) must be in [0.0, 1.0].")},
        {PATTERNS, three_dimensional(),
         text("4th input argument (Patterns) must be  a two dimensional array (matrix).")},
        {PATTERNS, standin::matrix(3, 3, {}), text("4th input argument (Patterns) must be of type  3x2.")},
        {PATTERNS, standin::make_array(mxDOUBLE_CLASS, {3, 2}, {}, false, true),
         text("4th input argument (Patterns) must be a real, full, numeric array.")},
        {UNKNOWN_LABEL, standin::row({}), text("5th input argument (unknown_label) must be a scalar.")},
        {UNKNOWN_LABEL, standin::make_array(mxCELL_CLASS, {1, 1}),
         text("5th input argument (unknown_label) must be a real, full, numeric array.")},
        {DECISION_OPTION, standin::column({0, 1}), text("6th input argument (decision_option) must be scalar.")},
        {DECISION_OPTION, characters(1, 1),
         text("6th input argument (decision_option) must be a real, full, numeric array.")},
        {DECISION_OPTION, standin::scalar(2), text("6th input argument (decision_option) must be 0 or 1.")},
        {OFLAG, three_dimensional(), text("7th input argument (oflag) must be scalar.")},
        {OFLAG, complex_scalar(1), text("7th input argument (oflag) must be a real, full, numeric array.")},
        {OFLAG, standin::scalar(4), text("7th input argument (oflag) must be 0,1,2 or 3.")},
        {-1, nullptr, text("1 output argument required.")},
    };
    for (const Step& step : steps) {
        SCOPED_TRACE(step.message);
        std::vector<ArrayPtr> inputs = valid_inputs();
        if (step.slot >= 0) {
            inputs[static_cast<std::size_t>(step.slot)] = step.bad;
            for (int later = step.slot + 1; later <= OFLAG; ++later)
                inputs[static_cast<std::size_t>(later)] = three_dimensional();
        }
        const Outcome outcome = run(inputs, 0);
        EXPECT_TRUE(outcome.raised);
        EXPECT_EQ(outcome.error, step.message);
        EXPECT_EQ(outcome.console, "");
        EXPECT_TRUE(outcome.warnings.empty());
        EXPECT_TRUE(outcome.work_calls.empty());
        EXPECT_TRUE(outcome.inputs_unchanged);
    }
}

TEST(ScoreArguments, InputCountComesBeforeAnyInputIsLookedAt)
{
    for (std::size_t n : {0u, 6u, 8u}) {
        const std::vector<ArrayPtr> inputs(n, three_dimensional());
        const Outcome outcome = run(inputs);
        EXPECT_EQ(outcome.error, text("7 input arguments required.")) << n;
    }
}

TEST(ScoreArguments, ShapeTestsComeBeforeTheClassTestOfTheSameInput)
{
    // A wrong shape in a refused class reports the shape.
    auto bad_templates = standin::make_array(mxCHAR_CLASS, {1, 1, 3}, {65, 65, 65});
    EXPECT_EQ(run(with(valid_inputs(), TEMPLATES, bad_templates)).error,
              text("1st input argument (Templates) must be  a two dimensional array (matrix)."));
    EXPECT_EQ(run(with(valid_inputs(), NLABELS, characters(3, 1))).error,
              text("2nd input argument (NLabels) must be of type  2x1 or 1x2."));
    EXPECT_EQ(run(with(valid_inputs(), VIGILANCE, characters(1, 2))).error,
              text("3rd input argument (vigilance) must be a scalar."));
    EXPECT_EQ(run(with(valid_inputs(), PATTERNS, characters(3, 3))).error,
              text("4th input argument (Patterns) must be of type  3x2."));
    // A refused class is reported before a value out of range.
    EXPECT_EQ(run(with(valid_inputs(), VIGILANCE, complex_scalar(not_a_number))).error,
              text("3rd input argument (vigilance) must be a real, full, numeric array."));
    EXPECT_EQ(run(with(valid_inputs(), DECISION_OPTION, complex_scalar(2))).error,
              text("6th input argument (decision_option) must be a real, full, numeric array."));
    EXPECT_EQ(run(with(valid_inputs(), OFLAG, standin::make_array(mxCHAR_CLASS, {1, 1}, {57}))).error,
              text("7th input argument (oflag) must be a real, full, numeric array."));
}

TEST(ScoreArguments, FeatureCountComesFromTheTemplateWidth)
{
    // 7 and 8 columns both give three features; the even width's last
    // column is ignored.
    for (std::size_t width : {7u, 8u}) {
        SCOPED_TRACE(width);
        std::vector<double> rows(4 * width, 1.0);
        auto inputs = valid_inputs();
        inputs[TEMPLATES] = standin::matrix(4, width, rows);
        inputs[NLABELS] = standin::row({1, 2, 3, 4});
        inputs[PATTERNS] = standin::matrix(10, 4, {});
        EXPECT_EQ(run(inputs).error, text("4th input argument (Patterns) must be of type  10x3."));
        inputs[PATTERNS] = standin::matrix(10, 3, {});
        const Outcome outcome = run(inputs);
        EXPECT_FALSE(outcome.raised) << outcome.error;
        EXPECT_EQ(standin::dims_of(outcome.outputs[0].get()), (std::vector<std::size_t>{10, 1}));
    }
    // One column (only a prior) gives no features at all.
    auto inputs = valid_inputs();
    inputs[TEMPLATES] = standin::matrix(2, 1, {0.25, 0.75});
    inputs[PATTERNS] = standin::matrix(3, 1, {});
    EXPECT_EQ(run(inputs).error, text("4th input argument (Patterns) must be of type  3x0."));
    inputs[PATTERNS] = standin::make_array(mxDOUBLE_CLASS, {3, 0});
    const Outcome outcome = run(inputs);
    ASSERT_FALSE(outcome.raised) << outcome.error;
    EXPECT_EQ(labels_of(outcome), (std::vector<double>{2, 2, 2}));  // the larger prior decides
}

TEST(ScoreArguments, LabelsMustMatchTheTemplateRows)
{
    auto five = valid_inputs();
    five[TEMPLATES] = standin::matrix(5, 5, std::vector<double>(25, 1.0));
    for (const ArrayPtr& labels : {standin::matrix(5, 2, {}), standin::row({1, 2, 3, 4}), standin::scalar(1)})
        EXPECT_EQ(run(with(five, NLABELS, labels)).error,
                  text("2nd input argument (NLabels) must be of type  5x1 or 1x5."));
    EXPECT_FALSE(run(with(five, NLABELS, standin::row({1, 2, 3, 4, 5}))).raised);
    EXPECT_FALSE(run(with(five, NLABELS, standin::column({1, 2, 3, 4, 5}))).raised);

    auto one = valid_inputs();
    one[TEMPLATES] = standin::matrix(1, 5, {0, 0, 1, 1, 1});
    const Outcome outcome = run(with(one, NLABELS, standin::scalar(6)));
    ASSERT_FALSE(outcome.raised) << outcome.error;
    EXPECT_EQ(labels_of(outcome), (std::vector<double>{6, -1, -1}));
}

TEST(ScoreArguments, VigilanceBoundsAndScalarShapes)
{
    for (double v : {0.0, 1.0})
        EXPECT_FALSE(run(with(valid_inputs(), VIGILANCE, standin::scalar(v))).raised) << v;
    for (double v : {-0.01, 1.01, not_a_number, std::numeric_limits<double>::infinity()})
        EXPECT_EQ(run(with(valid_inputs(), VIGILANCE, standin::scalar(v))).error,
                  text("3rd input argument (vigilance) must be in [0.0, 1.0]."))
            << v;
    for (const ArrayPtr& shape : {standin::row({0, 0, 0}), standin::matrix(2, 2, {}), standin::row({})})
        EXPECT_EQ(run(with(valid_inputs(), VIGILANCE, shape)).error,
                  text("3rd input argument (vigilance) must be a scalar."));
}

TEST(ScoreArguments, IntegerArgumentsAreTruncatedTowardZero)
{
    // Pattern 3 is refused by both nodes, so it shows unknown_label.
    auto label_of_unknown = [](double value) {
        const Outcome outcome = run(with(valid_inputs(), UNKNOWN_LABEL, standin::scalar(value)));
        EXPECT_FALSE(outcome.raised) << outcome.error;
        return labels_of(outcome).at(2);
    };
    EXPECT_EQ(label_of_unknown(-1.7), -1.0);
    EXPECT_EQ(label_of_unknown(2.9), 2.0);
    EXPECT_EQ(label_of_unknown(not_a_number), 0.0);

    // The report has an inactive-node line under rule 0 only.
    auto report_of = [](double rule, double level) {
        auto inputs = with(valid_inputs(), DECISION_OPTION, standin::scalar(rule));
        const Outcome outcome = run(with(inputs, OFLAG, standin::scalar(level)));
        EXPECT_FALSE(outcome.raised) << outcome.error;
        return outcome.console;
    };
    EXPECT_EQ(report_of(1.7, 1).find("inactive"), std::string::npos);
    EXPECT_NE(report_of(-0.5, 1).find("inactive"), std::string::npos);
    EXPECT_NE(report_of(not_a_number, 1).find("inactive"), std::string::npos);
    EXPECT_NE(report_of(0, 3.9).find("is being presented"), std::string::npos);
    EXPECT_EQ(report_of(0, 0.9), "");
    EXPECT_EQ(run(with(valid_inputs(), DECISION_OPTION, standin::scalar(-1))).error,
              text("6th input argument (decision_option) must be 0 or 1."));
    EXPECT_EQ(run(with(valid_inputs(), OFLAG, standin::scalar(-1))).error,
              text("7th input argument (oflag) must be 0,1,2 or 3."));
}

TEST(ScoreArguments, OutputCountIsCheckedLastAndMustBeOne)
{
    for (int nlhs : {0, 2})
        EXPECT_EQ(run(valid_inputs(), nlhs).error, text("1 output argument required.")) << nlhs;
    EXPECT_EQ(run(with(valid_inputs(), OFLAG, standin::scalar(9)), 2).error,
              text("7th input argument (oflag) must be 0,1,2 or 3."));
}

TEST(ScoreArguments, ValidCallReturnsOneColumnAndLeavesItsInputsAlone)
{
    const Outcome outcome = run(valid_inputs());
    ASSERT_FALSE(outcome.raised) << outcome.error;
    ASSERT_EQ(outcome.outputs.size(), 1u);
    EXPECT_EQ(standin::class_of(outcome.outputs[0].get()), mxDOUBLE_CLASS);
    EXPECT_EQ(standin::dims_of(outcome.outputs[0].get()), (std::vector<std::size_t>{3, 1}));
    EXPECT_EQ(labels_of(outcome), (std::vector<double>{1, 2, -1}));
    EXPECT_TRUE(outcome.inputs_unchanged);
    EXPECT_TRUE(outcome.warnings.empty());
}

TEST(ScoreArguments, OtherRealClassesAreConvertedToDoubles)
{
    const std::vector<double> expected = labels_of(run(valid_inputs()));
    auto inputs = valid_inputs();
    // Column-major values of the double inputs above.
    inputs[TEMPLATES] = standin::make_array(mxINT32_CLASS, {2, 5}, {0, 4, 0, 4, 1, 1, 1, 1, 1, 1});
    inputs[NLABELS] = standin::make_array(mxUINT8_CLASS, {1, 2}, {1, 2});
    inputs[VIGILANCE] = standin::make_array(mxSINGLE_CLASS, {1, 1}, {0.5});
    inputs[PATTERNS] = standin::make_array(mxSINGLE_CLASS, {3, 2}, {0.25, 4, 2, 0, 4, 2});
    inputs[UNKNOWN_LABEL] = standin::make_array(mxINT8_CLASS, {1, 1}, {-1});
    inputs[DECISION_OPTION] = standin::make_array(mxLOGICAL_CLASS, {1, 1}, {0});
    inputs[OFLAG] = standin::make_array(mxUINT16_CLASS, {1, 1}, {0});
    const Outcome outcome = run(inputs);
    ASSERT_FALSE(outcome.raised) << outcome.error;
    EXPECT_EQ(labels_of(outcome), expected);
    EXPECT_TRUE(outcome.inputs_unchanged);

    // A logical decision_option of true selects the per-label sums.
    inputs[DECISION_OPTION] = standin::make_array(mxLOGICAL_CLASS, {1, 1}, {1});
    inputs[OFLAG] = standin::make_array(mxINT64_CLASS, {1, 1}, {1});
    const Outcome by_sums = run(inputs);
    ASSERT_FALSE(by_sums.raised) << by_sums.error;
    EXPECT_EQ(by_sums.console.find("inactive"), std::string::npos);
}

TEST(ScoreArguments, TemplatePriorsMustBeDefinedAndNotNegative)
{
    const std::string negative = "TARN_SCORE: 1st input argument (Templates) has a negative or undefined prior in row ";
    auto templates_with_priors = [](double first, double second, double third) {
        // Negative means and deviations elsewhere in the rows are not priors.
        return standin::matrix(3, 5, {-1, -1, -1, -1, first, 0, 0, 1, 1, second, 2, 2, 1, 1, third});
    };
    auto inputs = valid_inputs();
    inputs[NLABELS] = standin::column({1, 2, 3});
    inputs[TEMPLATES] = templates_with_priors(0.2, -0.1, not_a_number);
    EXPECT_EQ(run(inputs).error, negative + "2.");
    inputs[TEMPLATES] = templates_with_priors(0.2, 0.3, not_a_number);
    EXPECT_EQ(run(inputs).error, negative + "3.");
    inputs[TEMPLATES] = templates_with_priors(-std::numeric_limits<double>::infinity(), 0.3, 0.5);
    EXPECT_EQ(run(inputs).error, negative + "1.");
    // Read from a non-double array too.
    inputs[TEMPLATES] = standin::make_array(mxINT8_CLASS, {3, 5}, {-1, 0, 2, -1, 0, 2, -1, 1, 1, -1, 1, 1, 1, 1, -1});
    EXPECT_EQ(run(inputs).error, negative + "3.");

    // Every argument check comes first.
    inputs[TEMPLATES] = templates_with_priors(-1, -1, -1);
    EXPECT_EQ(run(inputs, 0).error, text("1 output argument required."));

    // A prior of zero (of either sign) is defined; so is the ignored last
    // column of an even width.
    inputs[TEMPLATES] = templates_with_priors(0.0, -0.0, 1.0);
    EXPECT_FALSE(run(inputs).raised);
    inputs[TEMPLATES] = standin::matrix(3, 6, {0, 0, 1, 1, 0.5, -1, 4, 4, 1, 1, 0.5, not_a_number, 9, 9, 1, 1, 0, -7});
    EXPECT_FALSE(run(inputs).raised);
    inputs[TEMPLATES] = standin::matrix(3, 6, {0, 0, 1, 1, 0.5, 1, 4, 4, 1, 1, -0.5, 1, 9, 9, 1, 1, 0, 1});
    EXPECT_EQ(run(inputs).error, negative + "2.");
}

TEST(ScoreArguments, TemplatesWithRowsButNoColumnsAreRefused)
{
    auto inputs = valid_inputs();
    inputs[TEMPLATES] = standin::make_array(mxDOUBLE_CLASS, {2, 0});
    inputs[PATTERNS] = standin::make_array(mxDOUBLE_CLASS, {3, 0});
    EXPECT_EQ(run(inputs).error, text("1st input argument (Templates) has no prior in row 1."));
}

TEST(ScoreArguments, EmptyTemplatesOrPatternsAreValid)
{
    // No template rows: nothing can classify, every pattern is unknown.
    auto no_templates = valid_inputs();
    no_templates[TEMPLATES] = standin::make_array(mxDOUBLE_CLASS, {0, 5});
    no_templates[NLABELS] = standin::make_array(mxDOUBLE_CLASS, {0, 1});
    for (double rule : {0.0, 1.0}) {
        const Outcome outcome = run(with(no_templates, DECISION_OPTION, standin::scalar(rule)));
        ASSERT_FALSE(outcome.raised) << outcome.error;
        EXPECT_EQ(labels_of(outcome), (std::vector<double>{-1, -1, -1}));
    }
    // 0 x 0 is neither 0 x 1 nor 1 x 0.
    EXPECT_EQ(run(with(no_templates, NLABELS, standin::make_array(mxDOUBLE_CLASS, {0, 0}))).error,
              text("2nd input argument (NLabels) must be of type  0x1 or 1x0."));
    no_templates[TEMPLATES] = standin::make_array(mxDOUBLE_CLASS, {0, 0});
    no_templates[PATTERNS] = standin::make_array(mxDOUBLE_CLASS, {3, 0});
    EXPECT_EQ(labels_of(run(no_templates)), (std::vector<double>{-1, -1, -1}));

    // No patterns: an empty column.
    const Outcome outcome = run(with(valid_inputs(), PATTERNS, standin::make_array(mxDOUBLE_CLASS, {0, 2})));
    ASSERT_FALSE(outcome.raised) << outcome.error;
    EXPECT_EQ(standin::dims_of(outcome.outputs[0].get()), (std::vector<std::size_t>{0, 1}));
}
