#pragma once

#include <cstdint>
#include <deque>
#include <random>
#include <utility>
#include <vector>

#include "planning/joint_path.h"
#include "planning/microsecond_clock.h"
#include "planning/plan_scene_interface.h"
#include "planning/planner_random.h"
#include "planning/planner_statistics.h"

// One node of a search tree; `parent` is the node it was steered from, null for a root.
struct TreeNode {
  std::vector<double> state;
  const TreeNode* parent = nullptr;
};

// Replaceable sources of randomness and time; the defaults are the production ones.
struct PlannerSeams {
  SeedSource seed_source = seedFromRandomDevice;
  MicrosecondClock clock = wallClockMicroseconds;
};

// Bidirectional RRT search in joint space with the path post-processing that follows it. Not re-entrant:
// the members are scratch state of one search.
class RRTConnectPlanner {
 public:
  explicit RRTConnectPlanner(PlanSceneInterface* plan_scene, PlannerSeams seams = PlannerSeams());

  void setStartAndGoal(const std::vector<double>& start, const std::vector<double>& goal);
  // 0 with `path` replaced by the result; otherwise a negative code and `path` untouched:
  // -1 start in collision, -2 goal in collision, -3 start out of range, -4 goal out of range,
  // -5 samples exhausted, -6 time-out.
  int plan(JointPath& path);

  // Post-processing, each changing `path` in place; the first and the last waypoint never change.
  void simplifyPath(JointPath& path);
  bool shortcutPath(JointPath& path);
  void randomShortcut(JointPath& path);
  bool reduceVertices(JointPath& path);
  bool reduceVerticesWithMargin(JointPath& path);
  void collapseCloseVertices(JointPath& path);
  void awayFromObstacle(JointPath& path);

  const PlannerStatistics& statistics() const { return statistics_; }
  int checkCount() const { return check_count_; }
  double stepSize() const { return step_size_; }
  int dofCount() const { return n_dof_; }

 private:
  using MotionCheck = bool (PlanSceneInterface::*)(const double*, const double*);

  // Search steps; the node pointers they take and return belong to the trees or to the scratch nodes.
  void sampleRandomState(TreeNode& sample);
  int findNearestNode(const std::vector<TreeNode*>& nodes, const TreeNode* target) const;
  void steer(const TreeNode* from, const TreeNode* to, double step, TreeNode& result) const;
  TreeNode* storeNode(const TreeNode& node);
  // Drives tree B from its node nearest to `q_new` straight towards it; true when the trees meet.
  bool connectTowards(const TreeNode* q_new);
  int search(std::int64_t search_start);
  // Wrong length or non-finite values: such a state is never handed to the scene.
  bool isMalformed(const std::vector<double>& state) const;
  // A well-formed state within the bounds that the scene refuses.
  bool isInRangeButInvalid(const std::vector<double>& state);
  // Index of the first joint outside its inclusive bounds, -1 when all are inside.
  int firstJointOutOfRange(const std::vector<double>& state) const;
  void reportOutOfRange(const std::vector<double>& state, const char* error) const;
  JointPath buildPath() const;
  void postProcess(JointPath& path);

  bool shortcutWith(JointPath& path, MotionCheck check_motion);
  bool reduceVerticesWith(JointPath& path, MotionCheck check_motion);
  bool motionValid(MotionCheck check_motion, const std::vector<double>& from, const std::vector<double>& to);

  TreeNode start_node_;
  TreeNode goal_node_;
  std::vector<TreeNode*> tree_a_;
  std::vector<TreeNode*> tree_b_;
  double step_size_ = 0.0;
  int goal_bias_threshold_ = 15;
  std::mt19937 random_engine_;  // default seed, never reseeded: only the goal-bias draw uses it
  PlanSceneInterface* plan_scene_;
  int n_dof_ = 0;
  int check_count_ = 0;
  std::vector<std::pair<double, double>> joint_bounds_;
  double model_extent_ = 0.0;

  PlannerSeams seams_;
  PlannerStatistics statistics_;
  // Nodes of the current search. Kept from one search to the next only to reuse their storage: the
  // trees are emptied first, so no node of an earlier search is reachable.
  std::deque<TreeNode> node_store_;
  std::size_t nodes_in_use_ = 0;
  TreeNode sample_node_;
  TreeNode steered_node_;
};
