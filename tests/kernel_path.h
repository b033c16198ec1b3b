// Runs a scope on one matching path, restoring the previous one after.
#pragma once

#include "model/match_kernel.h"

class ScopedKernelPath {
public:
    explicit ScopedKernelPath(tarn::KernelPath path) : saved(tarn::kernel_path()) { tarn::set_kernel_path(path); }
    ~ScopedKernelPath() { tarn::set_kernel_path(saved); }
    ScopedKernelPath(const ScopedKernelPath&) = delete;
    ScopedKernelPath& operator=(const ScopedKernelPath&) = delete;

private:
    tarn::KernelPath saved;
};
