// A command whose record cannot be written answers as it would have: the node on the real robot's settings with its
// record directory on a full file system.
#include <gtest/gtest.h>

#include <cerrno>
#include <cstring>
#include <filesystem>

#include "node_rig.h"
#include "support/full_disk.h"

namespace {

// The node's threads, started by the test, are then in the namespace where the full disk is mounted.
class PrivateMountNamespace : public testing::Environment {
 public:
  void SetUp() override { enterPrivateMountNamespace(); }
};
testing::Environment* const kPrivateMountNamespace = testing::AddGlobalTestEnvironment(new PrivateMountNamespace);

TEST(CommandRecordFailure, AFailedJointGoalAnswersItsCodeAndReportsEachFailedWriteOfItsRecord) {
  NodeRig rig(nodeConfig(Arm::Five, true));
  RosTwoWrapper& node = rig.node();
  fillObstacleMap(node);
  const Crossing crossing = findCrossing(rig);
  ASSERT_FALSE(crossing.start.empty());
  Access::setCurrentJoints(node, crossing.start);
  writeFile("obstacle.pcd", "obstacle cloud\n");
  writeFile("remove_obb_obstacle.pcd", "cut-out cloud\n");
  const FullDisk disk("data");
  if (!disk.mounted()) GTEST_SKIP() << "no file system can be mounted here: " << disk.error();
  disk.fill();

  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const auto response = Access::moveJoints(node, jointRequest(crossing.inside));
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(response.code, -21);
  EXPECT_EQ(response.message, "armMoveJointsCmd MoveToGoalNotUpdateObstacle failed!");
  // The record's directory is made; none of its files can be written.
  std::filesystem::path record;
  for (const auto& entry : std::filesystem::directory_iterator("data")) {
    if (entry.is_directory()) record = entry.path();
  }
  ASSERT_FALSE(record.empty()) << out << err;
  const std::string full = std::string(": ") + std::strerror(ENOSPC) + "\n";
  EXPECT_NE(out.find("Directory created successfully.\ncan not write " + record.string() +
                     "/movejointscmd_log_error.txt" + full),
            std::string::npos)
      << out;
  EXPECT_EQ(err, "无法写入目标文件：" + record.string() + "/obstacle.pcd" + full + "无法写入目标文件：" +
                     record.string() + "/remove_obb_obstacle.pcd" + full);
  EXPECT_EQ(out.find("文件拷贝成功！"), std::string::npos) << out;
}

}  // namespace
