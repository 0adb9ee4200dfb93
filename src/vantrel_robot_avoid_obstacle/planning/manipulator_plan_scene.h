#pragma once

#include <array>
#include <map>
#include <memory>
#include <string>
#include <utility>
#include <vector>

#include <Eigen/Geometry>
#include <geometry_msgs/msg/transform_stamped.hpp>

#include "collision_detection/allowed_collision_matrix.h"
#include "collision_detection/collision_robot_fcl.h"
#include "collision_detection/collision_types.h"
#include "collision_detection/collision_world_fcl.h"
#include "collision_detection/world.h"
#include "planning/motion_bisection.h"
#include "planning/pair_closing_rates.h"
#include "planning/plan_scene_interface.h"
#include "planning/valid_state_memo.h"
#include "robot_model/core/joint_model_group.h"
#include "robot_model/core/robot_model.h"
#include "robot_model/core/robot_state.h"

namespace octomap {
class OcTree;
}

// The robot and its surroundings as the planner sees them: the robot model, the obstacle world with its
// FCL mirror, and four collision robots that differ in padding and scale. Every query is for one planning
// group, settled at construction. Not thread-safe: every call writes the scene's scratch state, so the
// owner serialises all use.
class ManipulatorPlanScene : public PlanSceneInterface {
 public:
  // Builds everything from the description directory and the two file names (appended to the directory
  // as they are), then settles the planning group: the model's only group, or else the one named
  // `planned_joint_group`. Throws std::runtime_error when the settled group's longest valid segment is
  // not a finite positive length. A model with set-up errors settles no group. Without a settled group
  // the scene answers every query with failure; check hasPlanningGroup().
  ManipulatorPlanScene(const std::string& robot_descriptions_path, const std::string& urdf_path,
                       const std::string& srdf_path, const std::string& planned_joint_group, double robot_padding,
                       double robot_scale);
  ~ManipulatorPlanScene() override;
  ManipulatorPlanScene(const ManipulatorPlanScene&) = delete;
  ManipulatorPlanScene& operator=(const ManipulatorPlanScene&) = delete;

  // -1 without a planning group; -2 for a joint with several variables, -3 for one without bounds.
  int getJointLimits(std::vector<std::pair<double, double>>& bounds) override;
  int getVmaxAndAmax(std::vector<double>& vmax, std::vector<double>& amax) override;
  bool isStateValid(const double* state) override;
  bool isStateValidWithMargin(const double* state) override;
  bool checkMotion(const double* from, const double* to) override;
  bool checkMotionWithMargin(const double* from, const double* to) override;
  // Tests the straight motion densely enough that no point of the padded robot moves more than half the
  // least link padding (at least 5 mm) between two tested states, bounded from each joint's motion and the
  // farthest collision geometry beyond it, the bodies attached to the state included; where a state is free
  // with the wider margin, the states as far as the margin exceeds the padding count as tested. Against itself
  // the robot is tested from `from` on, each state vouching for the motion as far as no two of its bodies the
  // self test checks can have closed the distance between them and kSelfContactResolution: a self-contact less
  // than kSelfContactResolution deep may pass unseen, none deeper.
  bool checkMotionFinely(const double* from, const double* to) override;
  // How many states the last fine motion check tested against the robot itself.
  std::size_t selfWalkStates() const { return self_walk_states_; }
  // Extent of the whole model's active joints, not only of the planning group.
  double getMaximumExtent() override;
  // From the start to the end of a query a state found valid, with or without the margin, is not tested
  // again. A refused state is, so that the collision it reports is printed again. Outside a query every
  // state is tested.
  void beginQuery() override;
  void endQuery() override;

  // Most valid states remembered per query, for each kind of check.
  static constexpr std::size_t kRememberedStates = 1 << 14;
  // Most segments a straight motion is tested in.
  static constexpr int kMaxMotionSegments = 100000;
  // Metres: how deep a self-contact the fine motion check may miss.
  static constexpr double kSelfContactResolution = 1e-4;
  // Number of segments the straight motion is tested in: the distance-factor weighted sum of the raw
  // joint-value differences over the longest valid segment, rounded up. -1 without a planning group,
  // when the states are not finite or when the count exceeds kMaxMotionSegments.
  int validSegmentCount(const double* from, const double* to) const;

  // Makes `tree` the world's only object, "world_octomap", shared with the caller. The FCL side reads
  // the tree itself at every check, so later changes to the same tree take effect without another
  // call. A null tree is refused with a message and the world left as it is.
  void updateWorldOctomap(const std::shared_ptr<const octomap::OcTree>& tree);
  // Whether "world_octomap" currently holds exactly this tree.
  bool worldHoldsOctomap(const std::shared_ptr<const octomap::OcTree>& tree) const;
  // Makes a box of edges `size` at `pose` the world object `id`, in place of any object of that id; false, after
  // the reason, when no such box can be built.
  bool placeWorldBox(const std::string& id, const Eigen::Vector3d& size, const Eigen::Isometry3d& pose);
  // Removes the world object `id`; false when there is none.
  bool removeWorldObject(const std::string& id);
  // Attaches to `link` of the working state the body `id`: a box of edges `size`, scaled by `scale` and then padded
  // by `padding` on every side, at `box_pose` in the model frame when the planning group is at `joints`. The body
  // may touch its link and moves with it in every later check. A world object of that id is removed first and a
  // body of that id replaced. False, after the reason, when the body cannot be attached.
  bool attachBox(const std::string& id, const robot_model::core::LinkModel& link, const std::array<double, 3>& size,
                 double scale, double padding, const double* joints, const Eigen::Isometry3d& box_pose);
  // Removes the body `id` from the working state; false when none was attached.
  bool detachBody(const std::string& id);
  // Pads the arm's links (the group's base link and its links) on the robot of the standard world test.
  void setGripperPadding(double padding);
  // One transform per link of the planning group for the given group joint values, relative to the parent
  // link of the group's common root, all with one system-clock stamp. Writes only the display state.
  // Throws std::runtime_error ("Invalid link.") for a group link the model lacks.
  std::vector<geometry_msgs::msg::TransformStamped> getLinkTransforms(const double* q);

  bool hasPlanningGroup() const { return joint_model_group_ != nullptr; }
  const std::string& getPlanningGroupName() const { return planning_group_name_; }
  const robot_model::core::JointModelGroup* getPlanningGroup() const { return joint_model_group_; }
  const std::shared_ptr<const robot_model::core::RobotModel>& getRobotModel() const { return robot_model_; }
  const std::shared_ptr<collision_detection::World>& getWorld() const { return world_; }
  const std::shared_ptr<collision_detection::CollisionWorldFCL>& getCollisionWorld() const { return collision_world_; }
  // The state every validity check writes; bodies attached to it take part in the checks.
  const std::shared_ptr<robot_model::core::RobotState>& getRobotState() const { return robot_state_; }
  const collision_detection::CollisionRobotFCL& getPaddedCollisionRobot() const { return *collision_robot_padded_; }
  const collision_detection::CollisionRobotFCL& getMarginSelfCollisionRobot() const {
    return *collision_robot_margin_self_;
  }
  // The URDF text with every "package://" replaced by "file://" and the description directory.
  const std::string& getRobotDescription() const { return robot_description_; }
  double getRobotPadding() const { return robot_padding_; }
  double getMarginPadding() const { return margin_padding_; }
  double getPlanningGroupExtent() const { return max_extent_; }
  double getLongestValidSegment() const { return longest_valid_segment_; }

 private:
  void init();
  void loadRobotDescription();
  void printModelSummary() const;
  void buildAllowedCollisionMatrix();
  void buildGroupInputStates();
  // The owner's configuration after init: planning group, segment length, gripper margin.
  void settlePlanningGroup(const std::string& planned_joint_group);
  void configurePlanningGroup();
  void padGripperMargin();

  // The bounds getJointLimits reports, without its side effects; `report` prints why they are missing.
  int plannedJointBounds(std::vector<std::pair<double, double>>& bounds, bool report) const;
  void settleStateBounds();
  bool checkState(const double* state, const collision_detection::CollisionRobotFCL& world_robot,
                  const collision_detection::CollisionRobotFCL& self_robot, ValidStateMemo& memo);
  bool checkCollision(const double* state, const collision_detection::CollisionRobotFCL& world_robot,
                      const collision_detection::CollisionRobotFCL& self_robot);
  // After every change of the world or the padding: remembered states need not be valid any more.
  void forgetValidStates();
  // Farthest any point of the padded robot can move on the straight motion; writes the scene's state.
  double pointMotionBound(const double* from, const double* to);
  // The bodies' closing rates on the motion pointMotionBound was last asked about.
  void updateClosingRates(const double* from, const double* to);
  // Sets (sign > 0) or adds each revolute joint's farthest geometry distance from its axis at `state`, over
  // all the padded geometry it moves and per unpadded box.
  void addAxisDistances(const double* state, double sign);
  struct FineMotionJoint;
  // How far the joint's variable `variable` changes on the straight motion.
  static double variableChange(const FineMotionJoint& entry, const double* from, const double* to,
                               std::size_t variable);
  // The most the joint moves a point of geometry that reaches at most `reach` from it in any configuration.
  static double jointPointMotion(const FineMotionJoint& entry, const double* from, const double* to, double reach);
  // As jointPointMotion, and for a revolute joint at most its turn times half the sum of `axis_distance_sum` (the
  // geometry's farthest distances from the axis at both ends, added up) and `growth` (how far the joints beyond can
  // move its points).
  static double axisBoundedPointMotion(const FineMotionJoint& entry, const double* from, const double* to,
                                       double reach, double axis_distance_sum, double growth);
  // The fine motion check's states of a motion whose points move at most `motion`: all of them at the fine
  // spacing, or those around the coarse states that fail the wider margin.
  bool checkFineStates(const double* from, const double* to, double motion);
  // Steps along the motion from `from` to `to`, each as far as no two bodies the self test checks can have come
  // into contact deeper than kSelfContactResolution; false at a state where two touch, or when the proof would take
  // more than kMaxMotionSegments states.
  bool checkSelfMotionFinely(const double* from, const double* to);
  // After construction, after every padding change and when the attached bodies have changed.
  void updateFineMotionBound();
  struct BoundingSphere;
  // One sphere per link with collision geometry and per attached body, grown by `padding`.
  std::vector<BoundingSphere> paddedGeometrySpheres(double padding) const;
  bool checkStraightMotion(const double* from, const double* to, int segment_count,
                           bool (ManipulatorPlanScene::*is_valid)(const double*));
  // Writes the point at fraction t of the straight line in raw joint values into the scratch array.
  const double* interpolateRaw(const double* from, const double* to, double t);

  std::string robot_descriptions_path_;
  std::string urdf_path_;
  std::string srdf_path_;
  std::shared_ptr<const robot_model::core::RobotModel> robot_model_;
  std::shared_ptr<collision_detection::World> world_;
  std::shared_ptr<robot_model::core::RobotState> robot_state_;
  std::shared_ptr<robot_model::core::RobotState> tf_robot_state_;
  std::shared_ptr<collision_detection::AllowedCollisionMatrix> acm_;
  std::shared_ptr<collision_detection::CollisionWorldFCL> collision_world_;
  std::shared_ptr<collision_detection::CollisionRobotFCL> collision_robot_padded_;
  std::shared_ptr<collision_detection::CollisionRobotFCL> collision_robot_margin_;
  std::shared_ptr<collision_detection::CollisionRobotFCL> collision_robot_unpadded_;
  std::shared_ptr<collision_detection::CollisionRobotFCL> collision_robot_margin_self_;
  double robot_padding_ = 0.0;
  double margin_padding_ = 0.06;
  double robot_scale_ = 1.0;
  std::string planning_group_name_;
  double* planning_group_state_ = nullptr;
  const robot_model::core::JointModelGroup* joint_model_group_ = nullptr;
  std::map<std::string, std::unique_ptr<double[]>> group_input_state_map_;
  double max_extent_;
  double longest_valid_segment_fraction_ = 0.005;
  double longest_valid_segment_;
  unsigned int segment_count_factor_ = 1;
  std::vector<double> vmax_;
  std::vector<double> amax_;
  std::string robot_description_;

  // Per group variable: the distance factor of its joint when it is an active variable, else 0.
  std::vector<double> variable_distance_factors_;
  // A sphere holding the padded geometry of a link or of a body attached to it, in the link's frame.
  struct BoundingSphere {
    const robot_model::core::LinkModel* link = nullptr;
    // The attached body the sphere holds, null for the link's own geometry.
    const robot_model::core::AttachedBody* attached = nullptr;
    Eigen::Vector3d centre = Eigen::Vector3d::Zero();
    double radius = 0.0;
    // The unpadded geometry's box about the centre, along the link's axes.
    Eigen::Vector3d half_extents = Eigen::Vector3d::Zero();
  };
  std::vector<BoundingSphere> fine_motion_spheres_;
  // Per joint that moves with the group's variables (its active joints, then the mimic joints following them): the
  // spheres of the geometry it carries, the farthest reach of that geometry in any configuration, and the joints
  // beyond it.
  struct FineMotionJoint {
    const robot_model::core::JointModel* joint = nullptr;
    // The group variable that drives the joint (a mimic joint's source's), and how far the joint turns or slides per
    // unit of it.
    std::size_t first_variable = 0;
    double factor = 1.0;
    // Indices into fine_motion_spheres_.
    std::vector<std::size_t> spheres;
    // Per sphere of fine_motion_spheres_, 0 for one the joint does not move.
    std::vector<double> sphere_reach;
    double chain_reach = 0.0;
    std::vector<std::size_t> downstream;
    // Scratch of one bound: the geometry's farthest distance from the axis at both ends, added up, and per
    // sphere its unpadded box's.
    double axis_reach_sum = 0.0;
    std::vector<double> box_axis_sums;
  };
  std::vector<FineMotionJoint> fine_motion_joints_;
  PairClosingRates closing_rates_;
  double fine_motion_step_ = 0.0;
  double most_link_padding_ = 0.0;
  // The robot state's attached-body change count the bound was made for.
  unsigned long fine_motion_attached_changes_ = 0;
  // Per group variable: the inclusive range of a valid state, unbounded for a variable without bounds.
  std::vector<std::pair<double, double>> state_bounds_;
  // Built once; only the result is reset per check.
  collision_detection::CollisionRequest collision_request_;
  collision_detection::CollisionResult collision_result_;
  MotionBisection motion_bisection_;
  ValidStateMemo valid_states_;
  ValidStateMemo margin_valid_states_;
  // The fine motion check's coarse states: the margin against the world, no padding against itself.
  ValidStateMemo coarse_valid_states_;
  bool in_query_ = false;
  std::size_t self_walk_states_ = 0;
};
