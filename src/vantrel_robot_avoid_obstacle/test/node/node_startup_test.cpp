// The program as a process: configuration printout, start-up, stop on a signal and early ends.
#include <signal.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/node_process.h"
#include "support/node_workspace.h"

namespace {

const char* const kSimulationLine = "\033[42m initRosNode simulation robot success\033[0m\n";
const char* const kRealLine = "\033[42m initRosNode real robot success\033[0m\n";

// Without a settings file (simulation, stopped by SIGINT) and with the full file (real robot, SIGTERM).
TEST(NodeStartup, PrintsItsSettingsRunsUntilSignalledThenJoinsItsThreadsAndExitsZero) {
  for (const bool full : {false, true}) {
    NodeWorkspace workspace;
    if (full) workspace.writeConfig(fullTestConfig());
    const NodeRun run = runNode("initRosNode", full ? SIGTERM : SIGINT);
    EXPECT_EQ(run.exit_status, 0) << run.err;
    EXPECT_EQ(run.err, "");
    const std::string start = "start robot avoid obstacle node\nmain threadid ============================> ";
    ASSERT_EQ(run.out.rfind(start, 0), 0u) << run.out;
    // From the line after the main-thread line to the closing banner of the settings.
    const std::string banner = "\033[42m ==================para==================\033[0m\n";
    const size_t begin = run.out.find('\n', start.size()) + 1;
    const size_t end = run.out.find(banner, run.out.find(banner, begin) + banner.size()) + banner.size();
    EXPECT_EQ(run.out.substr(begin, end - begin),
              readFile(testFile(full ? "golden/settings_full.txt" : "golden/settings_defaults.txt")));
    EXPECT_EQ(occurrences(run.out, "spinThread start\n"), 1);
    EXPECT_EQ(occurrences(run.out, "spinThread3 start\n"), 1);
    EXPECT_EQ(occurrences(run.out, full ? kRealLine : kSimulationLine), 1);
    EXPECT_EQ(occurrences(run.out, full ? kSimulationLine : kRealLine), 0);
  }
}

// A set-up refused during construction, and two that throw out of it; every other refusal is in node_object_test.
TEST(NodeStartup, ASetUpThatCannotWorkEndsWithItsReasonAndAFailureStatus) {
  const std::vector<std::pair<std::string, const char*>> ends = {
      {"{point_clouds: {resolution: 0.0}}", "resolution_=0.000000 is not a positive octree resolution!"},
      {"{robot_avoid_obstacle: {joints_state_topic: \"joint states?\"}}", "joint states?"},
      {"{robot_avoid_obstacle: {robot_descriptions_path: ./rig/, urdf_path: test_rig.urdf, srdf_path: test_rig.srdf, "
       "planned_joint_group: mount_only}}",
       "longest_valid_segment is too small!\n"},
  };
  for (const auto& [change, reason] : ends) {
    NodeWorkspace workspace;
    workspace.copyIntoWorkspace("src/vantrel_robot_avoid_obstacle/test/planning_scene/fixtures", "rig");
    workspace.writeConfig(fullTestConfig(change));
    const NodeRun run = runNode("initRosNode", SIGINT);
    EXPECT_EQ(run.exit_status, 1) << change;
    EXPECT_NE((run.out + run.err).find(reason), std::string::npos) << change << "\n" << run.out << run.err;
    EXPECT_EQ(run.out.find("initRosNode"), std::string::npos) << change;
    EXPECT_EQ(run.out.find("spinThread"), std::string::npos) << change;
  }
}

}  // namespace
