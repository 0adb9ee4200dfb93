// The program as a process: configuration printout, start-up, stop on a signal and early ends.
#include <signal.h>
#include <sys/stat.h>

#include <algorithm>
#include <filesystem>
#include <functional>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "node/ros_two_wrapper.h"
#include "support/node_process.h"
#include "support/node_workspace.h"

namespace {

const char* const kSimulationLine = "\033[42m initRosNode simulation robot success\033[0m\n";
const char* const kRealLine = "\033[42m initRosNode real robot success\033[0m\n";

// Without a settings file (simulation, stopped by SIGINT) and with the full file (real robot, SIGTERM): the settings,
// the robot model, the joint limits and the camera set-up as the construction prints them.
TEST(NodeStartup, PrintsItsSettingsRunsUntilSignalledThenJoinsItsThreadsAndExitsZero) {
  for (const bool full : {false, true}) {
    NodeWorkspace workspace;
    if (full) workspace.writeConfig(fullTestConfig());
    const NodeRun run = runNode("initRosNode", full ? SIGTERM : SIGINT);
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::string start = "start robot avoid obstacle node\nmain threadid ============================> ";
    ASSERT_EQ(run.out.rfind(start, 0), 0u) << run.out;
    // The whole construction: from the line after the main-thread line to the first line of the running node.
    const size_t begin = run.out.find('\n', start.size()) + 1;
    const size_t end = std::min(run.out.find("spinThread"), run.out.find("\033[42m initRosNode"));
    std::string construction = run.out.substr(begin, end - begin);
    // Mesh paths name the working directory.
    const std::string workspace_path = std::filesystem::current_path().string();
    for (size_t at = construction.find(workspace_path); at != std::string::npos;
         at = construction.find(workspace_path, at)) {
      construction.replace(at, workspace_path.size(), "<workspace>");
    }
    EXPECT_EQ(construction, readFile(testFile(full ? "golden/startup_full.txt" : "golden/startup_defaults.txt")));
    EXPECT_EQ(occurrences(run.out, "spinThread start\n"), 1);
    EXPECT_EQ(occurrences(run.out, "spinThread3 start\n"), 1);
    EXPECT_EQ(occurrences(run.out, full ? kRealLine : kSimulationLine), 1);
    EXPECT_EQ(occurrences(run.out, full ? kSimulationLine : kRealLine), 0);
  }
}

// Description files for the rows below: "desc/" holds links to the five-axis arm's files, and `name` as `make`
// makes it.
std::function<void(NodeWorkspace&)> describeWith(const std::string& name,
                                                 std::function<void(const std::string&)> make) {
  return [name, make](NodeWorkspace&) {
    const std::string arm5 = std::filesystem::absolute("src/robot_avoid_obstacle/resources/robot_descriptions/"
                                                       "arm5_description/").string();
    std::filesystem::create_directory("desc");
    std::filesystem::create_symlink(arm5 + "urdf/arm5.urdf", "desc/arm5.urdf");
    std::filesystem::create_symlink(arm5 + "srdf/arm5.srdf", "desc/arm5.srdf");
    make("desc/" + name);
  };
}

// Ordinary calibrations start; every impossible setting, a configuration file that exists but cannot be loaded and
// description files that are no regular files end the start-up with their reason and status 1. Further refusals
// are rows of node_object_test.
TEST(NodeStartup, OrdinaryValuesStartAndImpossibleOnesEndWithTheirReasonAndAFailureStatus) {
  // The default extrinsics and a tool turned 30 degrees about x, written with four decimals.
  const std::string four_decimals =
      "color_camera1: {camera_extrinsic: {data: [-0.0140, 0.0779, -0.9969, -0.0676, 0.9995, -0.0270, -0.0161, "
      "-0.2765, -0.0282, -0.9966, -0.0775, 0.4859, 0, 0, 0, 1]}}, "
      "color_camera2: {camera_extrinsic: {data: [-0.0109, 0.7903, -0.6126, -0.0881, 0.9998, -0.0024, -0.0208, "
      "-0.2788, -0.0179, -0.6127, -0.7901, 0.4285, 0, 0, 0, 1]}}, "
      "color_camera3: {camera_extrinsic: {data: [0.0487, -0.9988, -0.0020, 0.0640, 0.9981, 0.0487, -0.0372, "
      "-0.0109, 0.0373, -0.0002, 0.9993, 0.0501, 0, 0, 0, 1]}}, "
      "grab_garbage_module: {tool_matrix: {data: [1, 0, 0, 0.1, 0, 0.8660, -0.5000, 0, 0, 0.5000, 0.8660, 0.2, 0, "
      "0, 0, 1]}}";
  const std::string desc = "robot_avoid_obstacle: {robot_descriptions_path: ./desc/, urdf_path: ";
  // The arm with a first joint that may not move.
  const auto stillArm = [](const std::string& path) {
    std::string arm = readFile("desc/arm5.urdf");
    writeFile(path, arm.replace(arm.find("velocity=\"2.0\""), 14, "velocity=\"0\""));
  };
  const auto link = [](const char* target) {
    return [target](const std::string& path) { std::filesystem::create_symlink(target, path); };
  };
  struct Row {
    std::string change;
    std::string reason;
    std::function<void(NodeWorkspace&)> prepare = {};
    int status = 1;
  };
  const std::vector<Row> rows = {
      {"{" + four_decimals + "}", "", {}, 0},
      {"{robot_avoid_obstacle: {real_robot_flag: false}, " + four_decimals + "}", "", {}, 0},
      // Impossible values.
      {"{robot_avoid_obstacle: {robot_padding: -0.01}}",
       "robot_padding_=-0.010000 is not a finite padding of zero or more!"},
      {"{robot_avoid_obstacle: {robot_padding: .nan}}", "robot_padding_=nan is not a finite padding of zero or more!"},
      {"{robot_avoid_obstacle: {robot_scale: 0}}", "robot_scale_=0.000000 is not a positive scale!"},
      {"{robot_avoid_obstacle: {robot_scale: .inf}}", "robot_scale_=inf is not a positive scale!"},
      {"{point_clouds: {resolution: 0.0}}", "resolution_=0.000000 is not a positive octree resolution!"},
      {"{point_clouds: {resolution: 0.00001}}",
       "resolution_=0.000010 gives an octree of +-0.327680 m, too small for the point cloud box [-0.500000, 0.600000] "
       "x [-0.700000, 0.800000] x [-0.100000, 1.250000]!"},
      {"{color_camera2: {camera_extrinsic: {data: [-1, 0, 0, 0.1, 0, 0, -1, 0.2, 0, 1, 0, 0.3, 0, 0, 0, 1]}}}",
       "camera2_to_robot_base_ is not a rigid transform!"},
      {"{color_camera3: {camera_extrinsic: {data: [1.01, 0, 0, 0, 0, 1.01, 0, 0, 0, 0, 1.01, 0.05, 0, 0, 0, 1]}}}",
       "camera3_to_robot_tcp_ is not a rigid transform!"},
      {"{color_camera1: {camera_extrinsic: {data: [0, -1, 0, .inf, 1, 0, 0, -0.25, 0, 0, 1, 1.125, 0, 0, 0, 1]}}}",
       "camera1_to_robot_base_ is not a rigid transform!"},
      {"{robot_avoid_obstacle: {cameras_num: 0}}",
       "cameras_num init error!\n\033[41m cameras_num_=0 is not a camera count from 1 to 3!"},
      {"{robot_avoid_obstacle: {cameras_num: 4, pointcloud_input_source: 1}}",
       "cameras_num init error!\n\033[41m cameras_num_=4 is not a camera count from 1 to 3!"},
      {"{robot_avoid_obstacle: {pointcloud_input_source: 3}}",
       "pointcloud input source error\n\033[41m pointcloud_input_source_=3 is not 1 (point clouds) or 2 (depth "
       "images)!"},
      {"{color_camera2: {camera_intrinsic: {fx: 0, cx: 300, fy: 500, cy: 200, k1: 0, k2: 0, p1: 0, p2: 0, k3: 0}}}",
       "camera2_intrinsic_:fx=0.000000 is not a positive focal length!"},
      {"{" + desc + "still.urdf, srdf_path: arm5.srdf}}",
       "the 1 axis vmax=0.000000,amax=3.000000: a joint needs positive velocity and acceleration limits!",
       describeWith("still.urdf", stillArm)},
      {"{robot_avoid_obstacle: {joints_state_topic: \"joint states?\"}}", "joint states?"},
      {"{robot_avoid_obstacle: {robot_descriptions_path: ./rig/, urdf_path: test_rig.urdf, srdf_path: test_rig.srdf, "
       "planned_joint_group: mount_only}}",
       "longest_valid_segment is too small!\n",
       [](NodeWorkspace& workspace) {
         workspace.copyIntoWorkspace("src/vantrel_robot_avoid_obstacle/test/planning_scene/fixtures", "rig");
       }},
      // Files that cannot be loaded.
      {"{}", "configuration file ./src/vantrel_robot_avoid_obstacle/config/config_params.yaml, line 3, column 1: "
             "end of sequence flow not found",
       [](NodeWorkspace& workspace) { workspace.writeConfigText("point_clouds: {resolution: 0.01,\n  robot: [\n"); }},
      {"{}", "configuration file ./src/vantrel_robot_avoid_obstacle/config/config_params.yaml: not a regular file",
       [](NodeWorkspace&) {
         std::filesystem::remove(RosTwoWrapper::kConfigPath);
         std::filesystem::create_directory(RosTwoWrapper::kConfigPath);
       }},
      {"{" + desc + "zero.urdf, srdf_path: arm5.srdf}}", "File ./desc/zero.urdf could not be read: not a regular file",
       describeWith("zero.urdf", link("/dev/zero"))},
      {"{" + desc + "fifo.urdf, srdf_path: arm5.srdf}}", "File ./desc/fifo.urdf could not be read: not a regular file",
       describeWith("fifo.urdf", [](const std::string& path) { ASSERT_EQ(mkfifo(path.c_str(), 0644), 0); })},
      {"{" + desc + "urdf.d, srdf_path: arm5.srdf}}", "File ./desc/urdf.d could not be read: not a regular file",
       describeWith("urdf.d", [](const std::string& path) { std::filesystem::create_directory(path); })},
      {"{" + desc + "arm5.urdf, srdf_path: zero.srdf}}", "SRDF file './desc/zero.srdf' could not be read",
       describeWith("zero.srdf", link("/dev/zero"))},
  };
  for (const Row& row : rows) {
    NodeWorkspace workspace;
    workspace.writeConfig(fullTestConfig(row.change));
    if (row.prepare) row.prepare(workspace);
    const NodeRun run = runNode("initRosNode", SIGINT);
    const std::string said = run.out + run.err;
    EXPECT_EQ(run.exit_status, row.status) << row.change << "\n" << said;
    if (row.status == 0) {
      EXPECT_EQ(said.find("\033[41m"), std::string::npos) << row.change << "\n" << said;
      EXPECT_EQ(occurrences(run.out, "initRosNode"), 1) << row.change;
      continue;
    }
    EXPECT_NE(said.find(row.reason), std::string::npos) << row.change << "\n" << said;
    EXPECT_EQ(run.out.find("initRosNode"), std::string::npos) << row.change;
    EXPECT_EQ(run.out.find("spinThread"), std::string::npos) << row.change;
  }
}

}  // namespace
