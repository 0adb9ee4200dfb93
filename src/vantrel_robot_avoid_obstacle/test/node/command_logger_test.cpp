#include <array>
#include <ctime>
#include <filesystem>
#include <functional>
#include <regex>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "node/command_logger.h"
#include "support/scratch_directory.h"

namespace fs = std::filesystem;

namespace
{
const fs::path kGolden = fs::path(RAO_SOURCE_DIR) / "src/vantrel_robot_avoid_obstacle/test/node/golden/command_logger";
// Snapshot contents with the bytes a text copy would mangle.
const std::string kObstacleCloud = std::string("obstacle\0\r\n\xff", 12);
const std::string kCutCloud = "cut-out cloud\n";

std::set<fs::path> logDirectories()
{
  std::set<fs::path> found;
  if (fs::is_directory("data"))
  {
    for (const fs::directory_entry& entry : fs::directory_iterator("data"))
    {
      found.insert(entry.path());
    }
  }
  return found;
}

// Runs `record` and returns the one log directory it made (empty when it made none).
fs::path recordInNewDirectory(const std::function<void()>& record)
{
  const std::set<fs::path> before = logDirectories();
  record();
  fs::path made;
  for (const fs::path& directory : logDirectories())
  {
    if (!before.count(directory))
    {
      EXPECT_TRUE(made.empty()) << "a second directory " << directory;
      made = directory;
    }
  }
  return made;
}

// The log directory holds the golden files byte for byte, the two snapshot copies and nothing else.
void expectRecord(const fs::path& directory, const std::string& golden_name)
{
  std::set<std::string> expected_files = {"obstacle.pcd", "remove_obb_obstacle.pcd"};
  for (const fs::directory_entry& golden : fs::directory_iterator(kGolden / golden_name))
  {
    const std::string name = golden.path().filename();
    expected_files.insert(name);
    EXPECT_EQ(readFile(directory / name), readFile(golden.path())) << golden_name << "/" << name;
  }
  std::set<std::string> files;
  for (const fs::directory_entry& entry : fs::directory_iterator(directory))
  {
    files.insert(entry.path().filename());
  }
  EXPECT_EQ(files, expected_files) << golden_name;
  EXPECT_EQ(readFile(directory / "obstacle.pcd"), kObstacleCloud);
  EXPECT_EQ(readFile(directory / "remove_obb_obstacle.pcd"), kCutCloud);
}

std::string timeText(std::time_t time)
{
  std::tm local{};
  localtime_r(&time, &local);
  char text[80];
  std::strftime(text, sizeof(text), "%Y-%m-%d-%H:%M:%S", &local);
  return text;
}

class CommandLoggerTest : public testing::Test
{
protected:
  CommandLoggerTest()
  {
    writeFile("obstacle.pcd", kObstacleCloud);
    writeFile("remove_obb_obstacle.pcd", kCutCloud);
  }

  ScratchDirectory scratch_;
  CommandLogger logger_;
};
}  // namespace

TEST_F(CommandLoggerTest, EveryRecordMatchesItsGoldenFiles)
{
  const JointPath six_joints = {{0.1, -0.25, 0, 0, 0, 0}, {0.2, 0.3, -1.5, 3.14159265, 0, 1}, {0.3, 0.6, -1.2, 0, 1.5, -3.1}};
  const double obb_size[3] = {0.2, 0.1, 0.04};
  const fs::path grab = recordInNewDirectory([&] {
    logger_.saveGrabCmdLog(obb_size, "obstacle.pcd", "armGrabCmd failed!", six_joints, 0.5, 0, 0.2, 0, 1, 0, 0, 0,
                           0, 0.1, 1, 0, 0, 0);
  });
  // The log root did not exist: it is made, and the directory is named by the local time.
  EXPECT_TRUE(std::regex_match(grab.string(), std::regex(R"(data/\d{4}-\d\d-\d\d-\d\d:\d\d:\d\d(-\d+)?)"))) << grab;
  expectRecord(grab, "grab");
  EXPECT_TRUE(logger_.time_stamp_.empty());

  const JointPath to_release = {{0.1, 0.2, 0.3, 0.4, 0.5, 0.6}, {0, 0.5, 1, 0, -0.5, 0}};
  expectRecord(recordInNewDirectory([&] {
                 logger_.saveReleaseCmdLog(6, 0, {0, 0.5, 1, 0, -0.5, 0}, "release second leg failed", to_release);
               }),
               "release_joints");
  expectRecord(recordInNewDirectory([&] {
                 logger_.saveReleaseCmdLog(5, 1, {0.4, -0.1, 0.3, 1, 0, 0, 0}, "release first leg failed", {});
               }),
               "release_pose");
  expectRecord(recordInNewDirectory([&] { logger_.saveReleaseCmdLog(6, 0, {}, "release first leg failed", {}); }),
               "release_nothing");
  expectRecord(recordInNewDirectory([&] {
                 logger_.saveMoveJointsCmdLog("armMoveJointsCmd MoveToGoalNotUpdateObstacle failed!", "obstacle.pcd",
                                              {{0, 0, 0, 0, 0}, {1, -1, 0.5, -0.5, 3}});
               }),
               "move_joints");

  // A pose release without seven values stops after the command's header line.
  testing::internal::CaptureStdout();
  const fs::path short_pose =
      recordInNewDirectory([&] { logger_.saveReleaseCmdLog(6, 1, {0.4, -0.1, 0.3, 1, 0, 0}, "lost", to_release); });
  EXPECT_NE(testing::internal::GetCapturedStdout().find("release.size!=7 when cmdtype==1\n"), std::string::npos);
  expectRecord(short_pose, "release_short_pose");
}

TEST_F(CommandLoggerTest, AMissingSnapshotLeavesAnEmptyCopyAndTheRestOfTheRecord)
{
  fs::remove("remove_obb_obstacle.pcd");
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  const fs::path directory = recordInNewDirectory([&] { logger_.saveMoveJointsCmdLog("failed", "obstacle.pcd", {}); });
  const std::string out = testing::internal::GetCapturedStdout();
  const std::string err = testing::internal::GetCapturedStderr();

  EXPECT_EQ(out, "Directory created successfully.\n文件拷贝成功！\n");
  EXPECT_EQ(err, "无法打开源文件：remove_obb_obstacle.pcd\n");
  EXPECT_EQ(readFile(directory / "obstacle.pcd"), kObstacleCloud);
  EXPECT_TRUE(fs::exists(directory / "remove_obb_obstacle.pcd"));
  EXPECT_EQ(fs::file_size(directory / "remove_obb_obstacle.pcd"), 0u);
  EXPECT_EQ(readFile(directory / "movejointscmd_log_error.txt"), "failed;\n");
  EXPECT_FALSE(fs::exists(directory / "joint_positions.txt"));
}

TEST_F(CommandLoggerTest, LogsWithinOneSecondGetNumberedDirectories)
{
  // Whatever second the logs fall in, its plain name is already taken.
  fs::create_directories("data");
  const std::time_t now = std::time(nullptr);
  std::set<fs::path> taken;
  for (std::time_t t = now; t < now + 5; ++t)
  {
    fs::create_directory(*taken.insert(fs::path("data") / timeText(t)).first);
  }
  const auto split = [](const fs::path& directory) {
    const std::string name = directory.string();
    const std::size_t dash = name.rfind('-');
    return std::make_pair(fs::path(name.substr(0, dash)), name.substr(dash));
  };
  const fs::path first = recordInNewDirectory([&] { logger_.saveMoveJointsCmdLog("first", "obstacle.pcd", {}); });
  const fs::path second = recordInNewDirectory([&] { logger_.saveMoveJointsCmdLog("second", "obstacle.pcd", {}); });

  EXPECT_TRUE(taken.count(split(first).first)) << first;
  EXPECT_EQ(split(first).second, "-2");
  EXPECT_TRUE(taken.count(split(second).first)) << second;
  EXPECT_EQ(split(second).second, split(second).first == split(first).first ? "-3" : "-2") << second;
  EXPECT_EQ(readFile(first / "movejointscmd_log_error.txt"), "first;\n");
  EXPECT_EQ(readFile(second / "movejointscmd_log_error.txt"), "second;\n");
  for (const fs::path& directory : taken)
  {
    EXPECT_TRUE(fs::is_empty(directory)) << directory;
  }
}

TEST_F(CommandLoggerTest, WithoutALogRootNoRecordIsWritten)
{
  writeFile("data", "a file where the log root belongs");
  testing::internal::CaptureStdout();
  testing::internal::CaptureStderr();
  logger_.saveGrabCmdLog(std::array<double, 3>{1, 1, 1}.data(), "obstacle.pcd", "m", {{1}}, 0, 0, 0, 1, 0, 0, 0, 0, 0,
                         0, 1, 0, 0, 0);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "createTimeStampDirectory when save GrabCmd Log.\n");
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "Failed to create directory.\n");
  EXPECT_EQ(logger_.createTimeStampDirectory(), -1);
  EXPECT_EQ(readFile("data"), "a file where the log root belongs");
}
