#include "node/point_cloud_snapshot.h"

#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <locale>
#include <sstream>

#include <pcl/io/pcd_io.h>

#include "node/output_file.h"

namespace
{
constexpr int kSignificantDigits = 8;

// Unique among the writers of this process, so two snapshots never share a temporary file.
std::string temporaryPathFor(const std::string& path)
{
  static std::atomic<unsigned> counter{0};
  return path + ".tmp" + std::to_string(::getpid()) + "." + std::to_string(counter++);
}

// The file as the library's ASCII writer makes it; a cloud without points gets its header alone.
std::string pcdText(const pcl::PointCloud<pcl::PointXYZ>& cloud)
{
  std::ostringstream text;
  text.imbue(std::locale::classic());
  text.precision(kSignificantDigits);
  text << (cloud.empty() ? pcl::PCDWriter::generateHeader(cloud, 0) : pcl::PCDWriter::generateHeader(cloud))
       << "DATA ascii\n";
  const auto coordinate = [&text](float value) -> std::ostream& {
    return std::isnan(value) ? text << "nan" : text << value;
  };
  for (const pcl::PointXYZ& point : cloud)
  {
    coordinate(point.x) << ' ';
    coordinate(point.y) << ' ';
    coordinate(point.z) << '\n';
  }
  return text.str();
}

// Why the cloud could not be written to `path`; empty when it was.
std::string writeFile(const std::string& path, const pcl::PointCloud<pcl::PointXYZ>& cloud)
{
  if (static_cast<std::size_t>(cloud.width) * cloud.height != cloud.size())
  {
    return "the cloud's width and height do not match its number of points";
  }
  OutputFile file(path, "wb");
  if (!file.isOpen())
  {
    return std::strerror(errno);
  }
  const std::string text = pcdText(cloud);
  file.write(text.data(), text.size());
  const int error = file.close();
  return error == 0 ? std::string() : std::strerror(error);
}
}  // namespace

bool writePointCloudSnapshot(const std::string& path, const pcl::PointCloud<pcl::PointXYZ>& cloud)
{
  const std::string temporary = temporaryPathFor(path);
  std::string error = writeFile(temporary, cloud);
  if (error.empty() && std::rename(temporary.c_str(), path.c_str()) != 0)
  {
    error = std::strerror(errno);
  }
  if (!error.empty())
  {
    std::remove(temporary.c_str());
    std::printf("write pcd error. %s: %s\n", path.c_str(), error.c_str());
    return false;
  }
  return true;
}
