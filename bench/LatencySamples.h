// Latencies collected over the rounds of a benchmark, and their percentiles (nearest rank).
#pragma once

#include <chrono>
#include <vector>

class LatencySamples {
  public:
    using Duration = std::chrono::nanoseconds;

    void Add(Duration sample) { m_samples.push_back(sample); }
    size_t Count() const { return m_samples.size(); }
    // The smallest sample that at least the fraction (0 < fraction <= 1) of all samples does not
    // exceed; zero without samples.
    Duration Percentile(double fraction) const;
    Duration Max() const { return Percentile(1.0); }

  private:
    std::vector<Duration> m_samples;
};

// Milliseconds and microseconds as the counters show them.
double Milliseconds(LatencySamples::Duration duration);
double Microseconds(LatencySamples::Duration duration);
