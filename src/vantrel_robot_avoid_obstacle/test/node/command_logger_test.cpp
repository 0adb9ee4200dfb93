#include <cctype>
#include <cerrno>
#include <cstring>
#include <ctime>
#include <filesystem>
#include <functional>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "node/command_logger.h"
#include "node/point_cloud_snapshot.h"
#include "support/full_disk.h"
#include "support/scratch_directory.h"

namespace fs = std::filesystem;

namespace
{
const fs::path kGolden = fs::path(RAO_SOURCE_DIR) / "src/vantrel_robot_avoid_obstacle/test/node/golden/command_logger";
// Snapshot contents with bytes a text copy would mangle.
const std::string kObstacleCloud = std::string("obstacle\0\r\n\xff", 12);
const std::string kCutCloud = "cut-out cloud\n";

// "data/" and the local time as %Y-%m-%d-%H:%M:%S, perhaps followed by "-" and a number.
bool isLogDirectoryName(const std::string& name)
{
  const std::string pattern = "data/####-##-##-##:##:##";
  for (std::size_t i = 0; i < pattern.size(); ++i)
  {
    const bool digit = i < name.size() && std::isdigit(static_cast<unsigned char>(name[i]));
    if (i >= name.size() || (pattern[i] == '#' ? !digit : name[i] != pattern[i]))
    {
      return false;
    }
  }
  const std::string number = name.substr(pattern.size());
  return number.empty() ||
         (number.size() > 1 && number[0] == '-' &&
          number.find_first_not_of("0123456789", 1) == std::string::npos);
}

std::set<fs::path> entries(const fs::path& directory)
{
  std::set<fs::path> found;
  for (const fs::directory_entry& entry : fs::directory_iterator(directory))
  {
    found.insert(entry.path().filename());
  }
  return found;
}

class CommandLoggerTest : public testing::Test
{
protected:
  CommandLoggerTest()
  {
    writeFile("obstacle.pcd", kObstacleCloud);
    writeFile("remove_obb_obstacle.pcd", kCutCloud);
  }

  // Runs `write` quietly and returns the one log directory it made.
  fs::path record(const std::function<void()>& write)
  {
    const std::set<fs::path> before = fs::exists("data") ? entries("data") : std::set<fs::path>();
    testing::internal::CaptureStdout();
    testing::internal::CaptureStderr();
    write();
    stdout_ = testing::internal::GetCapturedStdout();
    stderr_ = testing::internal::GetCapturedStderr();
    std::set<fs::path> made;
    for (const fs::path& name : entries("data"))
    {
      if (!before.count(name))
      {
        made.insert(fs::path("data") / name);
      }
    }
    EXPECT_EQ(made.size(), 1u);
    return made.empty() ? fs::path() : *made.begin();
  }

  ScratchDirectory scratch_;
  CommandLogger logger_;
  std::string stdout_;
  std::string stderr_;
};
}  // namespace

TEST_F(CommandLoggerTest, EveryRecordMatchesItsGoldenFilesByteForByte)
{
  const JointPath six_joints = {{0.1, -0.25, 0, 0, 0, 0}, {0.2, 0.3, -1.5, 3.14159265, 0, 1}, {0.3, 0.6, -1.2, 0, 1.5, -3.1}};
  const JointPath to_release = {{0.1, 0.2, 0.3, 0.4, 0.5, 0.6}, {0, 0.5, 1, 0, -0.5, 0}};
  const double obb_size[3] = {0.2, 0.1, 0.04};
  const std::pair<const char*, std::function<void()>> records[] = {
      {"grab", [&] { logger_.saveGrabCmdLog(obb_size, "obstacle.pcd", "armGrabCmd failed!", six_joints, 0.5, 0, 0.2,
                                            0, 1, 0, 0, 0, 0, 0.1, 1, 0, 0, 0); }},
      {"release_joints",
       [&] { logger_.saveReleaseCmdLog(6, 0, {0, 0.5, 1, 0, -0.5, 0}, "release second leg failed", to_release); }},
      {"release_pose", [&] { logger_.saveReleaseCmdLog(5, 1, {0.4, -0.1, 0.3, 1, 0, 0, 0}, "release first leg failed", {}); }},
      // A pose release without seven values stops after the command's header line.
      {"release_short_pose", [&] { logger_.saveReleaseCmdLog(6, 1, {0.4, -0.1, 0.3, 1, 0, 0}, "lost", to_release); }},
      {"move_joints", [&] { logger_.saveMoveJointsCmdLog("armMoveJointsCmd MoveToGoalNotUpdateObstacle failed!",
                                                         "obstacle.pcd", {{0, 0, 0, 0, 0}, {1, -1, 0.5, -0.5, 3}}); }},
  };
  for (const auto& [golden, write] : records)
  {
    const fs::path directory = record(write);
    // The log root did not exist at first: it is made, and each directory is named by the local time.
    EXPECT_TRUE(isLogDirectoryName(directory.string())) << directory;
    std::set<fs::path> expected = {"obstacle.pcd", "remove_obb_obstacle.pcd"};
    for (const fs::path& name : entries(kGolden / golden))
    {
      expected.insert(name);
      EXPECT_EQ(readFile(directory / name), readFile(kGolden / golden / name)) << golden << "/" << name;
    }
    EXPECT_EQ(entries(directory), expected) << golden;
    EXPECT_EQ(readFile(directory / "obstacle.pcd"), kObstacleCloud);
    EXPECT_EQ(readFile(directory / "remove_obb_obstacle.pcd"), kCutCloud);
  }
}

TEST_F(CommandLoggerTest, LogsWithinOneSecondGetNumberedDirectoriesAndAMissingSnapshotAnEmptyCopy)
{
  // Whatever second the logs fall in, its plain name is taken already.
  std::set<fs::path> taken;
  for (std::time_t t = std::time(nullptr), end = t + 5; t < end; ++t)
  {
    std::tm local{};
    localtime_r(&t, &local);
    char name[80];
    std::strftime(name, sizeof(name), "%Y-%m-%d-%H:%M:%S", &local);
    fs::create_directories(*taken.insert(fs::path("data") / name).first);
  }
  const auto split = [](const fs::path& directory) {
    const std::string name = directory.string();
    return std::make_pair(fs::path(name.substr(0, name.rfind('-'))), name.substr(name.rfind('-')));
  };
  const fs::path first = record([&] { logger_.saveMoveJointsCmdLog("first", "obstacle.pcd", {}); });
  fs::remove("remove_obb_obstacle.pcd");
  const fs::path second = record([&] { logger_.saveMoveJointsCmdLog("second", "obstacle.pcd", {}); });
  EXPECT_NE(stderr_, "");
  EXPECT_TRUE(taken.count(split(first).first)) << first;
  EXPECT_EQ(split(first).second, "-2");
  EXPECT_TRUE(taken.count(split(second).first)) << second;
  EXPECT_EQ(split(second).second, split(second).first == split(first).first ? "-3" : "-2");
  EXPECT_EQ(readFile(second / "movejointscmd_log_error.txt"), "second;\n");
  EXPECT_EQ(readFile(second / "obstacle.pcd"), kObstacleCloud);
  EXPECT_EQ(readFile(second / "remove_obb_obstacle.pcd"), "");
  EXPECT_EQ(entries(second).size(), 3u);
  for (const fs::path& directory : taken)
  {
    EXPECT_TRUE(fs::is_empty(directory)) << directory;
  }
}

TEST_F(CommandLoggerTest, OnAFullDiskEveryFailedWriteIsReportedWithItsFileAndThePreviousSnapshotStaysWhole)
{
  const FullDisk disk("disk");
  if (!disk.mounted())
  {
    GTEST_SKIP() << "no file system can be mounted here: " << disk.error();
  }
  fs::current_path("disk");
  pcl::PointCloud<pcl::PointXYZ> cloud;
  for (int i = 0; i < 200; ++i)
  {
    cloud.emplace_back(0.001f * i, -0.5f, 1.25f);
  }
  ASSERT_TRUE(writePointCloudSnapshot("obstacle.pcd", cloud));
  const std::string previous = readFile("obstacle.pcd");
  writeFile("remove_obb_obstacle.pcd", kCutCloud);
  fs::create_directory("data");
  disk.fill();
  const std::string full = std::strerror(ENOSPC);

  cloud.emplace_back(1, 1, 1);
  testing::internal::CaptureStdout();
  EXPECT_FALSE(writePointCloudSnapshot("obstacle.pcd", cloud));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "write pcd error. obstacle.pcd: " + full + "\n");
  EXPECT_EQ(readFile("obstacle.pcd"), previous);
  EXPECT_EQ(entries("."), (std::set<fs::path>{"data", "filler", "obstacle.pcd", "remove_obb_obstacle.pcd"}));

  // The copies and the command file fail; the record ends there.
  const double obb_size[3] = {0.2, 0.1, 0.04};
  const std::string directory = record([&] {
    logger_.saveGrabCmdLog(obb_size, "obstacle.pcd", "armGrabCmd failed!", {{0, 0, 0, 0, 0}}, 0.5, 0, 0.2, 0, 1, 0,
                           0, 0, 0, 0.1, 1, 0, 0, 0);
  });
  EXPECT_TRUE(isLogDirectoryName(directory)) << directory;
  EXPECT_EQ(stdout_, "Directory created successfully.\ncan not write " + directory + "/grabcmd.txt: " + full + "\n");
  EXPECT_EQ(stderr_, "无法写入目标文件：" + directory + "/obstacle.pcd: " + full + "\n" + "无法写入目标文件：" +
                     directory + "/remove_obb_obstacle.pcd: " + full + "\n");
  EXPECT_EQ(entries(directory), (std::set<fs::path>{"grabcmd.txt", "obstacle.pcd", "remove_obb_obstacle.pcd"}));
}
