#include "node/point_cloud_snapshot.h"

#include <fcntl.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <limits>
#include <memory>

#include <pcl/exceptions.h>
#include <pcl/io/pcd_io.h>

#include "node/output_file.h"

namespace
{
constexpr int kSignificantDigits = 8;
constexpr char kDataLine[] = "DATA ascii\n";

// Unique among the writers of this process, so two snapshots never share a temporary file.
std::string temporaryPathFor(const std::string& path)
{
  static std::atomic<unsigned> counter{0};
  return path + ".tmp" + std::to_string(::getpid()) + "." + std::to_string(counter++);
}

// The library's text without the place prefix (": ") it adds when the thrower named none.
std::string reasonOf(const pcl::PCLException& exception)
{
  const std::string text = exception.what();
  return text.rfind(": ", 0) == 0 ? text.substr(2) : text;
}

// Why the file at `path` is not `lines` whole lines or did not reach the disk; empty when it is whole.
// `write_error` is the error number the writer left behind, the likely reason of a short file.
std::string wholeFileError(const std::string& path, std::size_t lines, int write_error)
{
  const int file = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
  if (file < 0)
  {
    return std::strerror(errno);
  }
  constexpr std::size_t kBufferSize = std::size_t(1) << 20;
  const std::unique_ptr<char[]> buffer(new char[kBufferSize]);
  std::size_t found = 0;
  char last = '\0';
  ssize_t got;
  while ((got = ::read(file, buffer.get(), kBufferSize)) > 0)
  {
    for (const char *at = buffer.get(), *end = at + got;
         (at = static_cast<const char*>(std::memchr(at, '\n', end - at))) != nullptr; ++at)
    {
      ++found;
    }
    last = buffer[got - 1];
  }
  std::string error;
  if (got < 0 || ::fsync(file) != 0)
  {
    error = std::strerror(errno);
  }
  else if (found != lines || last != '\n')
  {
    error = write_error != 0 ? std::strerror(write_error) : "the file was written short";
  }
  ::close(file);
  return error;
}

// Why the cloud could not be written whole to `path`; empty when it was.
std::string writeFile(const std::string& path, const pcl::PointCloud<pcl::PointXYZ>& cloud)
{
  const std::string header =
      pcl::PCDWriter::generateHeader(cloud, cloud.empty() ? 0 : std::numeric_limits<int>::max()) + kDataLine;
  const std::size_t header_lines = std::count(header.begin(), header.end(), '\n');
  if (cloud.empty())
  {
    // The library's writer warns about an empty cloud; its header alone is the valid file.
    OutputFile file(path, "wb");
    if (!file.isOpen())
    {
      return std::strerror(errno);
    }
    file.write(header.data(), header.size());
    const int error = file.close();
    return error == 0 ? wholeFileError(path, header_lines, 0) : std::strerror(error);
  }
  // The writer ignores the state of its stream: a failed write leaves a short file and its error number.
  errno = 0;
  try
  {
    if (pcl::PCDWriter().writeASCII(path, cloud, kSignificantDigits) != 0)
    {
      return "the point cloud writer failed";
    }
  }
  catch (const pcl::IOException& exception)
  {
    return reasonOf(exception);
  }
  return wholeFileError(path, header_lines + cloud.size(), errno);
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
