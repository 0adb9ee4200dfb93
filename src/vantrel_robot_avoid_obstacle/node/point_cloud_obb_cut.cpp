#include "node/point_cloud_obb_cut.h"

#include <algorithm>

#include "node/point_cloud_snapshot.h"

const char* const kObbRemovedSnapshotFile = "remove_obb_obstacle.pcd";

namespace
{
constexpr double kMinimumHalfHeight = 0.1;
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
  const Eigen::Vector3d centre = box_pose.topRightCorner<3, 1>();
  const Eigen::Matrix3d axes = box_pose.topLeftCorner<3, 3>();
  for (const pcl::PointXYZ& point : *input)
  {
    // The point in the box's own frame; a non-finite coordinate fails every comparison.
    const Eigen::Vector3d local = axes.transpose() * (point.getVector3fMap().cast<double>() - centre);
    const bool inside = (local.array() >= -half.array()).all() && (local.array() <= half.array()).all();
    if (!inside && local.allFinite())
    {
      output->push_back(point);
    }
  }
  writePointCloudSnapshot(kObbRemovedSnapshotFile, *output);
}
