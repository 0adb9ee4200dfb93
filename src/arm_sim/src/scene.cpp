#include "arm_sim/scene.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>

namespace arm_sim
{

Scene tablePillarBoxScene()
{
  Scene scene;
  // Table top 4 cm thick, its surface 5 cm below the base.
  scene.solids.push_back({{0.25, -0.60, -0.09}, {0.95, 0.60, -0.05}});
  // Pillar standing on the table, up to 0.9 m.
  scene.solids.push_back({{0.45, -0.06, -0.05}, {0.57, 0.06, 0.90}});
  // Box lying on the table beside the pillar.
  scene.solids.push_back({{0.50, 0.25, -0.05}, {0.62, 0.37, 0.07}});
  return scene;
}

pcl::PointCloud<pcl::PointXYZ> sampleSurfaces(const Scene & scene, double spacing)
{
  if (!(spacing > 0.0) || !std::isfinite(spacing)) {
    throw std::invalid_argument("scene sampling: spacing must be positive and finite");
  }
  pcl::PointCloud<pcl::PointXYZ> cloud;
  for (const Cuboid & solid : scene.solids) {
    const Eigen::Vector3d size = solid.max - solid.min;
    // Each face is the pair of axes (a, b) spanning it, at either end of the third axis c.
    for (int c = 0; c < 3; ++c) {
      const int a = (c + 1) % 3;
      const int b = (c + 2) % 3;
      const int steps_a = std::max(1, static_cast<int>(std::ceil(size[a] / spacing)));
      const int steps_b = std::max(1, static_cast<int>(std::ceil(size[b] / spacing)));
      for (const double level : {solid.min[c], solid.max[c]}) {
        for (int i = 0; i <= steps_a; ++i) {
          for (int k = 0; k <= steps_b; ++k) {
            Eigen::Vector3d point;
            point[c] = level;
            point[a] = solid.min[a] + size[a] * i / steps_a;
            point[b] = solid.min[b] + size[b] * k / steps_b;
            cloud.push_back(pcl::PointXYZ(point.x(), point.y(), point.z()));
          }
        }
      }
    }
  }
  return cloud;
}

std::optional<double> castRay(
  const Scene & scene, const Eigen::Vector3d & origin, const Eigen::Vector3d & direction)
{
  std::optional<double> nearest;
  for (const Cuboid & solid : scene.solids) {
    // Slab test: the ray is inside the cuboid for t in [enter, leave].
    double enter = -std::numeric_limits<double>::infinity();
    double leave = std::numeric_limits<double>::infinity();
    bool missed = false;
    for (int axis = 0; axis < 3 && !missed; ++axis) {
      if (direction[axis] == 0.0) {
        missed = origin[axis] < solid.min[axis] || origin[axis] > solid.max[axis];
        continue;
      }
      const double t1 = (solid.min[axis] - origin[axis]) / direction[axis];
      const double t2 = (solid.max[axis] - origin[axis]) / direction[axis];
      enter = std::max(enter, std::min(t1, t2));
      leave = std::min(leave, std::max(t1, t2));
    }
    if (missed || leave < enter || leave <= 0.0) {
      continue;
    }
    const double hit = enter > 0.0 ? enter : leave;
    if (!nearest || hit < *nearest) {
      nearest = hit;
    }
  }
  return nearest;
}

}  // namespace arm_sim
