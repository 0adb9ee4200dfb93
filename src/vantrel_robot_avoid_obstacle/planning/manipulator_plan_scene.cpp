#include "planning/manipulator_plan_scene.h"

#include <cfloat>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <limits>
#include <stdexcept>
#include <utility>

#include "robot_model/shapes/regular_file.h"

ManipulatorPlanScene::ManipulatorPlanScene(const std::string& robot_descriptions_path, const std::string& urdf_path,
                                           const std::string& srdf_path, const std::string& planned_joint_group,
                                           double robot_padding, double robot_scale)
    : robot_descriptions_path_(robot_descriptions_path),
      urdf_path_(urdf_path),
      srdf_path_(srdf_path),
      robot_padding_(robot_padding),
      margin_padding_(0.06),
      robot_scale_(robot_scale),
      max_extent_(std::numeric_limits<double>::infinity()),
      longest_valid_segment_(std::numeric_limits<double>::infinity()) {
  init();
  settlePlanningGroup(planned_joint_group);
}

ManipulatorPlanScene::~ManipulatorPlanScene() = default;

void ManipulatorPlanScene::init() {
  std::cout << "start build robot model..." << std::endl;
  robot_model_ =
      std::make_shared<const robot_model::core::RobotModel>(robot_descriptions_path_, urdf_path_, srdf_path_);
  loadRobotDescription();
  printModelSummary();
  std::cout << "build robot model success!" << std::endl;

  robot_state_ = std::make_shared<robot_model::core::RobotState>(robot_model_);
  robot_state_->setToDefaultValues();
  robot_state_->updateCollisionBodyTransforms();
  tf_robot_state_ = std::make_shared<robot_model::core::RobotState>(robot_model_);
  tf_robot_state_->setToDefaultValues();
  tf_robot_state_->updateCollisionBodyTransforms();
  std::cout << "---------robot_state init success.---------" << std::endl;

  buildAllowedCollisionMatrix();
  world_ = std::make_shared<collision_detection::World>();
  collision_world_ = std::make_shared<collision_detection::CollisionWorldFCL>(world_);
  collision_robot_padded_ =
      std::make_shared<collision_detection::CollisionRobotFCL>(robot_model_, robot_padding_, robot_scale_);
  collision_robot_unpadded_ = std::make_shared<collision_detection::CollisionRobotFCL>(robot_model_, 0.0, 1.0);
  collision_robot_margin_ =
      std::make_shared<collision_detection::CollisionRobotFCL>(robot_model_, margin_padding_, robot_scale_);
  collision_robot_margin_self_ = std::make_shared<collision_detection::CollisionRobotFCL>(robot_model_, 0.0, 1.0);

  max_extent_ = std::numeric_limits<double>::infinity();
  longest_valid_segment_fraction_ = 0.005;
  longest_valid_segment_ = std::numeric_limits<double>::infinity();
  segment_count_factor_ = 1;
  std::cout << "---------CollisionRobotFCL, CollisionWorldFCL  init success.---------" << std::endl;

  buildGroupInputStates();
}

void ManipulatorPlanScene::loadRobotDescription() {
  const std::string path = robot_descriptions_path_ + urdf_path_;
  regular_file::FileText file = regular_file::read(path);
  if (file.open_error != 0) {
    printf("File %s does not exist!\n", path.c_str());
    return;
  }
  if (!file.error.empty()) {
    printf("File %s could not be read: %s\n", path.c_str(), file.error.c_str());
    return;
  }
  std::string description = std::move(file.text);
  static const std::string kPackagePrefix = "package://";
  const std::string file_prefix = "file://" + robot_descriptions_path_;
  for (std::size_t at = description.find(kPackagePrefix); at != std::string::npos;
       at = description.find(kPackagePrefix, at + file_prefix.size())) {
    description.replace(at, kPackagePrefix.size(), file_prefix);
  }
  robot_description_ = std::move(description);
}

void ManipulatorPlanScene::buildAllowedCollisionMatrix() {
  acm_ = std::make_shared<collision_detection::AllowedCollisionMatrix>();
  const std::vector<std::string>& links = robot_model_->getLinkModelNamesWithCollisionGeometry();
  for (const std::string& outer : links) {
    for (const std::string& inner : links) {
      if (inner != outer) acm_->setEntry(inner, outer, false);
    }
  }
  for (const auto& pair : robot_model_->getSRDF()->getDisabledCollisionPairs()) {
    acm_->setEntry(pair.link1_, pair.link2_, true);
  }
}

void ManipulatorPlanScene::buildGroupInputStates() {
  planning_group_name_.clear();
  planning_group_state_ = nullptr;
  const auto& groups = robot_model_->getJointModelGroups();
  if (groups.empty()) {
    std::cout << "joint_model_groups_size==0 error." << std::endl;
    return;
  }
  for (const robot_model::core::JointModelGroup* group : groups) {
    if (!group->getSubgroupNames().empty()) continue;
    // Value-initialised, so a state is defined before its first interpolation.
    group_input_state_map_[group->getName()] = std::make_unique<double[]>(group->getVariableCount());
  }
  if (groups.size() == 1) {
    planning_group_name_ = groups.front()->getName();
    auto entry = group_input_state_map_.find(planning_group_name_);
    planning_group_state_ = entry == group_input_state_map_.end() ? nullptr : entry->second.get();
  }
  printf("---------group_input_state_map_ (size=%d) init success.---------\n",
         static_cast<int>(group_input_state_map_.size()));
}

void ManipulatorPlanScene::settlePlanningGroup(const std::string& planned_joint_group) {
  if (group_input_state_map_.empty()) {
    puts("joint group size is 0, init error!");
    puts("set Planned JointGroup error when initialize!");
    return;
  }
  if (group_input_state_map_.size() > 1) {
    auto entry = group_input_state_map_.find(planned_joint_group);
    if (entry == group_input_state_map_.end()) {
      printf("we can not find <%s> joint group. \n", planned_joint_group.c_str());
      puts("set Planned JointGroup error when initialize!");
      return;
    }
    planning_group_name_ = entry->first;
    planning_group_state_ = entry->second.get();
    printf("we find <%s> joint group.\n", planning_group_name_.c_str());
  }
  // A link whose collision geometry could not be built would check as free: nothing may plan on such a
  // model. Its errors stay readable through getRobotModel().
  if (!robot_model_->isValid()) {
    puts("The robot model has set-up errors, no planning group is set!");
    return;
  }
  // With one table entry among several groups init chose none, and the empty name is reported as not
  // found; a group without its own scratch array cannot be planned.
  const robot_model::core::JointModelGroup* group = robot_model_->getJointModelGroup(planning_group_name_);
  if (group == nullptr || planning_group_state_ == nullptr) return;
  joint_model_group_ = group;
  configurePlanningGroup();
}

void ManipulatorPlanScene::configurePlanningGroup() {
  max_extent_ = joint_model_group_->getMaximumExtent(joint_model_group_->getActiveJointModelsBounds());
  printf("max_extent_=%lf\n", max_extent_);
  longest_valid_segment_ = max_extent_ * longest_valid_segment_fraction_;
  printf("longest_valid_segment_=%lf\n", longest_valid_segment_);
  // A zero, negative or non-finite length would make every motion check meaningless.
  if (!std::isfinite(longest_valid_segment_)) throw std::runtime_error("longest_valid_segment is not finite!\n");
  if (longest_valid_segment_ < DBL_EPSILON) throw std::runtime_error("longest_valid_segment is too small!\n");

  variable_distance_factors_.assign(joint_model_group_->getVariableCount(), 0.0);
  const auto& active_joints = joint_model_group_->getActiveJointModels();
  const auto& start_index = joint_model_group_->getActiveJointModelStartIndex();
  for (std::size_t j = 0; j < active_joints.size(); ++j) {
    for (std::size_t v = 0; v < active_joints[j]->getVariableCount(); ++v) {
      variable_distance_factors_[start_index[j] + v] = active_joints[j]->getDistanceFactor();
    }
  }
  settleStateBounds();
  valid_states_.resize(variable_distance_factors_.size(), kRememberedStates);
  margin_valid_states_.resize(variable_distance_factors_.size(), kRememberedStates);
  coarse_valid_states_.resize(variable_distance_factors_.size(), kRememberedStates);
  collision_request_.group_name = planning_group_name_;
  collision_request_.verbose = true;
  padGripperMargin();
  updateFineMotionBound();
}

void ManipulatorPlanScene::settleStateBounds() {
  constexpr double kUnbounded = std::numeric_limits<double>::infinity();
  state_bounds_.assign(joint_model_group_->getVariableCount(), {-kUnbounded, kUnbounded});
  // The planner's ranges where the group has them, so that the scene accepts what the planner samples.
  std::vector<std::pair<double, double>> planned;
  const bool have_planned = plannedJointBounds(planned, false) == static_cast<int>(state_bounds_.size());
  const auto& active_joints = joint_model_group_->getActiveJointModels();
  const auto& start_index = joint_model_group_->getActiveJointModelStartIndex();
  for (std::size_t j = 0; j < active_joints.size(); ++j) {
    const robot_model::core::JointModel::Bounds& bounds = active_joints[j]->getVariableBounds();
    for (std::size_t v = 0; v < bounds.size(); ++v) {
      if (!bounds[v].position_bounded_) continue;
      const std::size_t i = start_index[j] + v;
      state_bounds_[i] = have_planned ? planned[i] : std::make_pair(bounds[v].min_position_, bounds[v].max_position_);
    }
  }
}

void ManipulatorPlanScene::padGripperMargin() {
  const auto& joints = joint_model_group_->getJointModels();
  const int n_dof = static_cast<int>(joint_model_group_->getActiveJointModels().size());
  const int n = static_cast<int>(joints.size());
  printf("n_dof=%d,", n_dof);
  printf("n=%d,", n);
  if (n_dof >= n) {
    puts("The robot does not have gripper.");
    return;
  }
  const robot_model::core::LinkModel* gripper_link = joints.back()->getChildLinkModel();
  if (gripper_link == nullptr) return;
  collision_robot_margin_self_->setLinkPadding(gripper_link->getName(), margin_padding_);
  // The line reports the gripper's padding in the standard world test, which the margin leaves alone.
  std::cout << "my " << gripper_link->getName()
            << " padding:" << collision_robot_padded_->getLinkPadding(gripper_link->getName()) << std::endl;
}
