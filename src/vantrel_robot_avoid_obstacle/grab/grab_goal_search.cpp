#include "grab/grab_goal_search.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>

#include "grab/grab_geometry.h"
#include "grab/grab_manager.h"

namespace {
constexpr int kRotationSteps = 9;
constexpr double kTieTolerance = 0.01;

// Tool z straight down, tool x horizontal and pointing away from the base axis, at the target's position.
// None exists on the base axis itself.
bool straightDownPose(const Eigen::Matrix4d& target, Eigen::Matrix4d& pose) {
  const Eigen::Vector3d position = target.topRightCorner<3, 1>();
  const double radius = std::hypot(position.x(), position.y());
  if (!(radius > 0.0)) {
    return false;
  }
  const Eigen::Vector3d x_axis(position.x() / radius, position.y() / radius, 0.0);
  const Eigen::Vector3d z_axis(0.0, 0.0, -1.0);
  Eigen::Vector3d y_axis;
  unitNormal(z_axis, x_axis, y_axis);
  pose = Eigen::Matrix4d::Identity();
  pose.block<3, 1>(0, 0) = x_axis;
  pose.block<3, 1>(0, 1) = y_axis;
  pose.block<3, 1>(0, 2) = z_axis;
  pose.topRightCorner<3, 1>() = position;
  return true;
}

// The rotation indices in the order they are tried: 1..9, then -1..-9.
int rotationIndex(int attempt) { return attempt < kRotationSteps ? attempt + 1 : kRotationSteps - 1 - attempt; }

// Keeps the indices of `candidates` whose value is within the tie tolerance of the least one, `least`.
template <typename Value>
std::vector<size_t> leastWithinTolerance(const std::vector<size_t>& candidates, Value value, double& least) {
  least = value(candidates.front());
  for (size_t index : candidates) {
    least = std::min(least, value(index));
  }
  std::vector<size_t> kept;
  for (size_t index : candidates) {
    if (std::fabs(value(index) - least) < kTieTolerance) {
      kept.push_back(index);
    }
  }
  return kept;
}
}  // namespace

bool isElongatedBox(const std::array<double, 3>& obb_size) {
  std::array<double, 3> sorted = obb_size;
  std::sort(sorted.begin(), sorted.end());
  for (size_t k = 0; k < sorted.size(); ++k) {
    std::cout << "vec[" << k << "]" << sorted[k] << std::endl;
  }
  return sorted[0] / sorted[2] < 0.6 && sorted[1] / sorted[2] < 0.95 && sorted[2] > 0.1 && sorted[0] > 0.03;
}

int generateMoveGoals(GrabManager& grab_manager, const Eigen::Matrix4d& target, const Eigen::Matrix4d& tool_matrix,
                      bool elongated, std::vector<std::vector<double>>& valid_results, Eigen::Matrix4d& grab_pose) {
  valid_results.clear();
  grab_pose = target;
  if (grab_manager.CheckOutOfRange(target, tool_matrix, valid_results) == 0) {
    std::cout << "\033[42m Solve q_results success first time\033[0m" << std::endl;
    return 0;
  }
  const bool vertical = getGrabPrincipalAxisType(target) == static_cast<int>(GrabPrincipalAxisType::VERTICAL);
  Eigen::Matrix4d start = target;
  bool has_start = true;
  if (!vertical) {
    if (elongated) {
      printf(">>>>>>>>keep Principal Axis Info<<<<<<<<");
    } else {
      puts(">>>>>>>>drop Principal Axis Info<<<<<<<<");
      has_start = straightDownPose(target, start);
    }
  }
  printf("max rotate N=%d times\n", kRotationSteps);
  for (int attempt = 0; has_start && attempt < 2 * kRotationSteps; ++attempt) {
    const int index = rotationIndex(attempt);
    const double angle = index * kGrabTurnStep;
    const Eigen::Matrix4d candidate = rotatePoseAboutRadialNormal(start, angle);
    if (!vertical) {
      std::cout << "tool_end_matrix_tmp:" << std::endl << start << std::endl;
      std::cout << "rot_theta:" << angle << std::endl;
      std::cout << "new_tool_end_matrix:" << std::endl << candidate << std::endl;
    }
    if (grab_manager.CheckOutOfRange(candidate, tool_matrix, valid_results) == 0) {
      const char* sign = !vertical ? "" : index > 0 ? " +++" : " ---";
      std::cout << "\033[42m Solve theta success through rotate" << sign << "\033[0m" << std::endl
                << candidate << std::endl;
      grab_pose = candidate;
      return 0;
    }
  }
  puts("generateMoveGoals failed");
  return -1;
}

int selectSuitableOne(const std::vector<std::vector<double>>& valid_results, std::vector<double>& grab_goal) {
  const size_t dof = valid_results.empty() ? 0 : valid_results.front().size();
  const bool same_length = std::all_of(valid_results.begin(), valid_results.end(),
                                       [dof](const std::vector<double>& solution) { return solution.size() == dof; });
  if (dof < 4 || !same_length) {
    puts("dof < 4 error");
    puts("selectSuitableOne failed");
    return -2;
  }
  const auto joint = [&valid_results](size_t index, size_t k) { return std::fabs(valid_results[index][k]); };
  std::vector<size_t> all(valid_results.size());
  for (size_t index = 0; index < all.size(); ++index) {
    all[index] = index;
  }
  size_t chosen = 0;
  if (all.size() > 1) {
    double least = 0.0;
    const std::vector<size_t> arm = leastWithinTolerance(
        all, [&joint](size_t index) { return joint(index, 1) + joint(index, 2); }, least);
    chosen = arm.front();
    if (arm.size() > 1) {
      const std::vector<size_t> turn = leastWithinTolerance(
          arm, [&joint](size_t index) { return joint(index, 0); }, least);
      printf("min_j1_abs=%lf\n", least);
      for (size_t index : turn) {
        printf("min j1 idx=%d\n", static_cast<int>(index));
      }
      chosen = turn.front();
      if (turn.size() > 1 && dof == 6) {
        // The least wrist turn; the earlier on equal values.
        for (size_t index : turn) {
          if (joint(index, 3) < joint(chosen, 3)) {
            chosen = index;
          }
        }
      }
    }
  }
  grab_goal = valid_results[chosen];
  puts("======================grab goal======================");
  std::cout << "\033[42m Solve grab goal success \033[0m" << std::endl;
  for (double value : grab_goal) {
    printf("%lf,", value);
  }
  printf("\n");
  return 0;
}
