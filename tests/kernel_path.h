// Choosing the matching path in tests: a scope that runs on one path and
// restores the previous one after, and the paths this CPU can run.
#pragma once

#include <vector>

#include "model/kernel_paths.h"

class ScopedKernelPath {
public:
    explicit ScopedKernelPath(const tarn::KernelPath& path) : saved(tarn::kernel_path().name)
    {
        tarn::set_kernel_path(path.name);
    }
    ~ScopedKernelPath() { tarn::set_kernel_path(saved); }
    ScopedKernelPath(const ScopedKernelPath&) = delete;
    ScopedKernelPath& operator=(const ScopedKernelPath&) = delete;

private:
    const char* saved;
};

// The cache size that tiles of patterns are fitted to, for one scope: a
// small one makes every model a tiled one.
class ScopedTileCache {
public:
    explicit ScopedTileCache(std::size_t bytes) { tarn::set_tile_cache(bytes); }
    ~ScopedTileCache() { tarn::set_tile_cache(~std::size_t{0}); }
    ScopedTileCache(const ScopedTileCache&) = delete;
    ScopedTileCache& operator=(const ScopedTileCache&) = delete;
};

// The node-by-node path every other is compared with.
inline const tarn::KernelPath& reference_path()
{
    return tarn::kernel_paths().front();
}

// The block paths this CPU can run.
inline std::vector<tarn::KernelPath> fast_paths()
{
    std::vector<tarn::KernelPath> paths;
    for (const tarn::KernelPath& path : tarn::kernel_paths())
        if (path.matcher != nullptr && path.cpu_supports())
            paths.push_back(path);
    return paths;
}
