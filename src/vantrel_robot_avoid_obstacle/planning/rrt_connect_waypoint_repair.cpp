// Moving inner waypoints that fail the margin tests to random nearby joint vectors that pass.
#include <algorithm>
#include <cstdio>
#include <iostream>

#include "planning/rrt_connect.h"

namespace {

constexpr double kPerturbation = 0.2;
constexpr int kMaxTries = 20;

}  // namespace

void RRTConnectPlanner::awayFromObstacle(JointPath& path) {
  if (path.size() <= 2) {
    std::cout << "\033[33mNo need to away from obstacle~ \033[0m" << std::endl;
    return;
  }
  const std::int64_t repair_start = seams_.clock();
  if (path.size() == 3) {
    path = JointPath{path[0], interpolateWaypoints(path[0], path[1], 0.5), path[1],
                     interpolateWaypoints(path[1], path[2], 0.5), path[2]};
  }
  const std::size_t size = path.size();
  std::vector<int> valid(size);
  std::vector<int> motion(size - 1);
  for (std::size_t k = 0; k < size; ++k) {
    valid[k] = plan_scene_->isStateValidWithMargin(path[k].data());
    printf("is_valid_flag : %d\n", valid[k]);
  }
  std::cout << "verify check motion vector ";
  for (std::size_t k = 0; k + 1 < size; ++k) {
    motion[k] = plan_scene_->checkMotionWithMargin(path[k].data(), path[k + 1].data());
    std::cout << motion[k] << " ";
  }
  std::cout << std::endl;

  std::mt19937 engine(seams_.seed_source());
  std::vector<double> candidate;
  for (std::size_t k = 1; k + 1 < size; ++k) {
    const bool needs_repair = k == 1 ? valid[k] == 0 : valid[k] == 0 || motion[k - 1] == 0;
    if (!needs_repair) {
      continue;
    }
    int tries = 0;
    bool accepted = false;
    while (!accepted && tries < kMaxTries) {
      ++tries;
      candidate = path[k];
      for (int j = 0; j < n_dof_; ++j) {
        // Drawn around the unchanged waypoint, within the joint's bounds.
        const double lower = std::max(path[k][j] - kPerturbation, joint_bounds_[j].first);
        const double upper = std::min(path[k][j] + kPerturbation, joint_bounds_[j].second);
        candidate[j] = lower <= upper ? uniformReal(engine, lower, upper)
                                      : std::clamp(path[k][j], joint_bounds_[j].first, joint_bounds_[j].second);
      }
      valid[k] = plan_scene_->isStateValidWithMargin(candidate.data());
      bool from_previous = false;
      if (k == 1) {
        from_previous = plan_scene_->checkMotion(path[0].data(), candidate.data());
      } else {
        motion[k - 1] = plan_scene_->checkMotionWithMargin(path[k - 1].data(), candidate.data());
        from_previous = motion[k - 1] != 0;
      }
      const bool to_next = plan_scene_->checkMotion(candidate.data(), path[k + 1].data());
      accepted = valid[k] != 0 && from_previous && to_next;
    }
    if (accepted) {
      path[k] = candidate;
      std::cout << "Try \033[33m" << tries << "\033[0m times successfully for the new waypoint :-), No." << k
                << std::endl;
    } else {
      std::cout << "Try \033[33m20\033[0m times but failed for the new waypoint :-(, No." << k << std::endl;
    }
  }
  std::cout << "size~~~~~~~~~~~: " << size << std::endl;

  for (std::size_t k = 0; k < size; ++k) {
    printf("is_valid_flag after modify : %d\n", plan_scene_->isStateValidWithMargin(path[k].data()));
  }
  for (std::size_t k = 0; k + 1 < size; ++k) {
    printf("check_motion_flag after modify:%d\n",
           plan_scene_->checkMotionWithMargin(path[k].data(), path[k + 1].data()));
  }
  std::cout << "\033[33mAway from obstacle cost:" << seams_.clock() - repair_start << "us\033[0m" << std::endl;
}
