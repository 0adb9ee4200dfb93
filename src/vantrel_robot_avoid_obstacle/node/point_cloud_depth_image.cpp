#include "node/point_cloud_depth_image.h"

#include <cmath>
#include <cstdint>
#include <cstdio>
#include <vector>

namespace
{
// Empty when the image can be read as 16-bit depths; otherwise what is wrong with it.
const char* findMalformation(const sensor_msgs::msg::Image& image)
{
  if (image.encoding != "16UC1" && image.encoding != "mono16")
  {
    return "its encoding is not 16UC1 or mono16";
  }
  if (static_cast<std::uint64_t>(image.step) < static_cast<std::uint64_t>(image.width) * 2)
  {
    return "its step is shorter than a row";
  }
  if (static_cast<std::uint64_t>(image.data.size()) <
      static_cast<std::uint64_t>(image.step) * static_cast<std::uint64_t>(image.height))
  {
    return "its data is shorter than step x height";
  }
  return nullptr;
}

bool usableFocalLength(float f)
{
  return std::isfinite(f) && f != 0.0f;
}
}  // namespace

bool depthImageToPointCloud(const pcl::PointCloud<pcl::PointXYZ>::Ptr& output,
                            const sensor_msgs::msg::Image::ConstSharedPtr& image, float fx, float cx, float fy,
                            float cy)
{
  output->clear();
  if (!usableFocalLength(fx) || !usableFocalLength(fy))
  {
    std::printf("depth image dropped: the camera intrinsics are missing (fx=%f, fy=%f)\n", fx, fy);
    return false;
  }
  if (const char* malformation = findMalformation(*image))
  {
    std::printf("depth image dropped: %s (encoding \"%s\", %ux%u, step %u, %zu bytes)\n", malformation,
                image->encoding.c_str(), image->width, image->height, image->step, image->data.size());
    return false;
  }

  const double inverse_fx = 1.0 / fx;
  const double inverse_fy = 1.0 / fy;
  // Depths are assembled from their bytes in the image's declared order, whatever the host's.
  const bool big_endian = image->is_bigendian != 0;
  std::vector<pcl::PointXYZ, Eigen::aligned_allocator<pcl::PointXYZ>>& points = output->points;
  points.reserve(static_cast<std::size_t>(image->width) * image->height);
  for (std::uint32_t v = 0; v < image->height; ++v)
  {
    const std::uint8_t* row = image->data.data() + static_cast<std::size_t>(v) * image->step;
    for (std::uint32_t u = 0; u < image->width; ++u)
    {
      const std::uint8_t first = row[2 * u];
      const std::uint8_t second = row[2 * u + 1];
      const std::uint16_t depth = big_endian ? static_cast<std::uint16_t>(first << 8 | second)
                                                : static_cast<std::uint16_t>(second << 8 | first);
      if (depth == 0)
      {
        continue;
      }
      const float z = depth / 1000.0f;
      const float x = static_cast<float>((static_cast<float>(u) - cx) * z * inverse_fx);
      const float y = static_cast<float>((static_cast<float>(v) - cy) * z * inverse_fy);
      points.emplace_back(x, y, z);
    }
  }
  // One row of the points, or no row at all.
  output->width = static_cast<std::uint32_t>(points.size());
  output->height = points.empty() ? 0 : 1;
  return true;
}
