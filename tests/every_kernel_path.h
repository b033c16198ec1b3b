// A test suite run once on every matching path this CPU supports: the
// results of the commands must not depend on the path.
#pragma once

#include <gtest/gtest.h>

#include <string>

#include "model/match_kernel.h"

class OnEveryKernelPath : public ::testing::TestWithParam<tarn::KernelPath> {
protected:
    void SetUp() override
    {
        saved = tarn::kernel_path();
        if (!tarn::set_kernel_path(GetParam()))
            GTEST_SKIP() << "this CPU has no " << tarn::kernel_path_name(GetParam()) << " path";
    }
    void TearDown() override { tarn::set_kernel_path(saved); }

private:
    tarn::KernelPath saved = tarn::KernelPath::reference;
};

inline std::string kernel_path_test_name(const ::testing::TestParamInfo<tarn::KernelPath>& info)
{
    return tarn::kernel_path_name(info.param);
}

#define TARN_ON_EVERY_KERNEL_PATH(suite)                                                              \
    INSTANTIATE_TEST_SUITE_P(Paths, suite,                                                            \
                             ::testing::Values(tarn::KernelPath::reference, tarn::KernelPath::blocks, \
                                               tarn::KernelPath::avx2, tarn::KernelPath::avx512),     \
                             kernel_path_test_name)
