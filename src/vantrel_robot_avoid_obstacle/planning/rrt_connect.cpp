#include "planning/rrt_connect.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <limits>

namespace {

constexpr double kStepFraction = 0.04;
constexpr int kMaxSamples = 10000;
constexpr double kTimeLimitSeconds = 15.0;
constexpr std::int64_t kTimeLimitUs = 15000000;
constexpr int kGoalBiasRange = 2147483647;
constexpr double kSameStateTolerance = std::numeric_limits<double>::epsilon();

const char kStartOutOfRange[] = "\033[41m ERROR: Start Point is out of the range\033[0m";
const char kGoalOutOfRange[] = "\033[41m ERROR: Goal Point is out of the range\033[0m";

void printStateLine(const char* label, const std::vector<double>& state) {
  std::cout << label << std::endl;
  for (double value : state) {
    printf("%lf,", value);
  }
  printf("\n");
}

void printWaypointsCommaSeparated(const JointPath& path) {
  for (const std::vector<double>& waypoint : path) {
    for (double value : waypoint) {
      std::cout << value << ",";
    }
    std::cout << std::endl;
  }
}

}  // namespace

RRTConnectPlanner::RRTConnectPlanner(PlanSceneInterface* plan_scene, PlannerSeams seams)
    : random_engine_(5489u), plan_scene_(plan_scene), seams_(std::move(seams)) {
  // A failed limits query leaves no joints: every start is then rejected as out of range.
  n_dof_ = std::max(0, plan_scene_->getJointLimits(joint_bounds_));
  model_extent_ = plan_scene_->getMaximumExtent();
  step_size_ = model_extent_ * kStepFraction;
}

void RRTConnectPlanner::setStartAndGoal(const std::vector<double>& start, const std::vector<double>& goal) {
  printStateLine("===========================>s:", start);
  printStateLine("===========================>g:", goal);
  start_node_.state = start;
  start_node_.parent = nullptr;
  goal_node_.state = goal;
  goal_node_.parent = nullptr;
}

bool RRTConnectPlanner::isMalformed(const std::vector<double>& state) const {
  if (state.size() != static_cast<std::size_t>(n_dof_)) {
    return true;
  }
  return std::any_of(state.begin(), state.end(), [](double value) { return !std::isfinite(value); });
}

bool RRTConnectPlanner::isInRangeButInvalid(const std::vector<double>& state) {
  // A state out of range is refused for its range later on; the scene calls it invalid as well.
  return firstJointOutOfRange(state) < 0 && !plan_scene_->isStateValid(state.data());
}

int RRTConnectPlanner::firstJointOutOfRange(const std::vector<double>& state) const {
  for (int i = 0; i < n_dof_; ++i) {
    const double value = state[i];
    if (!std::isfinite(value) || value < joint_bounds_[i].first || value > joint_bounds_[i].second) {
      return i;
    }
  }
  return -1;
}

void RRTConnectPlanner::reportOutOfRange(const std::vector<double>& state, const char* error) const {
  if (state.size() != static_cast<std::size_t>(n_dof_)) {
    std::cout << "range size is wrong: " << state.size() << ", expected: " << n_dof_ << std::endl;
  } else {
    const int i = firstJointOutOfRange(state);
    std::cout << "range i is wrong: " << i << std::endl;
    std::cout << "range: " << joint_bounds_[i].first << ", " << joint_bounds_[i].second << std::endl;
  }
  std::cout << error << std::endl;
}

int RRTConnectPlanner::plan(JointPath& path) {
  statistics_ = PlannerStatistics();
  const std::vector<double>& start = start_node_.state;
  const std::vector<double>& goal = goal_node_.state;

  // A state of the wrong length or with non-finite values cannot be handed to the scene at all.
  if (isMalformed(start)) {
    reportOutOfRange(start, kStartOutOfRange);
    return -3;
  }
  if (isInRangeButInvalid(start)) {
    std::cout << "\033[41m ERROR: Start Point is in the obstacle\033[0m" << std::endl;
    return -1;
  }
  if (isMalformed(goal)) {
    reportOutOfRange(goal, kGoalOutOfRange);
    return -4;
  }
  if (isInRangeButInvalid(goal)) {
    std::cout << "\033[41m ERROR: Goal Point is in the obstacle\033[0m" << std::endl;
    return -2;
  }
  if (firstJointOutOfRange(start) >= 0) {
    reportOutOfRange(start, kStartOutOfRange);
    return -3;
  }
  if (firstJointOutOfRange(goal) >= 0) {
    reportOutOfRange(goal, kGoalOutOfRange);
    return -4;
  }
  std::cout << "\033[42m Ready to begin RRTConnect planning\033[0m" << std::endl;

  tree_a_.clear();
  tree_b_.clear();
  nodes_in_use_ = 0;
  tree_a_.push_back(&start_node_);
  tree_b_.push_back(&goal_node_);

  const std::int64_t plan_start = seams_.clock();
  const bool direct = plan_scene_->checkMotion(start.data(), goal.data());
  statistics_.direct_check_us = seams_.clock() - plan_start;
  if (direct) {
    path = JointPath{start, goal};
    std::cout << "\033[33mGenerate Path easily ~~~ cost: " << statistics_.direct_check_us << "us\033[0m"
              << std::endl;
    return 0;
  }

  const std::int64_t search_start = seams_.clock();
  const int rc = search(search_start);
  if (rc != 0) {
    return rc;
  }
  JointPath result = buildPath();
  const std::int64_t search_end = seams_.clock();
  statistics_.search_us = search_end - search_start;
  std::cout << "\033[33mGenerate Path cost:" << search_end - plan_start << "us\033[0m" << std::endl;

  for (std::size_t k = 0; k + 1 < result.size(); ++k) {
    printf("~~~ check_motion_before_flag:%d\n", plan_scene_->checkMotion(result[k].data(), result[k + 1].data()));
  }
  for (std::size_t k = 0; k < result.size(); ++k) {
    std::cout << "Path " << k << ":  ";
    for (double value : result[k]) {
      std::cout << value << " ";
    }
    std::cout << std::endl;
  }
  std::cout << "finish path_list built,  size:  " << result.size() << std::endl;

  postProcess(result);
  path.swap(result);
  return 0;
}

int RRTConnectPlanner::search(std::int64_t search_start) {
  int& samples = statistics_.samples;
  int& checks = statistics_.checks;
  while (true) {
    if (seams_.clock() - search_start > kTimeLimitUs) {
      std::cout << "\033[31m ERROR: Time out for " << kTimeLimitSeconds << "s ! \033[0m" << std::endl;
      return -6;
    }
    sampleRandomState(sample_node_);
    ++samples;

    TreeNode* near = tree_a_[findNearestNode(tree_a_, &sample_node_)];
    steer(near, &sample_node_, step_size_, steered_node_);
    const bool extended_valid = plan_scene_->isStateValid(steered_node_.state.data());
    const bool extended_motion = plan_scene_->checkMotion(near->state.data(), steered_node_.state.data());
    if (!extended_valid || !extended_motion) {
      checks += 1;
    } else {
      TreeNode* q_new = storeNode(steered_node_);
      tree_a_.push_back(q_new);
      if (connectTowards(q_new)) {
        std::cout << "reaches the goal!" << std::endl;
        std::cout << "\033[33mGenerate Path sample random num: " << samples << "\033[0m" << std::endl;
        std::cout << "\033[33mGenerate Path check num: " << checks << "\033[0m" << std::endl;
        return 0;
      }
    }
    if (samples >= kMaxSamples) {
      return -5;
    }
  }
}

bool RRTConnectPlanner::connectTowards(const TreeNode* q_new) {
  int& checks = statistics_.checks;
  const TreeNode* q_b = tree_b_[findNearestNode(tree_b_, q_new)];
  steer(q_b, q_new, step_size_, steered_node_);
  const bool first_valid = plan_scene_->isStateValid(steered_node_.state.data());
  const bool first_motion = plan_scene_->checkMotion(q_b->state.data(), steered_node_.state.data());
  checks += 2;
  if (!first_valid || !first_motion) {
    return false;
  }
  TreeNode* tip = storeNode(steered_node_);
  tree_b_.push_back(tip);
  int running = checks;
  while (true) {
    steer(tip, q_new, step_size_, steered_node_);
    const bool valid = plan_scene_->isStateValid(steered_node_.state.data());
    const bool motion = plan_scene_->checkMotion(tip->state.data(), steered_node_.state.data());
    if (!valid || !motion) {
      if (tree_b_.size() < tree_a_.size()) {
        // The random extension goes on from the smaller tree.
        std::cout << "\033[36mExchange two trees~\033[0m" << std::endl;
        tree_a_.swap(tree_b_);
        ++statistics_.tree_exchanges;
      }
      checks = running + 1;
      return false;
    }
    tip = storeNode(steered_node_);
    tree_b_.push_back(tip);
    std::cout << "\033[36mgoing straight to the goal\033[0m" << std::endl;
    bool reached = true;
    for (int j = 0; j < n_dof_; ++j) {
      reached = reached && std::fabs(tip->state[j] - q_new->state[j]) < step_size_;
    }
    const bool joined = plan_scene_->checkMotion(q_new->state.data(), tip->state.data());
    running += 2;
    if (joined && reached) {
      checks = running;
      return true;
    }
  }
}

void RRTConnectPlanner::sampleRandomState(TreeNode& sample) {
  std::mt19937 sample_engine(seams_.seed_source());
  const int draw = uniformInt(random_engine_, 0, kGoalBiasRange);
  sample.parent = nullptr;
  if (draw <= goal_bias_threshold_) {
    sample.state = goal_node_.state;
    return;
  }
  sample.state.resize(n_dof_);
  for (int i = 0; i < n_dof_; ++i) {
    sample.state[i] = uniformReal(sample_engine, joint_bounds_[i].first, joint_bounds_[i].second);
  }
}

int RRTConnectPlanner::findNearestNode(const std::vector<TreeNode*>& nodes, const TreeNode* target) const {
  int nearest = -1;
  double best = std::numeric_limits<double>::max();
  for (std::size_t index = 0; index < nodes.size(); ++index) {
    const double* state = nodes[index]->state.data();
    double sum = 0.0;
    for (int j = 0; j < n_dof_; ++j) {
      const double diff = state[j] - target->state[j];
      sum += diff * diff;
    }
    if (sum < best) {
      best = sum;
      nearest = static_cast<int>(index);
    }
  }
  return nearest;
}

void RRTConnectPlanner::steer(const TreeNode* from, const TreeNode* to, double step, TreeNode& result) const {
  double sum = 0.0;
  for (int j = 0; j < n_dof_; ++j) {
    const double diff = to->state[j] - from->state[j];
    sum += diff * diff;
  }
  const double distance = std::sqrt(sum);
  result.state.resize(n_dof_);
  for (int j = 0; j < n_dof_; ++j) {
    result.state[j] =
        distance <= step ? to->state[j] : from->state[j] + ((to->state[j] - from->state[j]) / distance) * step;
  }
  result.parent = from;
}

TreeNode* RRTConnectPlanner::storeNode(const TreeNode& node) {
  if (nodes_in_use_ == node_store_.size()) {
    node_store_.emplace_back();
  }
  TreeNode& slot = node_store_[nodes_in_use_++];
  slot.state.assign(node.state.begin(), node.state.end());
  slot.parent = node.parent;
  return &slot;
}

JointPath RRTConnectPlanner::buildPath() const {
  JointPath path;
  for (const TreeNode* node = tree_a_.back(); node != nullptr; node = node->parent) {
    path.push_back(node->state);
  }
  std::reverse(path.begin(), path.end());
  for (const TreeNode* node = tree_b_.back(); node != nullptr; node = node->parent) {
    path.push_back(node->state);
  }
  // After an odd number of exchanges tree A grew from the goal.
  bool starts_at_goal = true;
  for (int j = 0; j < n_dof_; ++j) {
    starts_at_goal = starts_at_goal && std::fabs(path.front()[j] - goal_node_.state[j]) < kSameStateTolerance;
  }
  if (starts_at_goal) {
    std::reverse(path.begin(), path.end());
  }
  path.erase(std::unique(path.begin(), path.end()), path.end());
  return path;
}

void RRTConnectPlanner::postProcess(JointPath& path) {
  std::int64_t stage_start = seams_.clock();
  simplifyPath(path);
  statistics_.simplify_us = seams_.clock() - stage_start;
  std::cout << "===================AfterSimplifyPath===================" << std::endl;
  printWaypointsCommaSeparated(path);

  stage_start = seams_.clock();
  awayFromObstacle(path);
  statistics_.away_from_obstacle_us = seams_.clock() - stage_start;

  if (path.size() <= 2) {
    std::cout << "\033[33mNo need to Simplify the Path~ \033[0m" << std::endl;
  } else {
    check_count_ = 0;
    stage_start = seams_.clock();
    randomShortcut(path);
    std::cout << "\033[33mShortcut Path check num: " << check_count_ << "\033[0m" << std::endl;
    std::cout << "Path size: " << path.size() << std::endl;
    statistics_.shortcut_again_us = seams_.clock() - stage_start;
    printf("shortcutPath cost:%d us\n", static_cast<int>(statistics_.shortcut_again_us));

    stage_start = seams_.clock();
    reduceVerticesWithMargin(path);
    std::cout << "\033[33mReduce Path check num: " << check_count_ << "\033[0m" << std::endl;
    std::cout << "Path size: " << path.size() << std::endl;
    statistics_.reduce_again_us = seams_.clock() - stage_start;
    printf("reduceVertices  reduceVertices after cost:%d us\n", static_cast<int>(statistics_.reduce_again_us));
    std::cout << "\033[33mSimplify Path Do again cost:"
              << statistics_.shortcut_again_us + statistics_.reduce_again_us << "us\033[0m" << std::endl;
  }
  std::cout << "===================AfterPath===================" << std::endl;
  printWaypointsCommaSeparated(path);

  double total = 0.0;
  std::cout << "Dists: ";
  for (std::size_t i = 1; i < path.size(); ++i) {
    const double increment = waypointDistance(path[i - 1], path[i]);
    total += increment;
    std::cout << increment << ",";
  }
  std::cout << std::endl;
  std::cout << "distance all: " << total << std::endl;
  std::cout << "Step size is: " << step_size_ << std::endl;
}
