#include "node/ros_two_wrapper.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <thread>
#include <utility>

#include "robot_model/core/joint_model.h"
#include "robot_model/core/link_model.h"

namespace {

// The parent link of the group's common root joint; empty for a group rooted at the model's root.
std::string baseFrameOf(const robot_model::core::JointModelGroup& group) {
  const robot_model::core::JointModel* root = group.getCommonRoot();
  const robot_model::core::LinkModel* parent = root ? root->getParentLinkModel() : nullptr;
  return parent ? parent->getName() : std::string();
}

// The time parametrisation divides by each joint's velocity and acceleration limit.
bool checkSpeedLimits(const std::vector<double>& vmax, const std::vector<double>& amax, int n_dof) {
  bool possible = true;
  for (int i = 0; i < n_dof; ++i) {
    const double velocity = i < static_cast<int>(vmax.size()) ? vmax[i] : 0.0;
    const double acceleration = i < static_cast<int>(amax.size()) ? amax[i] : 0.0;
    if (std::isfinite(velocity) && velocity > 0.0 && std::isfinite(acceleration) && acceleration > 0.0) continue;
    printf("\033[41m the %d axis vmax=%lf,amax=%lf: a joint needs positive velocity and acceleration limits!\033[0m\n",
           i + 1, velocity, acceleration);
    possible = false;
  }
  return possible;
}

}  // namespace

const char* const RosTwoWrapper::kConfigPath = "./src/vantrel_robot_avoid_obstacle/config/config_params.yaml";

RosTwoWrapper::RosTwoWrapper() {
  node1_ = std::make_shared<rclcpp::Node>("node1");
  node2_ = std::make_shared<rclcpp::Node>("node2");
  node2_executor_.add_node(node2_, true);
  node3_ = std::make_shared<rclcpp::Node>("node3");
  node3_executor_.add_node(node3_, true);

  config_reader_ptr_ = std::make_unique<ConfigReader>(kConfigPath);
  // A file that is there but cannot be loaded must not pass for a missing one: that would run on every default.
  if (!config_reader_ptr_->loadError().empty()) {
    printf("\033[41m %s\033[0m\n", config_reader_ptr_->loadError().c_str());
    return;
  }
  readConfigParams();
  printConfigParams();
  if (!checkConfigParams()) return;

  octomap_tree_ptr_ = std::make_shared<octomap::OcTree>(resolution_);
  point_cloud_filter_ptr_ = std::make_unique<PointCloudFilter>();
  command_logger_ptr_ = std::make_unique<CommandLogger>();
  point_cloud_filter_ptr_->min_x_ = point_cloud_minx_;
  point_cloud_filter_ptr_->max_x_ = point_cloud_maxx_;
  point_cloud_filter_ptr_->min_y_ = point_cloud_miny_;
  point_cloud_filter_ptr_->max_y_ = point_cloud_maxy_;
  point_cloud_filter_ptr_->min_z_ = point_cloud_minz_;
  point_cloud_filter_ptr_->max_z_ = point_cloud_maxz_;
  point_cloud_filter_ptr_->std_dev_mul_ = 1.0;
  point_cloud_filter_ptr_->mean_k_ = 25;
  point_cloud_filter_ptr_->leaf_size_ = resolution_;
  pc_robot_filter_ = std::make_shared<Cloud>();
  obb_removed_cloud_ = std::make_shared<Cloud>();

  plan_scene_ptr_ = std::make_unique<ManipulatorPlanScene>(robot_descriptions_path_, urdf_path_, srdf_path_,
                                                           planned_joint_group_, robot_padding_, robot_scale_);
  if (!checkPlanScene() || !setUpPlanning()) return;

  grab_manager_ptr_ = std::make_unique<GrabManager>(plan_scene_ptr_.get(), tool_matrix_);

  node1_->declare_parameter("/robot_description", rclcpp::ParameterType::PARAMETER_STRING);
  robot_description_timer_ =
      node1_->create_wall_timer(std::chrono::seconds(1), [this] { robotDescriptionTimerCallback(); });
  base_frame_id_ = baseFrameOf(*plan_scene_ptr_->getPlanningGroup());
  tf_broadcaster_ = std::make_unique<tf2_ros::TransformBroadcaster>(node2_);
  initRosNode();
  ready_ = true;
}

RosTwoWrapper::~RosTwoWrapper() = default;

bool RosTwoWrapper::checkPlanScene() const {
  const auto& model = plan_scene_ptr_->getRobotModel();
  if (model && !model->isValid()) {
    printf("\033[41m robot model <%s> has set-up errors:\033[0m\n", model->getName().c_str());
    for (const std::string& error : model->getSetupErrors()) printf("  %s\n", error.c_str());
    return false;
  }
  if (!plan_scene_ptr_->hasPlanningGroup()) return false;
  // With a single group in the model the scene plans it whatever name was configured.
  if (plan_scene_ptr_->getPlanningGroupName() != planned_joint_group_) {
    printf("\033[41m planned_joint_group <%s> is not used: the model's only joint group <%s> is planned\033[0m\n",
           planned_joint_group_.c_str(), plan_scene_ptr_->getPlanningGroupName().c_str());
  }
  return true;
}

bool RosTwoWrapper::setUpPlanning() {
  pipeline_ptr_ = std::make_shared<PipeLine>();
  pipeline_ptr_->plan_scene_ptr_ = plan_scene_ptr_.get();
  pipeline_ptr_->plan_scene_interface_ptr_ = plan_scene_ptr_.get();
  pipeline_ptr_->path_plan_ptr_ = std::make_shared<PathPlanAndPostProcessing>(plan_scene_ptr_.get());
  pipeline_ptr_->real_robot_flag_ = real_robot_flag_;
  pipeline_ptr_->padding_ = 0.0;

  std::vector<std::pair<double, double>> joint_limits;
  n_dof_ = plan_scene_ptr_->getJointLimits(joint_limits);
  if (n_dof_ <= 0) {
    puts("n_dof <=0");
    return false;
  }
  std::cout << "position limit:" << std::endl;
  for (const auto& [lower, upper] : joint_limits) std::cout << lower << "," << upper << std::endl;

  std::cout << "max velocity and acc:" << std::endl;
  std::vector<double> vmax;
  std::vector<double> amax;
  plan_scene_ptr_->getVmaxAndAmax(vmax, amax);
  for (int i = 0; i < n_dof_ && i < static_cast<int>(std::min(vmax.size(), amax.size())); ++i) {
    std::cout << "the " << i + 1 << " axis " << "vmax:" << vmax[i] << ",amax:" << amax[i] << std::endl;
  }
  if (!checkSpeedLimits(vmax, amax, n_dof_)) return false;

  current_joint_positions_.assign(n_dof_, 0.0);
  joint_names_ = plan_scene_ptr_->getPlanningGroup()->getActiveJointModelNames();
  const int n = static_cast<int>(joint_names_.size());
  if (n != n_dof_) {
    printf("n=%d is not equal n_dof =%d!\n", n, n_dof_);
    return false;
  }
  return true;
}

void RosTwoWrapper::run() {
  std::thread spin_thread([this] {
    puts("spinThread start");
    node2_executor_.spin();
  });
  std::thread spin_thread3([this] {
    puts("spinThread3 start");
    node3_executor_.spin();
  });
  rclcpp::WallRate rate(500.0);
  bool first_pass = true;
  while (rclcpp::ok()) {
    rclcpp::spin_some(node1_);
    rate.sleep();
    if (first_pass) {
      std::cout << (real_robot_flag_ ? "\033[42m initRosNode real robot success\033[0m"
                                     : "\033[42m initRosNode simulation robot success\033[0m")
                << std::endl;
      first_pass = false;
    }
  }
  spin_thread.join();
  spin_thread3.join();
}
