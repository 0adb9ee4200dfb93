#include "main_job.hpp"

#include <algorithm>
#include <atomic>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iomanip>
#include <limits>
#include <optional>
#include <sstream>
#include <stdexcept>
#include <thread>
#include <vector>

#include <Eigen/Geometry>
#include <pcl/io/pcd_io.h>
#include <pcl_conversions/pcl_conversions.h>

#include "arm_sim/arm_controller.hpp"
#include "arm_sim/command_client.hpp"
#include "arm_sim/path_clearance.hpp"
#include "arm_sim/scene.hpp"
#include "arm_sim/scene_camera.hpp"
#include "arm_sim/topic_recorders.hpp"
#include "planning/manipulator_plan_scene.h"
#include "robot_model/core/joint_model_group.h"
#include "robot_model/core/robot_model.h"

namespace arm_sim
{

namespace
{

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;
using Joints = std::vector<double>;
using ArmMoveJoints = vantrel_interfaces::srv::ArmMoveJoints;

// Waits are generous: a loaded two-core machine builds the node's scene slowly.
constexpr auto kStartupTimeout = 180s;
constexpr auto kCommandTimeout = 120s;
// How far above the box's centre the tool grasps it.
constexpr double kGraspHeight = 0.23;

// Two free configurations either side of the pillar, the base turned from one to the other with the
// straight motion through the pillar, and a configuration inside it.
struct Crossing
{
  Joints start, goal, inside;
};

Crossing findCrossing(ManipulatorPlanScene & scene)
{
  const size_t n = scene.getPlanningGroup()->getActiveJointModelNames().size();
  const auto valid = [&scene](Joints q) {return scene.isStateValid(q.data());};
  for (double shoulder : {0.3, 0.5, 0.7, 0.9, -0.3, -0.5, -0.7, -0.9}) {
    for (double elbow : {0.3, 0.6, 0.9, 1.2, -0.3, -0.6, -0.9, -1.2}) {
      Joints start(n, 0.0);
      start[1] = shoulder;
      start[2] = elbow;
      Joints goal = start;
      Joints inside = start;
      start[0] = -0.8;
      goal[0] = 0.8;
      if (valid(start) && valid(goal) && !valid(inside)) {
        return {start, goal, inside};
      }
    }
  }
  throw std::runtime_error("main job: the arm has no configurations either side of the pillar");
}

JointSet jointSetOf(ManipulatorPlanScene & scene)
{
  std::vector<std::pair<double, double>> limits;
  scene.getJointLimits(limits);
  JointSet joints;
  joints.names = scene.getPlanningGroup()->getActiveJointModelNames();
  for (const auto & [lower, upper] : limits) {
    joints.limits.push_back({lower, upper});
  }
  return joints;
}

Eigen::Matrix4d poseMatrix(const std::array<double, 7> & pose)
{
  Eigen::Matrix4d matrix = Eigen::Matrix4d::Identity();
  matrix.topLeftCorner<3, 3>() =
    Eigen::Quaterniond(pose[6], pose[3], pose[4], pose[5]).normalized().toRotationMatrix();
  matrix.topRightCorner<3, 1>() << pose[0], pose[1], pose[2];
  return matrix;
}

std::array<double, 7> poseOf(const Eigen::Matrix4d & matrix)
{
  const Eigen::Quaterniond q(Eigen::Matrix3d(matrix.topLeftCorner<3, 3>()));
  return {matrix(0, 3), matrix(1, 3), matrix(2, 3), q.x(), q.y(), q.z(), q.w()};
}

ArmMoveJoints::Request noMotion()
{
  ArmMoveJoints::Request request;
  request.cmd_type = 2;
  return request;
}

// What a command answered and what it made the controller play.
struct Outcome
{
  std::string code = "-";
  std::string message;
  std::optional<double> planning_ms;  // to the first trajectory goal, or to the answer
  std::vector<trajectory_msgs::msg::JointTrajectory> trajectories;
  bool as_expected = false;
};

struct Answer
{
  int32_t code;
  std::string message;
};

template<typename Response>
std::optional<Answer> answerOf(const std::optional<Response> & response)
{
  if (!response) {
    return std::nullopt;
  }
  return Answer{response->code, response->message};
}

struct Command
{
  std::string name;
  std::function<std::optional<Answer>()> call;  // empty answer: a topic
  int expected_code;
  // Empty: no trajectory may be played. Otherwise true when the last played configuration is the goal.
  std::function<bool(const Joints &)> reached;
};

class MainJob
{
public:
  MainJob(const rclcpp::Node::SharedPtr & peer, const MainJobSettings & settings)
  : settings_(settings),
    scene_(settings.descriptions_path, settings.urdf_path, settings.srdf_path,
      settings.planning_group, settings.robot_padding, settings.robot_scale),
    recorders_(peer, 1),
    client_(peer, CommandNames{settings.move_joints_service, settings.grab_service, settings.release_service})
  {
    if (!scene_.hasPlanningGroup()) {
      throw std::runtime_error("main job: the robot description has no planning group");
    }
    scene_.updateWorldOctomap(cellsOf(sampleSurfaces(tablePillarBoxScene(), 0.01), settings.resolution));
    crossing_ = findCrossing(scene_);
    ArmControllerConfig config;
    config.action_name = settings.action_name;
    config.joint_states_topic = settings.joint_states_topic;
    config.joints = jointSetOf(scene_);
    config.start_positions = crossing_.start;
    config.speed_factor = 4.0;
    controller_ = std::make_unique<ArmController>(peer, config);
    SceneCameraConfig camera_config;
    camera_config.base_frame_id = scene_.getRobotModel()->getModelFrame();
    camera_ = std::make_unique<SceneCamera>(peer, tablePillarBoxScene(), camera_config);
    executor_.add_node(peer);
    spinner_ = std::thread([this] {executor_.spin();});
    feeder_ = std::thread([this, peer] {feed(*peer);});
  }

  ~MainJob()
  {
    stop_ = true;
    feeder_.join();
    executor_.cancel();
    spinner_.join();
  }

  bool run(const std::string & output_dir, std::ostream & table);

private:
  // The camera's scene and the arm's joints, while the job runs.
  void feed(rclcpp::Node & peer)
  {
    for (int tick = 0; !stop_; ++tick) {
      controller_->publishJointState();
      if (tick % 5 == 0) {
        camera_->publishSimulationCloud(peer.now());
      }
      std::this_thread::sleep_for(100ms);
    }
  }

  std::vector<Command> commands();
  Outcome perform(const Command & command);
  bool waitForPlayback(size_t goals_before);
  void writeTrajectory(const std::string & path, const trajectory_msgs::msg::JointTrajectory & t) const;

  const MainJobSettings settings_;
  ManipulatorPlanScene scene_;
  Crossing crossing_;
  NodeOutputRecorders recorders_;
  CommandClient client_;
  std::unique_ptr<ArmController> controller_;
  std::unique_ptr<SceneCamera> camera_;
  rclcpp::executors::SingleThreadedExecutor executor_;
  std::atomic<bool> stop_{false};
  std::thread spinner_;
  std::thread feeder_;
};

std::vector<Command> MainJob::commands()
{
  const auto joint_request = [](const Joints & joints) {
      ArmMoveJoints::Request request;
      request.cmd_type = 0;
      request.joints.data = joints;
      return request;
    };
  const auto pose_request = [](const std::array<double, 7> & pose) {
      ArmMoveJoints::Request request;
      request.cmd_type = 1;
      std::copy(pose.begin(), pose.end(), request.pose.begin());
      return request;
    };
  const auto move = [this](ArmMoveJoints::Request request) {
      return [this, request] {return answerOf(client_.moveJoints(request, kCommandTimeout));};
    };
  const auto at = [](const Joints & goal) {
      return [goal](const Joints & q) {
               for (size_t j = 0; j < goal.size(); ++j) {
                 if (std::abs(q[j] - goal[j]) > 1e-6) {
                   return false;
                 }
               }
               return true;
             };
    };
  const auto & kinematics = scene_.getPlanningGroup()->kinematics_interface_ptr_;
  const Eigen::Matrix4d target = kinematics->forwardKinematics(crossing_.start) * settings_.tool_matrix;
  const auto at_pose = [&kinematics, target, this](const Joints & q) {
      const Eigen::Matrix4d reached = kinematics->forwardKinematics(q) * settings_.tool_matrix;
      return reached.isApprox(target, 1e-6);
    };
  // The tool pointing down above the box, the box given in the tool's frame; released on the other side
  // of the pillar.
  const Cuboid box = tablePillarBoxScene().solids.back();  // the scene lists its box last
  const Eigen::Vector3d box_centre = (box.min + box.max) / 2;
  const Eigen::Vector3d box_size = box.max - box.min;
  CommandClient::ArmGrab::Request grab;
  grab.target_pose = {box_centre.x(), box_centre.y(), box_centre.z() + kGraspHeight, 1.0, 0.0, 0.0, 0.0};
  grab.obb_pose = {0.0, 0.0, kGraspHeight, 0.0, 0.0, 0.0, 1.0};
  grab.obb_size = {box_size.x(), box_size.y(), box_size.z()};
  const Eigen::Matrix4d grasp = poseMatrix(grab.target_pose);
  const auto at_grasp = [&kinematics, grasp, this](const Joints & q) {
      const Eigen::Matrix4d reached = kinematics->forwardKinematics(q) * settings_.tool_matrix;
      return reached.isApprox(grasp, 1e-6);
    };
  CommandClient::ArmRelease::Request release;
  release.cmd_type = 0;
  release.release_joints.data = crossing_.start;
  Joints wrong_size = crossing_.goal;
  wrong_size.push_back(0.0);

  return {
    {"joint goal across the pillar", move(joint_request(crossing_.goal)), 0, at(crossing_.goal)},
    {"pose goal", move(pose_request(poseOf(target))), 0, at_pose},
    {"/move_to_goal goal",
      [this] {
        client_.moveToGoal(crossing_.goal);
        return std::optional<Answer>();
      }, 0, at(crossing_.goal)},
    {"wrong-size joint goal", move(joint_request(wrong_size)), -20, {}},
    {"unreachable pose", move(pose_request({3.0, 0.0, 0.3, 0.0, 0.0, 0.0, 1.0})), -22, {}},
    {"joint goal inside the pillar", move(joint_request(crossing_.inside)), -21, {}},
    {"grab of the box",
      [this, grab] {return answerOf(client_.grab(grab, kCommandTimeout));}, 0, at_grasp},
    {"release across the pillar",
      [this, release] {return answerOf(client_.release(release, kCommandTimeout));}, 0,
      at(crossing_.start)},
  };
}

// A topic command has no answer: its trajectory's playback is awaited here.
bool MainJob::waitForPlayback(size_t goals_before)
{
  const auto deadline = Clock::now() + kCommandTimeout;
  while (Clock::now() < deadline) {
    const auto goals = controller_->acceptedGoals();
    if (goals.size() > goals_before &&
      controller_->positions() == goals.back().points.back().positions)
    {
      return true;
    }
    std::this_thread::sleep_for(10ms);
  }
  return false;
}

Outcome MainJob::perform(const Command & command)
{
  Outcome outcome;
  const size_t goals_before = controller_->acceptedGoals().size();
  const auto start = Clock::now();
  const auto answer = command.call();
  const auto answered = Clock::now();
  bool answer_ok;
  if (answer) {
    outcome.code = std::to_string(answer->code);
    outcome.message = answer->message;
    answer_ok = answer->code == command.expected_code;
  } else if (command.reached) {
    outcome.message = "(topic, no answer)";
    // The node serves its commands one at a time: its answer to a no-motion command shows it has
    // finished with the topic's goal, so the next row times only its own command.
    answer_ok = waitForPlayback(goals_before) && client_.moveJoints(noMotion(), kCommandTimeout);
  } else {
    outcome.message = "(no answer in time)";
    answer_ok = false;
  }
  const auto goals = controller_->acceptedGoals();
  const auto times = controller_->acceptanceTimes();
  outcome.trajectories.assign(goals.begin() + goals_before, goals.end());
  const auto planned = outcome.trajectories.empty() ? answered : times[goals_before];
  outcome.planning_ms = std::chrono::duration<double, std::milli>(planned - start).count();
  const bool motion_ok = command.reached ?
    !outcome.trajectories.empty() && command.reached(outcome.trajectories.back().points.back().positions) :
    outcome.trajectories.empty();
  outcome.as_expected = answer_ok && motion_ok;
  return outcome;
}

void MainJob::writeTrajectory(
  const std::string & path, const trajectory_msgs::msg::JointTrajectory & trajectory) const
{
  std::ofstream out(path);
  out << "time_from_start";
  for (const auto & name : trajectory.joint_names) {
    out << ',' << name;
  }
  out << '\n' << std::setprecision(9);
  for (const auto & point : trajectory.points) {
    out << point.time_from_start.sec + point.time_from_start.nanosec * 1e-9;
    for (double value : point.positions) {
      out << ',' << value;
    }
    out << '\n';
  }
}

double durationOf(const trajectory_msgs::msg::JointTrajectory & trajectory)
{
  const auto & last = trajectory.points.back().time_from_start;
  return last.sec + last.nanosec * 1e-9;
}

bool MainJob::run(const std::string & output_dir, std::ostream & table)
{
  namespace fs = std::filesystem;
  fs::create_directories(output_dir);
  // The node is ready once it answers and has published the camera's scene as its obstacle cloud.
  if (!client_.moveJoints(noMotion(), kStartupTimeout) ||
    !recorders_.obstacle_cloud.waitForCount(1, kStartupTimeout))
  {
    table << "main job: the node did not come up within " << kStartupTimeout.count() << " s\n";
    return false;
  }
  // The joint states of the controller's start reach the node with the next cloud.
  recorders_.obstacle_cloud.waitForCount(recorders_.obstacle_cloud.count() + 1, kStartupTimeout);

  std::vector<std::pair<std::string, Outcome>> rows;
  for (const Command & command : commands()) {
    rows.emplace_back(command.name, perform(command));
  }

  pcl::PointCloud<pcl::PointXYZ> obstacles;
  const auto clouds = recorders_.obstacle_cloud.messages();
  pcl::fromROSMsg(*clouds.back(), obstacles);
  pcl::io::savePCDFileBinary(output_dir + "/obstacle.pcd", obstacles);
  // Judged at the node's resolution against its last obstacle cloud: the bare arm may meet no cell anywhere
  // along the played segments; the figure is its smallest distance at the trajectories' samples.
  PathClearance clearance_check(scene_.getRobotModel(), scene_.getPlanningGroup(), obstacles,
    settings_.resolution);

  table << std::left << std::setw(3) << "#" << std::setw(31) << "command" << std::right << std::setw(5)
        << "code" << "  " << std::left << std::setw(56) << "message" << std::right << std::setw(10)
        << "plan ms" << std::setw(8) << "dur s" << std::setw(5) << "wp" << std::setw(11) << "clear m"
        << "  ok\n";
  bool all_ok = true;
  int trajectory_count = 0;
  for (size_t i = 0; i < rows.size(); ++i) {
    const auto & [name, outcome] = rows[i];
    double duration = 0.0;
    size_t waypoints = 0;
    double clearance = std::numeric_limits<double>::infinity();
    bool untouched = true;
    for (const auto & trajectory : outcome.trajectories) {
      duration += durationOf(trajectory);
      waypoints += trajectory.points.size();
      const JointPath path = pathOf(trajectory);
      untouched = untouched && clearance_check.firstContact(path).empty();
      clearance = std::min(clearance, clearance_check.smallestAtConfigurations(path));
      writeTrajectory(output_dir + "/trajectory_" + std::to_string(++trajectory_count) + ".csv", trajectory);
    }
    const bool moved = !outcome.trajectories.empty();
    const bool ok = outcome.as_expected && untouched;
    all_ok = all_ok && ok;
    std::ostringstream plan, dur, wp, clear;
    plan << std::fixed << std::setprecision(1) << *outcome.planning_ms;
    dur << std::fixed << std::setprecision(2) << duration;
    clear << std::fixed << std::setprecision(4) << clearance;
    table << std::left << std::setw(3) << i + 1 << std::setw(31) << name << std::right << std::setw(5)
          << outcome.code << "  " << std::left << std::setw(56) << outcome.message << std::right
          << std::setw(10) << plan.str() << std::setw(8) << (moved ? dur.str() : "-") << std::setw(5)
          << (moved ? std::to_string(waypoints) : "-") << std::setw(11) << (moved ? clear.str() : "-")
          << (ok ? "  yes" : "  NO") << '\n';
  }
  table << "output: " << fs::absolute(output_dir).string() << " (trajectory_<n>.csv, obstacle.pcd)\n"
        << (all_ok ? "every command answered as expected\n" : "some command did not answer as expected\n");
  return all_ok;
}

}  // namespace

bool runMainJob(
  const rclcpp::Node::SharedPtr & peer, const MainJobSettings & settings,
  const std::string & output_dir, std::ostream & table)
{
  MainJob job(peer, settings);
  return job.run(output_dir, table);
}

}  // namespace arm_sim
