// A test suite run once on every matching path of the table: the results
// of the commands must not depend on the path.
#pragma once

#include <gtest/gtest.h>

#include <memory>

#include "kernel_path.h"

class OnEveryKernelPath : public ::testing::TestWithParam<tarn::KernelPath> {
protected:
    void SetUp() override
    {
        if (!GetParam().cpu_supports())
            GTEST_SKIP() << "this CPU has no " << GetParam().name << " path";
        path = std::make_unique<ScopedKernelPath>(GetParam());
    }

private:
    std::unique_ptr<ScopedKernelPath> path;
};

#define TARN_ON_EVERY_KERNEL_PATH(suite)                                              \
    INSTANTIATE_TEST_SUITE_P(Paths, suite, ::testing::ValuesIn(tarn::kernel_paths()), \
                             [](const ::testing::TestParamInfo<tarn::KernelPath>& info) { return info.param.name; })
