#include "node/point_cloud_snapshot.h"

#include <unistd.h>

#include <atomic>
#include <cstdio>
#include <fstream>

#include <pcl/exceptions.h>
#include <pcl/io/pcd_io.h>

namespace
{
constexpr int kSignificantDigits = 8;

// Unique among the writers of this process, so two snapshots never share a temporary file.
std::string temporaryPathFor(const std::string& path)
{
  static std::atomic<unsigned> counter{0};
  return path + ".tmp" + std::to_string(::getpid()) + "." + std::to_string(counter++);
}

bool writeAscii(const std::string& path, const pcl::PointCloud<pcl::PointXYZ>& cloud)
{
  if (cloud.empty())
  {
    // The library's writer warns about an empty cloud; its header alone is the valid file.
    std::ofstream file(path, std::ios::binary | std::ios::trunc);
    file << pcl::PCDWriter::generateHeader(cloud, 0) << "DATA ascii\n";
    file.close();
    return static_cast<bool>(file);
  }
  try
  {
    return pcl::PCDWriter().writeASCII(path, cloud, kSignificantDigits) == 0;
  }
  catch (const pcl::IOException&)
  {
    return false;
  }
}
}  // namespace

bool writePointCloudSnapshot(const std::string& path, const pcl::PointCloud<pcl::PointXYZ>& cloud)
{
  const std::string temporary = temporaryPathFor(path);
  if (!writeAscii(temporary, cloud) || std::rename(temporary.c_str(), path.c_str()) != 0)
  {
    std::remove(temporary.c_str());
    std::puts("write pcd error.");
    return false;
  }
  return true;
}
