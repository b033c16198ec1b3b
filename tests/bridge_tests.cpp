// Conversions between host arrays and the commands' arrays, the argument
// predicates and the message formatter.
#include <gtest/gtest.h>

#include <limits>
#include <string>
#include <vector>

#include "bridge/arguments.h"
#include "bridge/host_array.h"
#include "bridge/marshal.h"
#include "model/host.h"
#include "standin.h"

using standin::ArrayPtr;

namespace {

std::vector<double> vector_of(const ArrayPtr& array, int* length, standin::Outcome* outcome = nullptr)
{
    std::vector<double> values;
    auto result = standin::within_call([&] {
        double* v = tarn::mxArray1D_to_cArray1D(length, array.get());
        if (v != nullptr)
            values.assign(v, v + *length);
        else
            values.push_back(-999.0);  // marks a null result
    });
    if (outcome != nullptr)
        *outcome = result;
    return values;
}

std::vector<std::vector<double>> rows_of(const ArrayPtr& array, int* rows, int* columns,
                                         standin::Outcome* outcome = nullptr)
{
    std::vector<std::vector<double>> out;
    bool null_result = false;
    auto result = standin::within_call([&] {
        double** table = tarn::mxArray2D_to_cArray2D(rows, columns, array.get());
        null_result = table == nullptr;
        for (int i = 0; table != nullptr && i < *rows; ++i)
            out.emplace_back(table[i], table[i] + *columns);
    });
    if (null_result)
        out.push_back({-999.0});
    if (outcome != nullptr)
        *outcome = result;
    return out;
}

// The message of the first rule that refuses `inputs` (one output asked
// for), or "" when all pass.
std::string refusal(const std::vector<tarn::ArgumentRule>& rules, const std::vector<ArrayPtr>& inputs)
{
    std::vector<const mxArray*> prhs;
    for (const auto& in : inputs)
        prhs.push_back(in.get());
    char message[tarn::message_buffer_size];
    const tarn::Arguments args{1, static_cast<int>(prhs.size()), prhs.data()};
    return tarn::check_arguments(rules.data(), rules.size(), args, "T", message) ? "" : message;
}

}  // namespace

TEST(VectorConversion, RowsAndColumnsGiveTheirElementsInOrder)
{
    int n = -1;
    EXPECT_EQ(vector_of(standin::scalar(4.5), &n), std::vector<double>{4.5});
    EXPECT_EQ(n, 1);
    EXPECT_EQ(vector_of(standin::row({1, 2, 3}), &n), (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(vector_of(standin::column({1, 2, 3}), &n), (std::vector<double>{1, 2, 3}));
    EXPECT_EQ(n, 3);
}

TEST(VectorConversion, EmptyVectorsAreValidEvenOnAStrictHost)
{
    int n = -1;
    EXPECT_EQ(vector_of(standin::make_array(mxDOUBLE_CLASS, {0, 1}), &n), std::vector<double>{});
    EXPECT_EQ(n, 0);
    EXPECT_EQ(vector_of(standin::make_array(mxDOUBLE_CLASS, {1, 0}), &n), std::vector<double>{});
}

TEST(VectorConversion, BadShapesWarnAndGiveNothing)
{
    int n = -1;
    standin::Outcome outcome;
    EXPECT_EQ(vector_of(standin::matrix(2, 3, {}), &n, &outcome), std::vector<double>{-999.0});
    EXPECT_EQ(n, 0);
    EXPECT_EQ(outcome.warnings,
              std::vector<std::string>{"mxArray1D_to_cArray1D: mxArray argument passed was not appropriate!"});
    n = -1;
    vector_of(standin::make_array(mxDOUBLE_CLASS, {0, 0}), &n, &outcome);
    EXPECT_EQ(n, 0);
    EXPECT_EQ(outcome.warnings.size(), 1u);
    vector_of(standin::make_array(mxDOUBLE_CLASS, {1, 1, 2}), &n, &outcome);
    EXPECT_EQ(outcome.warnings,
              std::vector<std::string>{"mxArray1D_to_cArray1D: Argument passed was not appropriate!"});
}

TEST(VectorConversion, OtherRealClassesAreConvertedToDouble)
{
    int n = 0;
    EXPECT_EQ(vector_of(standin::make_array(mxINT8_CLASS, {1, 3}, {-3, 0, 7}), &n), (std::vector<double>{-3, 0, 7}));
    EXPECT_EQ(vector_of(standin::make_array(mxSINGLE_CLASS, {2, 1}, {0.5, -2.25}), &n),
              (std::vector<double>{0.5, -2.25}));
    EXPECT_EQ(vector_of(standin::make_array(mxLOGICAL_CLASS, {1, 2}, {1, 0}), &n), (std::vector<double>{1, 0}));
    EXPECT_EQ(vector_of(standin::make_array(mxUINT64_CLASS, {1, 1}, {9007199254740992.0}), &n),
              (std::vector<double>{9007199254740992.0}));
}

TEST(MatrixConversion, ColumnMajorStorageBecomesRows)
{
    int r = 0;
    int c = 0;
    const auto host = standin::make_array(mxDOUBLE_CLASS, {2, 3}, {1, 4, 2, 5, 3, 6});
    EXPECT_EQ(rows_of(host, &r, &c), (std::vector<std::vector<double>>{{1, 2, 3}, {4, 5, 6}}));
    EXPECT_EQ(r, 2);
    EXPECT_EQ(c, 3);
    EXPECT_EQ(rows_of(standin::make_array(mxINT32_CLASS, {2, 1}, {-5, 9}), &r, &c),
              (std::vector<std::vector<double>>{{-5}, {9}}));
}

TEST(MatrixConversion, EmptyMatricesAreValidAndBadShapesWarn)
{
    int r = -1;
    int c = -1;
    EXPECT_TRUE(rows_of(standin::make_array(mxDOUBLE_CLASS, {0, 4}), &r, &c).empty());
    EXPECT_EQ(r, 0);
    EXPECT_EQ(c, 4);
    EXPECT_EQ(rows_of(standin::make_array(mxDOUBLE_CLASS, {3, 0}), &r, &c).size(), 3u);

    standin::Outcome outcome;
    rows_of(standin::make_array(mxDOUBLE_CLASS, {2, 2, 2}), &r, &c, &outcome);
    EXPECT_EQ(r, 0);
    EXPECT_EQ(c, 0);
    EXPECT_EQ(outcome.warnings,
              std::vector<std::string>{"mxArray2D_to_cArray2D: mxArray argument passed was not appropriate!"});
}

TEST(MatrixConversion, AFailedAllocationAnywhereGivesNothing)
{
    const auto host = standin::matrix(3, 2, {1, 2, 3, 4, 5, 6});
    for (long k = 1; k <= 4; ++k) {
        int r = 0;
        int c = 0;
        standin::fail_host_allocation_at(k);
        standin::Outcome outcome;
        EXPECT_EQ(rows_of(host, &r, &c, &outcome), (std::vector<std::vector<double>>{{-999.0}})) << k;
        EXPECT_TRUE(outcome.warnings.empty());
    }
}

TEST(OutputBuilders, RowsGoBackToColumnMajorStorageAndAreFreed)
{
    standin::ArrayPtr kept;
    auto outcome = standin::within_call([&] {
        auto** table = static_cast<double**>(tarn::host_calloc(2, sizeof(double*)));
        for (int i = 0; i < 2; ++i) {
            table[i] = static_cast<double*>(tarn::host_calloc(3, sizeof(double)));
            for (int j = 0; j < 3; ++j)
                table[i][j] = 1 + 3 * i + j;
        }
        mxArray* out = tarn::cArray2D_to_mxArray2D(2, 3, table);
        EXPECT_EQ(standin::values_of(out), (std::vector<double>{1, 4, 2, 5, 3, 6}));
        EXPECT_EQ(standin::dims_of(out), (std::vector<std::size_t>{2, 3}));

        auto* v = static_cast<double*>(tarn::host_calloc(3, sizeof(double)));
        v[0] = 7;
        v[1] = 8;
        v[2] = 9;
        mxArray* col = tarn::cArray1D_to_mxArray1D(3, v);
        EXPECT_EQ(standin::dims_of(col), (std::vector<std::size_t>{3, 1}));
        EXPECT_EQ(standin::values_of(col), (std::vector<double>{7, 8, 9}));
    });
    EXPECT_EQ(outcome.reclaimed_blocks, 0u);  // everything handed over was freed
}

TEST(OutputBuilders, AFailedCreationFreesNothing)
{
    standin::fail_host_allocation_at(4);  // the builder's array
    auto outcome = standin::within_call([&] {
        auto* v = static_cast<double*>(tarn::host_calloc(2, sizeof(double)));
        auto** table = static_cast<double**>(tarn::host_calloc(1, sizeof(double*)));
        table[0] = static_cast<double*>(tarn::host_calloc(2, sizeof(double)));
        EXPECT_EQ(tarn::cArray2D_to_mxArray2D(1, 2, table), nullptr);
        EXPECT_NE(tarn::cArray1D_to_mxArray1D(2, v), nullptr);
    });
    EXPECT_EQ(outcome.reclaimed_blocks, 2u);  // the table and its row stayed with the host
}

TEST(Predicates, ShapesAndClasses)
{
    const auto three_d = standin::make_array(mxDOUBLE_CLASS, {1, 1, 1});
    EXPECT_FALSE(tarn::matrix_test(three_d.get()));
    EXPECT_EQ(refusal({tarn::rule::scalar(0, "%s: scalar", "%s: matrix")}, {three_d}), "T: matrix");
    EXPECT_EQ(refusal({tarn::rule::scalar(0, "%s: scalar")}, {three_d}), "T: scalar");
    EXPECT_EQ(refusal({tarn::rule::scalar(0, "%s: scalar")}, {standin::scalar(2)}), "");
    EXPECT_EQ(refusal({tarn::rule::scalar(0, "%s: scalar")}, {standin::row({1, 2})}), "T: scalar");
    EXPECT_EQ(refusal({tarn::rule::scalar(0, "%s: scalar")}, {standin::make_array(mxDOUBLE_CLASS, {1, 0})}),
              "T: scalar");

    EXPECT_TRUE(tarn::class_test(standin::make_array(mxUINT16_CLASS, {1, 1}).get()));
    EXPECT_TRUE(tarn::class_test(standin::make_array(mxLOGICAL_CLASS, {1, 1}).get()));
    EXPECT_FALSE(tarn::class_test(standin::make_array(mxCHAR_CLASS, {1, 1}).get()));
    EXPECT_FALSE(tarn::class_test(standin::make_array(mxCELL_CLASS, {1, 1}).get()));
    EXPECT_FALSE(tarn::class_test(standin::make_array(mxSTRUCT_CLASS, {1, 1}).get()));
    EXPECT_FALSE(tarn::class_test(standin::make_array(mxDOUBLE_CLASS, {1, 1}, {}, true).get()));
    EXPECT_FALSE(tarn::class_test(standin::make_array(mxDOUBLE_CLASS, {2, 2}, {}, false, true).get()));
    EXPECT_EQ(tarn::scalar_value(standin::make_array(mxINT16_CLASS, {1, 1}, {-12}).get()), -12.0);
}

TEST(MessageFormatter, NeverWritesPastTheBuffer)
{
    std::vector<char> buffer(tarn::message_buffer_size + 16, '#');
    const std::string long_name(3000, 'x');
    const int n = tarn::format_message(buffer.data(), "%s: %d", long_name.c_str(), 5);
    EXPECT_EQ(n, static_cast<int>(tarn::message_buffer_size) - 1);
    EXPECT_EQ(buffer[tarn::message_buffer_size - 1], '\0');
    EXPECT_EQ(buffer[tarn::message_buffer_size], '#');
    tarn::format_message(buffer.data(), "%s: %d input arguments required.", "TARN_LEARN", 8);
    EXPECT_STREQ(buffer.data(), "TARN_LEARN: 8 input arguments required.");
}

// The rules run in order and stop at the first that fails; each message
// gets the numbers of its test.
TEST(ArgumentRules, TheFirstFailingRuleFormatsItsMessage)
{
    using namespace tarn;
    const std::vector<ArgumentRule> rules = {
        rule::input_count(2, "%s: %d inputs, not %d"),
        rule::matrix(0, "%s: matrix"),
        rule::length_of(1, 0, "%s: %dx1 or 1x%d, not %dx%d"),
        rule::outputs_at_most(0, "%s: at most %d outputs, not %d"),
        rule::in_range(1, 0.0, 1.0, "%s: in range, not %g"),
    };
    const auto three_by_two = standin::matrix(3, 2, {0, 0, 0, 0, 0, 0});
    EXPECT_EQ(refusal(rules, {three_by_two}), "T: 2 inputs, not 1");
    EXPECT_EQ(refusal(rules, {standin::make_array(mxDOUBLE_CLASS, {1, 1, 2}), standin::scalar(0)}), "T: matrix");
    EXPECT_EQ(refusal(rules, {three_by_two, standin::row({1, 2})}), "T: 3x1 or 1x3, not 1x2");
    EXPECT_EQ(refusal(rules, {three_by_two, standin::row({1, 2, 3})}), "T: at most 0 outputs, not 1");

    const std::vector<ArgumentRule> values = {
        rule::in_range(0, 0.0, 1.0, "%s: in range, not %g"),
        rule::above(1, 0.0, "%s: above, not %g"),
        rule::integer_in_range(2, 0, 4, "%s: 0 to 4, not %g"),
        rule::priors(4, "%s: prior in row %d", "%s: no prior in row %d"),
        rule::features_of(3, 4, "%s: %dx%d"),
    };
    const auto templates = standin::matrix(2, 5, {0, 0, 1, 1, 0.5, 0, 0, 1, 1, 0.5});
    std::vector<ArrayPtr> inputs = {standin::scalar(1.5), standin::scalar(1), standin::scalar(4.9),
                                    standin::matrix(4, 2, {}), templates};
    EXPECT_EQ(refusal(values, inputs), "T: in range, not 1.5");
    inputs[0] = standin::scalar(1);
    inputs[1] = standin::scalar(std::numeric_limits<double>::quiet_NaN());
    EXPECT_EQ(refusal(values, inputs), "T: above, not nan");
    inputs[1] = standin::scalar(0.5);
    EXPECT_EQ(refusal(values, inputs), "");
    inputs[2] = standin::scalar(5);
    EXPECT_EQ(refusal(values, inputs), "T: 0 to 4, not 5");
    inputs[2] = standin::scalar(-0.5);
    inputs[3] = standin::matrix(4, 3, {});
    EXPECT_EQ(refusal(values, inputs), "T: 4x2");
    inputs[3] = standin::matrix(4, 2, {});
    inputs[4] = standin::matrix(2, 5, {0, 0, 1, 1, 0.5, 0, 0, 1, 1, -0.5});
    EXPECT_EQ(refusal(values, inputs), "T: prior in row 2");
    inputs[4] = standin::make_array(mxDOUBLE_CLASS, {2, 0});
    EXPECT_EQ(refusal(values, inputs), "T: no prior in row 1");

    const std::vector<ArgumentRule> custom = {rule::custom(
        0,
        [](const Arguments& args, int position, int numbers[4]) {
            numbers[0] = args.rows(position);
            numbers[1] = 7;
            return false;
        },
        "%s: custom %d %d")};
    EXPECT_EQ(refusal(custom, {three_by_two}), "T: custom 3 7");
}
