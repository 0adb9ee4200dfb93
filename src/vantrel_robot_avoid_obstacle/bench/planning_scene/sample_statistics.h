#pragma once

#include <algorithm>
#include <string>
#include <vector>

#include <benchmark/benchmark.h>

// Median, 90th percentile and maximum of a sample set, reported as benchmark counters named
// <prefix>_median, <prefix>_p90 and <prefix>_max.
inline void reportDistribution(benchmark::State& bench, const std::string& prefix, std::vector<double> samples) {
  if (samples.empty()) return;
  std::sort(samples.begin(), samples.end());
  const auto at = [&samples](double fraction) {
    return samples[static_cast<std::size_t>(fraction * static_cast<double>(samples.size() - 1) + 0.5)];
  };
  bench.counters[prefix + "_median"] = at(0.5);
  bench.counters[prefix + "_p90"] = at(0.9);
  bench.counters[prefix + "_max"] = samples.back();
}
