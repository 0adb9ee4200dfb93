#include "planning/joint_path.h"

#include <cmath>

std::vector<double> interpolateWaypoints(const std::vector<double>& from, const std::vector<double>& to, double t) {
  std::vector<double> result(from.size());
  for (std::size_t k = 0; k < from.size(); ++k) {
    result[k] = from[k] + (to[k] - from[k]) * t;
  }
  return result;
}

double waypointDistance(const std::vector<double>& a, const std::vector<double>& b) {
  double sum = 0.0;
  for (std::size_t j = 0; j < a.size(); ++j) {
    const double diff = b[j] - a[j];
    sum += diff * diff;
  }
  return std::sqrt(sum);
}
