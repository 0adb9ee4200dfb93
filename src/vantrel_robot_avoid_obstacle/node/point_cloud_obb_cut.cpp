#include "node/point_cloud_obb_cut.h"

#include <algorithm>

#include <pcl/common/point_tests.h>

#include "node/point_cloud_snapshot.h"

const char* const kObbRemovedSnapshotFile = "remove_obb_obstacle.pcd";

namespace
{
constexpr double kMinimumHalfHeight = 0.1;

// Whether `point` lies in the box of pose `box_pose` and half edge lengths `half`, faces included; false for a
// point with a non-finite coordinate, which fails every comparison.
bool insideBox(const pcl::PointXYZ& point, const Eigen::Matrix4d& box_pose, const Eigen::Vector3d& half)
{
  const Eigen::Vector3d offset = point.getVector3fMap().cast<double>() - box_pose.topRightCorner<3, 1>();
  const Eigen::Vector3d local = box_pose.topLeftCorner<3, 3>().transpose() * offset;
  return (local.array() >= -half.array()).all() && (local.array() <= half.array()).all();
}
}  // namespace

Eigen::Vector3d obbCutHalfExtents(const double box_size[3], double scale, double margin)
{
  return Eigen::Vector3d(box_size[0] * (0.5 * scale) + margin, box_size[1] * (0.5 * scale) + margin,
                         std::max(box_size[2] * (0.5 * scale) + margin, kMinimumHalfHeight));
}

void removeObbObstaclePoints(const pcl::PointCloud<pcl::PointXYZ>::ConstPtr& input,
                             const pcl::PointCloud<pcl::PointXYZ>::Ptr& output, const Eigen::Matrix4d& box_pose,
                             const double box_size[3], double scale, double margin)
{
  output->clear();
  const Eigen::Vector3d half = obbCutHalfExtents(box_size, scale, margin);
  for (const pcl::PointXYZ& point : *input)
  {
    if (pcl::isFinite(point) && !insideBox(point, box_pose, half))
    {
      output->push_back(point);
    }
  }
  writePointCloudSnapshot(kObbRemovedSnapshotFile, *output);
}

std::vector<Eigen::Vector2d> cutPointsBetween(const pcl::PointCloud<pcl::PointXYZ>& input,
                                              const Eigen::Matrix4d& box_pose, const Eigen::Vector3d& cut_half_extents,
                                              double z_low, double z_high)
{
  std::vector<Eigen::Vector2d> found;
  for (const pcl::PointXYZ& point : input)
  {
    if (point.z >= z_low && point.z <= z_high && insideBox(point, box_pose, cut_half_extents))
    {
      found.emplace_back(point.x, point.y);
    }
  }
  return found;
}
