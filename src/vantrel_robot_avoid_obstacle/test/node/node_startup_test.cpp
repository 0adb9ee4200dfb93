// The program as a process: configuration printout, start-up, stop on a signal and early ends.
#include <signal.h>

#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "support/node_process.h"
#include "support/node_workspace.h"

namespace {

// Without a settings file (simulation, stopped by SIGINT) and with the full file (real robot, SIGTERM) the program
// prints its settings, starts both spin threads and its mode line once, and exits 0 when signalled. A set-up refused
// during construction, and two that throw out of it, end it with the reason and status 1 before anything runs (every
// other refusal is checked in node_object_test).
TEST(NodeStartup, PrintsItsSettingsRunsUntilSignalledOrEndsEarlyWithItsReason) {
  struct Run {
    const char* change;  // to the full file; none for no file
    int signal;
    const char* expected;  // the settings golden file, or the reason for an early end
  };
  const std::vector<Run> runs = {
      {nullptr, SIGINT, "golden/settings_defaults.txt"},
      {"{}", SIGTERM, "golden/settings_full.txt"},
      {"{point_clouds: {resolution: 0.0}}", SIGINT, "resolution_=0.000000 is not a positive octree resolution!"},
      {"{robot_avoid_obstacle: {joints_state_topic: \"joint states?\"}}", SIGINT, "joint states?"},
      {"{robot_avoid_obstacle: {robot_descriptions_path: ./rig/, urdf_path: test_rig.urdf, srdf_path: test_rig.srdf, "
       "planned_joint_group: mount_only}}",
       SIGINT, "longest_valid_segment is too small!\n"},
  };
  const std::string start = "start robot avoid obstacle node\nmain threadid ============================> ";
  const std::string banner = "\033[42m ==================para==================\033[0m\n";
  const std::string simulation = "\033[42m initRosNode simulation robot success\033[0m\n";
  const std::string real = "\033[42m initRosNode real robot success\033[0m\n";
  for (const Run& run : runs) {
    const std::string what = run.change ? run.change : "no file";
    NodeWorkspace workspace;
    workspace.copyIntoWorkspace("src/vantrel_robot_avoid_obstacle/test/planning_scene/fixtures", "rig");
    if (run.change) workspace.writeConfig(fullTestConfig(run.change));
    const NodeRun node = runNode("initRosNode", run.signal);
    EXPECT_EQ(node.out.rfind(start, 0), 0u) << what << node.out;
    if (std::string(run.expected).rfind("golden/", 0) != 0) {
      EXPECT_EQ(node.exit_status, 1) << what;
      EXPECT_NE((node.out + node.err).find(run.expected), std::string::npos) << what << "\n" << node.out << node.err;
      EXPECT_EQ(node.out.find("initRosNode"), std::string::npos) << what;
      EXPECT_EQ(node.out.find("spinThread"), std::string::npos) << what;
      continue;
    }
    EXPECT_EQ(node.exit_status, 0) << what << node.err;
    EXPECT_EQ(node.err, "") << what;
    // From the line after the main-thread line to the closing banner of the settings.
    const size_t begin = node.out.find('\n', start.size()) + 1;
    const size_t end = node.out.find(banner, node.out.find(banner, begin) + banner.size()) + banner.size();
    EXPECT_EQ(node.out.substr(begin, end - begin), readFile(testFile(run.expected))) << what;
    EXPECT_EQ(occurrences(node.out, "spinThread start\n"), 1) << what;
    EXPECT_EQ(occurrences(node.out, "spinThread3 start\n"), 1) << what;
    EXPECT_EQ(occurrences(node.out, run.change ? real : simulation), 1) << what;
    EXPECT_EQ(occurrences(node.out, run.change ? simulation : real), 0) << what;
  }
}

}  // namespace
