// Argument checks of tarn_learn: each rule, in order, with its exact text.
#include <gtest/gtest.h>

#include <limits>

#include "learn_harness.h"

using harness::three_dimensional;
using learn_test::ArrayPtr;
using learn_test::Call;
using learn_test::run;

namespace {

const double not_a_number = std::numeric_limits<double>::quiet_NaN();

Call valid()
{
    Call c;
    c.patterns = standin::matrix(3, 2, {0, 0, 1, 1, 5, 5});
    c.labels = standin::column({1, 1, 2});
    return c;
}

std::string error_of(const std::vector<ArrayPtr>& inputs, int nlhs = 3)
{
    const auto outcome = run(nlhs, inputs);
    EXPECT_TRUE(outcome.raised);
    EXPECT_EQ(outcome.console, "");
    return outcome.error;
}

std::string error_with(int slot, const ArrayPtr& value)
{
    auto inputs = valid().inputs();
    inputs[static_cast<std::size_t>(slot)] = value;
    return error_of(inputs);
}

}  // namespace

TEST(LearnArguments, InputCountComesFirst)
{
    auto inputs = valid().inputs();
    inputs.pop_back();
    EXPECT_EQ(error_of(inputs, 0), "TARN_LEARN: 8 input arguments required.");
    inputs.push_back(standin::scalar(0));
    inputs.push_back(standin::scalar(0));
    EXPECT_EQ(error_of(inputs), "TARN_LEARN: 8 input arguments required.");
    EXPECT_EQ(error_of({}), "TARN_LEARN: 8 input arguments required.");
}

TEST(LearnArguments, PatternsAndLabelsShapes)
{
    EXPECT_EQ(error_with(0, standin::make_array(mxDOUBLE_CLASS, {3, 2, 2})),
              "TARN_LEARN: 1st input argument (Patterns) must be  a two dimensional array (matrix).");
    EXPECT_EQ(error_with(1, three_dimensional()), "TARN_LEARN: 2nd input argument (PLabels) must a vector.");
    const char* of_type = "TARN_LEARN: 2nd input argument (PLabels) must be of type  3x1 or 1x3.";
    EXPECT_EQ(error_with(1, standin::row({1, 1, 2, 2})), of_type);
    EXPECT_EQ(error_with(1, standin::column({1, 2})), of_type);
    EXPECT_EQ(error_with(1, standin::matrix(3, 2, {})), of_type);
    EXPECT_EQ(error_with(1, standin::scalar(1)), of_type);

    // 1 x P and P x 1 are both accepted; with P = 1 only 1 x 1.
    auto c = valid();
    c.labels = standin::row({1, 1, 2});
    EXPECT_FALSE(run(c).raised);
    c.patterns = standin::matrix(1, 2, {0, 0});
    c.labels = standin::scalar(4);
    EXPECT_FALSE(run(c).raised);
}

TEST(LearnArguments, VigilanceAndGamma)
{
    const char* vig_scalar = "TARN_LEARN: 3rd input argument (vigilance) must be a scalar.";
    EXPECT_EQ(error_with(2, standin::row({0.5, 0.5})), vig_scalar);
    EXPECT_EQ(error_with(2, standin::matrix(2, 2, {})), vig_scalar);
    EXPECT_EQ(error_with(2, standin::make_array(mxDOUBLE_CLASS, {1, 0})), vig_scalar);
    EXPECT_EQ(error_with(2, three_dimensional()), vig_scalar);
    const char* vig_range = "TARN_LEARN: 3rd input argument (vigilance) must be in [0,1].";
    EXPECT_EQ(error_with(2, standin::scalar(-0.0001)), vig_range);
    EXPECT_EQ(error_with(2, standin::scalar(1.0001)), vig_range);
    EXPECT_EQ(error_with(2, standin::scalar(not_a_number)), vig_range);
    for (double v : {0.0, 1.0}) {
        auto c = valid();
        c.vigilance = v;
        EXPECT_FALSE(run(c).raised) << v;
    }

    EXPECT_EQ(error_with(3, standin::row({1, 1})), "TARN_LEARN: 4th input argument (gamma) must be a scalar.");
    for (double g : {0.0, -1.0, not_a_number})
        EXPECT_EQ(error_with(3, standin::scalar(g)), "TARN_LEARN: 4th input argument (gamma) must bepositive.\n");
}

TEST(LearnArguments, IntegerArgumentsAreTruncatedBeforeTheirRangeTests)
{
    EXPECT_EQ(error_with(4, standin::row({1, 2})),
              "TARN_LEARN: 5th input argument (max_list_presentations) must be a scalar.");
    EXPECT_EQ(error_with(4, standin::scalar(0.9)),
              "TARN_LEARN: 5th input argument (max_list_presentations) must  be positive.");
    EXPECT_EQ(error_with(4, standin::scalar(not_a_number)),
              "TARN_LEARN: 5th input argument (max_list_presentations) must  be positive.");

    EXPECT_EQ(error_with(5, three_dimensional()),
              "TARN_LEARN: 6th input argument (no_creation_flag) must be a scalar.");
    EXPECT_EQ(error_with(5, standin::scalar(2)),
              "TARN_LEARN: 6th input argument (no_creation_flag) must be either 0 or 1.");
    EXPECT_EQ(error_with(6, standin::column({0, 1})), "TARN_LEARN: 7th input argument (trim_option) must be a scalar.");
    EXPECT_EQ(error_with(6, standin::scalar(-1)),
              "TARN_LEARN: 7th input argument (trim_option) must be either 0 or 1.");

    EXPECT_EQ(error_with(7, three_dimensional()), "TARN_LEARN: 8th input argument (oflag) must be scalar.");
    EXPECT_EQ(error_with(7, standin::row({1, 2})), "TARN_LEARN: 8th input argument must be scalar.");
    EXPECT_EQ(error_with(7, standin::matrix(2, 2, {})), "TARN_LEARN: 8th input argument must be scalar.");
    EXPECT_EQ(error_with(7, standin::scalar(5)), "TARN_LEARN: 8th input argument (oflag) must be 0,1,2,3 or 4.");
    EXPECT_EQ(error_with(7, standin::scalar(-1)), "TARN_LEARN: 8th input argument (oflag) must be 0,1,2,3 or 4.");

    auto c = valid();
    c.max_list_presentations = 1.9;
    c.no_creation_flag = -0.5;
    c.trim_option = 1.7;
    c.oflag = 4.9;
    const auto outcome = run(c);
    ASSERT_FALSE(outcome.raised);
    EXPECT_EQ(standin::values_of(outcome.outputs[2].get()), std::vector<double>{1});  // one pass
    EXPECT_NE(outcome.console.find("List presentation #1:"), std::string::npos);      // oflag 4
    EXPECT_NE(outcome.console.find("inactive nodes trimmed"), std::string::npos);     // trim 1
}

TEST(LearnArguments, OutputCountIsCheckedLast)
{
    auto c = valid();
    for (int nlhs : {0, 1, 2, 4}) {
        c.nlhs = nlhs;
        EXPECT_EQ(error_of(c.inputs(), nlhs), "TARN_LEARN: 3 output arguments required.");
    }
    c.oflag = 7;
    EXPECT_EQ(error_of(c.inputs(), 2), "TARN_LEARN: 8th input argument (oflag) must be 0,1,2,3 or 4.");
}

TEST(LearnArguments, ClassIsTestedAfterShapeAndBeforeValue)
{
    const auto complex = standin::make_array(mxDOUBLE_CLASS, {3, 2}, {}, true);
    EXPECT_EQ(error_with(0, complex), "TARN_LEARN: 1st input argument (Patterns) must be a real, full, numeric array.");
    EXPECT_EQ(error_with(0, standin::make_array(mxDOUBLE_CLASS, {3, 2}, {}, false, true)),
              "TARN_LEARN: 1st input argument (Patterns) must be a real, full, numeric array.");
    EXPECT_EQ(error_with(1, standin::make_array(mxCHAR_CLASS, {3, 1})),
              "TARN_LEARN: 2nd input argument (PLabels) must be a real, full, numeric array.");
    // A wrongly shaped label vector reports its shape first.
    EXPECT_EQ(error_with(1, standin::make_array(mxCHAR_CLASS, {2, 1})),
              "TARN_LEARN: 2nd input argument (PLabels) must be of type  3x1 or 1x3.");
    EXPECT_EQ(error_with(2, standin::make_array(mxCELL_CLASS, {1, 1})),
              "TARN_LEARN: 3rd input argument (vigilance) must be a real, full, numeric array.");
    EXPECT_EQ(error_with(2, standin::make_array(mxCELL_CLASS, {1, 2})),
              "TARN_LEARN: 3rd input argument (vigilance) must be a scalar.");
    EXPECT_EQ(error_with(3, standin::make_array(mxSTRUCT_CLASS, {1, 1})),
              "TARN_LEARN: 4th input argument (gamma) must be a real, full, numeric array.");
    EXPECT_EQ(error_with(4, standin::make_array(mxCHAR_CLASS, {1, 1}, {'a'})),
              "TARN_LEARN: 5th input argument (max_list_presentations) must be a real, full, numeric array.");
    EXPECT_EQ(error_with(5, standin::make_array(mxDOUBLE_CLASS, {1, 1}, {1}, true)),
              "TARN_LEARN: 6th input argument (no_creation_flag) must be a real, full, numeric array.");
    EXPECT_EQ(error_with(6, standin::make_array(mxFUNCTION_CLASS, {1, 1})),
              "TARN_LEARN: 7th input argument (trim_option) must be a real, full, numeric array.");
    EXPECT_EQ(error_with(7, standin::make_array(mxCHAR_CLASS, {1, 1}, {'1'})),
              "TARN_LEARN: 8th input argument (oflag) must be a real, full, numeric array.");
}

TEST(LearnArguments, OtherRealClassesTrainLikeDoubles)
{
    auto c = valid();
    c.patterns = standin::matrix(4, 2, {0, 0, 0.5, 0.25, 3, 3, 3.5, 2.75});
    c.labels = standin::column({1, 1, 2, 2});
    const auto reference = run(c);
    ASSERT_FALSE(reference.raised);

    auto inputs = c.inputs();
    inputs[0] = standin::make_array(mxSINGLE_CLASS, {4, 2}, {0, 0.5, 3, 3.5, 0, 0.25, 3, 2.75});
    inputs[1] = standin::make_array(mxINT32_CLASS, {4, 1}, {1, 1, 2, 2});
    inputs[2] = standin::make_array(mxSINGLE_CLASS, {1, 1}, {0.5});
    inputs[4] = standin::make_array(mxUINT8_CLASS, {1, 1}, {10});
    inputs[5] = standin::make_array(mxLOGICAL_CLASS, {1, 1}, {1});
    inputs[6] = standin::make_array(mxINT64_CLASS, {1, 1}, {0});
    inputs[7] = standin::make_array(mxINT8_CLASS, {1, 1}, {0});
    const auto converted = run(3, inputs);
    ASSERT_FALSE(converted.raised) << converted.error;
    for (int k = 0; k < 3; ++k)
        EXPECT_EQ(standin::values_of(converted.outputs[k].get()), standin::values_of(reference.outputs[k].get()));
}
