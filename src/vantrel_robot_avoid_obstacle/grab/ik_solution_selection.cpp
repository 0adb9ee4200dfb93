#include <cmath>
#include <cstdio>
#include <iostream>
#include <limits>
#include <string>

#include "grab/grab_manager.h"

namespace
{
constexpr double kThreeHalfTurns = 4.71238898038469;
constexpr double kFullTurn = 6.283185307179586;

// The joint turned by a full turn towards the reference when it lies more than three half turns away and the
// turned value stays within the joint's limits.
double turnTowards(double joint, double reference, const std::pair<double, double>* limits)
{
  if (!(std::fabs(reference - joint) > kThreeHalfTurns) || !limits)
  {
    return joint;
  }
  const double turned = reference > joint ? joint + kFullTurn : joint - kFullTurn;
  return turned >= limits->first && turned <= limits->second ? turned : joint;
}
}  // namespace

int selectNearestIkSolution(const std::vector<std::vector<double>>& candidates, std::vector<double>& out,
                            std::vector<double> reference,
                            const std::vector<std::pair<double, double>>& joint_limits)
{
  if (candidates.empty())
  {
    std::puts("valid_results size == 0");
    return -1;
  }
  if (candidates.front().size() < 4)
  {
    std::puts("dof < 4 error");
    return -2;
  }
  if (candidates.size() == 1)
  {
    out = candidates.front();
    return 0;
  }

  const std::vector<double>* nearest = nullptr;
  double best = std::numeric_limits<double>::max();
  for (const std::vector<double>& q : candidates)
  {
    std::cout << std::string(67, '+') << std::endl;
    double sum = 0.0;
    for (std::size_t j = 0; j < reference.size() && j < q.size(); ++j)
    {
      std::cout << "legal_joints[i][j]:" << q[j] << ",ref[j]" << reference[j] << std::endl;
      sum += std::fabs(q[j] - reference[j]);
    }
    std::cout << "tmp:" << sum << std::endl;
    if (sum < best)
    {
      best = sum;
      nearest = &q;
    }
  }
  if (!nearest)
  {
    // Every distance was NaN: the first candidate stands.
    nearest = &candidates.front();
  }
  out = *nearest;
  for (std::size_t j = 0; j < out.size() && j < reference.size(); ++j)
  {
    out[j] = turnTowards(out[j], reference[j], j < joint_limits.size() ? &joint_limits[j] : nullptr);
  }
  return 0;
}
