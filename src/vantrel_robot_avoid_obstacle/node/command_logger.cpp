#include "node/command_logger.h"

#include <sys/stat.h>

#include <algorithm>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <ctime>
#include <iostream>
#include <memory>

#include "node/output_file.h"

namespace
{
const char* const kLogRoot = "data";
// Directories tried within one second before giving up.
constexpr int kMaxDirectoriesPerSecond = 1000;

struct FileCloser
{
  void operator()(std::FILE* file) const { std::fclose(file); }
};

// Opens `name` in the log directory for writing; reports when it cannot.
std::unique_ptr<OutputFile> openLogFile(const std::string& directory, const char* name)
{
  auto file = std::make_unique<OutputFile>(directory + "/" + name, "w+");
  if (!file->isOpen())
  {
    std::printf("can not open %s!!!\n", name);
    file.reset();
  }
  return file;
}

// Closes a log file; false, after a message naming the file and the error, when its content did not all reach it.
bool closeLogFile(OutputFile& file)
{
  const int error = file.close();
  if (error != 0)
  {
    std::printf("can not write %s: %s\n", file.path().c_str(), std::strerror(error));
  }
  return error == 0;
}

void writeValues(OutputFile& file, const double* values, std::size_t count)
{
  for (std::size_t i = 0; i < count; ++i)
  {
    file.print(i + 1 < count ? "%lf," : "%lf;\n", values[i]);
  }
}

bool writeMessageFile(const std::string& directory, const char* name, const std::string& message)
{
  const std::unique_ptr<OutputFile> file = openLogFile(directory, name);
  if (!file)
  {
    return false;
  }
  file->print("%s;\n", message.c_str());
  return closeLogFile(*file);
}

std::string localTimeText()
{
  const std::time_t now = std::time(nullptr);
  std::tm local{};
  localtime_r(&now, &local);
  char text[80];
  std::strftime(text, sizeof(text), "%Y-%m-%d-%H:%M:%S", &local);
  return text;
}
}  // namespace

int CommandLogger::createTimeStampDirectory()
{
  const std::string base = std::string(kLogRoot) + "/" + localTimeText();
  time_stamp_ = base;
  if (::mkdir(kLogRoot, 0775) != 0 && errno != EEXIST)
  {
    std::cerr << "Failed to create directory." << std::endl;
    return -1;
  }
  for (int n = 1; n <= kMaxDirectoriesPerSecond; ++n)
  {
    const std::string candidate = n == 1 ? base : base + "-" + std::to_string(n);
    if (::mkdir(candidate.c_str(), 0775) == 0)
    {
      time_stamp_ = candidate;
      std::cout << "Directory created successfully." << std::endl;
      return 0;
    }
    if (errno != EEXIST)
    {
      break;
    }
  }
  std::cerr << "Failed to create directory." << std::endl;
  return -1;
}

void CommandLogger::saveJointPoints(const JointPath& path)
{
  if (time_stamp_.empty())
  {
    std::puts("time_stamp_ is empty when saveJointPoints");
    return;
  }
  if (path.empty())
  {
    return;
  }
  const std::unique_ptr<OutputFile> file = openLogFile(time_stamp_, "joint_positions.txt");
  if (!file)
  {
    return;
  }
  file->print("%d,%d;\n", static_cast<int>(path.size()), static_cast<int>(path.front().size()));
  for (const std::vector<double>& waypoint : path)
  {
    writeValues(*file, waypoint.data(), waypoint.size());
  }
  closeLogFile(*file);
}

bool CommandLogger::beginRecord(const char* failure_message, const std::string& cloud_file)
{
  time_stamp_.clear();
  if (createTimeStampDirectory() != 0)
  {
    std::puts(failure_message);
    return false;
  }
  copyFile(cloud_file, time_stamp_ + "/" + cloud_file);
  copyFile("remove_obb_obstacle.pcd", time_stamp_ + "/remove_obb_obstacle.pcd");
  return true;
}

void CommandLogger::finishRecord(const char* error_file, const std::string& message, const JointPath& path)
{
  if (!writeMessageFile(time_stamp_, error_file, message))
  {
    return;
  }
  saveJointPoints(path);
  time_stamp_.clear();
}

void CommandLogger::saveMoveJointsCmdLog(std::string message, std::string cloud_file, const JointPath& path)
{
  if (beginRecord("createTimeStampDirectory when save GrabCmd Log.", cloud_file))
  {
    finishRecord("movejointscmd_log_error.txt", message, path);
  }
}

void CommandLogger::saveGrabCmdLog(const double* obb_size, std::string cloud_file, std::string message,
                                   const JointPath& path, double target_x, double target_y, double target_z,
                                   double target_qw, double target_qx, double target_qy, double target_qz,
                                   double box_x, double box_y, double box_z, double box_qw, double box_qx,
                                   double box_qy, double box_qz)
{
  if (!beginRecord("createTimeStampDirectory when save GrabCmd Log.", cloud_file))
  {
    return;
  }
  {
    const std::unique_ptr<OutputFile> file = openLogFile(time_stamp_, "grabcmd.txt");
    if (!file)
    {
      return;
    }
    const double target[] = {target_x, target_y, target_z, target_qw, target_qx, target_qy, target_qz};
    const double box[] = {box_x, box_y, box_z, box_qw, box_qx, box_qy, box_qz};
    writeValues(*file, target, 7);
    writeValues(*file, box, 7);
    writeValues(*file, obb_size, 3);
    if (!closeLogFile(*file))
    {
      return;
    }
  }
  finishRecord("grabcmd_log_error.txt", message, path);
}

void CommandLogger::saveReleaseCmdLog(int dof, int cmd_type, std::vector<double> release, std::string message,
                                      const JointPath& path)
{
  if (!beginRecord("createTimeStampDirectory when save ReleaseCmd Log.", "obstacle.pcd"))
  {
    return;
  }
  {
    const std::unique_ptr<OutputFile> file = openLogFile(time_stamp_, "releasecmd.txt");
    if (!file)
    {
      return;
    }
    file->print("dof of robot:%d,cmd type:%d;\n", dof, cmd_type);
    const bool complete = cmd_type == 0 || release.size() == 7;
    if (cmd_type == 0)
    {
      // The joint values up to the robot's joint count; never past the vector's end.
      const std::size_t count = dof > 0 ? std::min(release.size(), static_cast<std::size_t>(dof)) : 0;
      writeValues(*file, release.data(), count);
    }
    else if (complete)
    {
      writeValues(*file, release.data(), 7);
    }
    else
    {
      std::puts("release.size!=7 when cmdtype==1");
    }
    if (!closeLogFile(*file) || !complete)
    {
      return;
    }
  }
  finishRecord("releasecmd_log_error.txt", message, path);
}

void copyFile(const std::string& source, const std::string& destination)
{
  // The destination is made even when the source is missing.
  const std::unique_ptr<std::FILE, FileCloser> in(std::fopen(source.c_str(), "rb"));
  OutputFile out(destination, "wb");
  if (!in)
  {
    std::cerr << "无法打开源文件：" << source << std::endl;
    return;
  }
  if (!out.isOpen())
  {
    std::cerr << "无法创建目标文件：" << destination << std::endl;
    return;
  }
  char buffer[65536];
  std::size_t count = 0;
  while ((count = std::fread(buffer, 1, sizeof(buffer), in.get())) > 0)
  {
    out.write(buffer, count);
  }
  const int read_error = std::ferror(in.get()) ? (errno != 0 ? errno : EIO) : 0;
  const int write_error = out.close();
  if (read_error != 0)
  {
    std::cerr << "无法读取源文件：" << source << ": " << std::strerror(read_error) << std::endl;
  }
  if (write_error != 0)
  {
    std::cerr << "无法写入目标文件：" << destination << ": " << std::strerror(write_error) << std::endl;
  }
  if (read_error == 0 && write_error == 0)
  {
    std::cout << "文件拷贝成功！" << std::endl;
  }
}
