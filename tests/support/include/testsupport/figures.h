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

// The figures that were taken, in order; -1 stands for one that was not (a run that failed).
inline std::vector<double> Taken(std::vector<double> figures) {
    figures.erase(std::remove(figures.begin(), figures.end(), -1.0), figures.end());
    std::sort(figures.begin(), figures.end());
    return figures;
}

// The median of the figures that were taken; -1 when none was.
inline double Median(const std::vector<double>& all) {
    const std::vector<double> figures = Taken(all);
    if (figures.empty()) return -1;
    const std::size_t n = figures.size();
    return n % 2 ? figures[n / 2] : (figures[n / 2 - 1] + figures[n / 2]) / 2;
}

// The figure that `percent` of the runs taken did not exceed (nearest rank); -1 when none was
// taken.
inline double Percentile(const std::vector<double>& all, int percent) {
    const std::vector<double> figures = Taken(all);
    if (figures.empty()) return -1;
    const std::size_t rank = (figures.size() * static_cast<std::size_t>(percent) + 99) / 100;
    return figures[rank > 0 ? rank - 1 : 0];
}

}  // namespace testsupport
