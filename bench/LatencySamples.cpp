#include "LatencySamples.h"

#include <algorithm>
#include <cmath>

LatencySamples::Duration LatencySamples::Percentile(double fraction) const {
    if (m_samples.empty()) {
        return Duration::zero();
    }
    std::vector<Duration> sorted = m_samples;
    std::sort(sorted.begin(), sorted.end());
    const double rank = std::ceil(fraction * static_cast<double>(sorted.size()));
    const size_t index = rank < 1.0 ? 0 : static_cast<size_t>(rank) - 1;
    return sorted[std::min(index, sorted.size() - 1)];
}

double Milliseconds(LatencySamples::Duration duration) {
    return std::chrono::duration<double, std::milli>(duration).count();
}

double Microseconds(LatencySamples::Duration duration) {
    return std::chrono::duration<double, std::micro>(duration).count();
}
