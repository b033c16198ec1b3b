// The classification loop interrupted at each point where it asks the host.
#include <gtest/gtest.h>

#include <vector>

#include "loop_interrupts.h"
#include "score/classify_patterns.h"

// 2048 nodes with distinct labels: building rule 1's label table and its
// classes costs millions of comparisons, so both ask the host on their own
// besides the poll before every pattern.
TEST(LoopInterrupts, ClassificationEndsCleanlyAtEveryPoll)
{
    const int J = 2048;
    const int K = 3;
    std::vector<std::vector<double>> rows;
    std::vector<double> labels;
    for (int j = 0; j < J; ++j) {
        rows.push_back({0.001 * j, 1.0, 1.0 / J});
        labels.push_back(j);
    }
    std::vector<double> patterns = {0.1, 0.9, 2.0};
    std::vector<double*> templates;
    for (auto& row : rows)
        templates.push_back(row.data());
    std::vector<double*> tests;
    for (double& x : patterns)
        tests.push_back(&x);
    for (int rule : {0, 1}) {
        SCOPED_TRACE(rule);
        const long polls = interrupt_at_every_poll([&] {
            double* result = nullptr;
            const tarn::RunStatus status = tarn::classify_patterns(J, 1, templates.data(), labels.data(), 0.0, K,
                                                                   tests.data(), -1, rule, &result, 2);
            EXPECT_EQ(result == nullptr, status != tarn::RunStatus::done);
            tarn::host_free(result);
            return status;
        });
        EXPECT_GT(polls, rule == 0 ? K - 1 : K + 2);
    }
}
