#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

namespace velkor::bench {

// Wall-clock seconds that `work` takes.
template <typename Work>
double SecondsOf(Work&& work) {
    const auto start = std::chrono::steady_clock::now();
    work();
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
}

// A shared machine is noisy; the median of a few runs is what it usually does.
inline double Median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

}  // namespace velkor::bench
