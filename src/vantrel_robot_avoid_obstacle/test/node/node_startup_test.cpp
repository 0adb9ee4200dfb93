// The program as a process: configuration printout, start-up, stop on a signal and every early end.
#include <signal.h>

#include <functional>
#include <utility>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/node_process.h"
#include "support/node_workspace.h"

namespace {

const char* const kSimulationLine = "\033[42m initRosNode simulation robot success\033[0m\n";
const char* const kRealLine = "\033[42m initRosNode real robot success\033[0m\n";

// From the line after the main-thread line to the closing banner of the settings.
std::string settingsPrintout(const std::string& out) {
  const std::string banner = "\033[42m ==================para==================\033[0m\n";
  const size_t start = out.find('\n', out.find("main threadid")) + 1;
  const size_t closing = out.find(banner, out.find(banner, start) + banner.size());
  return closing == std::string::npos ? out.substr(start) : out.substr(start, closing + banner.size() - start);
}

NodeRun runUntilRunning(int signal = SIGINT) { return runNode("initRosNode", signal); }

TEST(NodeStartup, SettingsPrintoutOfDefaultsAndOfAFullFile) {
  NodeWorkspace workspace;
  const NodeRun defaults = runUntilRunning();
  EXPECT_EQ(defaults.exit_status, 0) << defaults.err;
  EXPECT_EQ(settingsPrintout(defaults.out), readFile(testFile("golden/settings_defaults.txt")));

  workspace.writeConfig(fullTestConfig());
  const NodeRun full = runUntilRunning();
  EXPECT_EQ(full.exit_status, 0) << full.err;
  EXPECT_EQ(settingsPrintout(full.out), readFile(testFile("golden/settings_full.txt")));
}

TEST(NodeStartup, RunsUntilSignalledThenJoinsItsThreadsAndExitsZero) {
  for (const auto& [real_robot, signal] : {std::pair<bool, int>{false, SIGINT}, {true, SIGTERM}}) {
    NodeWorkspace workspace;
    YAML::Node config = fullTestConfig();
    config["robot_avoid_obstacle"]["real_robot_flag"] = real_robot;
    workspace.writeConfig(config);
    const NodeRun run = runUntilRunning(signal);
    const std::string what = std::string(real_robot ? "real robot, " : "simulation, ") + strsignal(signal);
    EXPECT_EQ(run.exit_status, 0) << what << run.err;
    EXPECT_EQ(run.err, "") << what;
    EXPECT_EQ(run.out.rfind("start robot avoid obstacle node\nmain threadid ============================> ", 0), 0u)
        << what;
    EXPECT_EQ(occurrences(run.out, "spinThread start\n"), 1) << what;
    EXPECT_EQ(occurrences(run.out, "spinThread3 start\n"), 1) << what;
    EXPECT_EQ(occurrences(run.out, real_robot ? kRealLine : kSimulationLine), 1) << what;
    EXPECT_EQ(occurrences(run.out, real_robot ? kSimulationLine : kRealLine), 0) << what;
  }
}

TEST(NodeStartup, ASetUpThatCannotWorkEndsWithItsReasonAndAFailureStatus) {
  struct EarlyEnd {
    const char* what;
    std::function<void(const NodeWorkspace&, YAML::Node&)> apply;
    const char* reason;  // in the standard output or the standard error
  };
  const std::vector<EarlyEnd> ends = {
      {"zero resolution", [](auto&, YAML::Node& c) { c["point_clouds"]["resolution"] = 0.0; },
       "resolution_=0.000000 is not a positive octree resolution!"},
      {"resolution not a number", [](auto&, YAML::Node& c) { c["point_clouds"]["resolution"] = ".nan"; },
       "is not a positive octree resolution!"},
      {"scaled camera rotation",
       [](auto&, YAML::Node& c) { c["color_camera1"]["camera_extrinsic"]["data"][0] = 2.0; },
       "camera1_to_robot_base_ is not a rigid transform!"},
      {"tool matrix last row", [](auto&, YAML::Node& c) { c["grab_garbage_module"]["tool_matrix"]["data"][12] = 0.5; },
       "tool_matrix_ is not a rigid transform!"},
      {"box bounds crossed", [](auto&, YAML::Node& c) { c["point_clouds"]["point_cloud_minx"] = 1.0; },
       "point_cloud_minx_=1.000000 is greater than point_cloud_maxx_=0.600000!"},
      {"configured group absent",
       [](auto&, YAML::Node& c) {
         useArm6(c, "./src/robot_avoid_obstacle/resources/robot_descriptions/arm6_description/");
         c["robot_avoid_obstacle"]["planned_joint_group"] = "none";
       },
       "we can not find <none> joint group. \n"},
      {"collision mesh missing",
       [](const NodeWorkspace& w, YAML::Node& c) {
         const std::string copy =
             w.copyIntoWorkspace("src/robot_avoid_obstacle/resources/robot_descriptions/arm6_description", "arm6");
         std::remove((copy + "/meshes/gripper_body.stl").c_str());
         useArm6(c, "./arm6/");
       },
       "robot model <arm6> has set-up errors:"},
      {"topic name the middleware rejects",
       [](auto&, YAML::Node& c) { c["robot_avoid_obstacle"]["joints_state_topic"] = "joint states?"; },
       "joint states?"},
      {"group without extent",
       [](const NodeWorkspace& w, YAML::Node& c) {
         w.copyIntoWorkspace("src/vantrel_robot_avoid_obstacle/test/planning_scene/fixtures", "rig");
         c["robot_avoid_obstacle"]["robot_descriptions_path"] = "./rig/";
         c["robot_avoid_obstacle"]["urdf_path"] = "test_rig.urdf";
         c["robot_avoid_obstacle"]["srdf_path"] = "test_rig.srdf";
         c["robot_avoid_obstacle"]["planned_joint_group"] = "mount_only";
       },
       "longest_valid_segment is too small!\n"},
  };
  for (const EarlyEnd& end : ends) {
    NodeWorkspace workspace;
    YAML::Node config = fullTestConfig();
    end.apply(workspace, config);
    workspace.writeConfig(config);
    const NodeRun run = runUntilRunning();
    EXPECT_EQ(run.exit_status, 1) << end.what;
    EXPECT_NE((run.out + run.err).find(end.reason), std::string::npos) << end.what << "\n" << run.out << run.err;
    EXPECT_EQ(run.out.find("initRosNode"), std::string::npos) << end.what;
    EXPECT_EQ(run.out.find("spinThread"), std::string::npos) << end.what;
  }
}

}  // namespace
