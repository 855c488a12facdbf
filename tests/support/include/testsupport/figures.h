// Figures of the benchmarks.
#pragma once

#include <algorithm>
#include <chrono>
#include <vector>

namespace testsupport {

template <typename Duration>
double Milliseconds(Duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

// The median of the figures that were taken; -1 stands for one that was not (a run that
// failed), and is -1 also when none was taken.
inline double Median(std::vector<double> figures) {
    figures.erase(std::remove(figures.begin(), figures.end(), -1.0), figures.end());
    if (figures.empty()) return -1;
    std::sort(figures.begin(), figures.end());
    const std::size_t n = figures.size();
    return n % 2 ? figures[n / 2] : (figures[n / 2 - 1] + figures[n / 2]) / 2;
}

}  // namespace testsupport
