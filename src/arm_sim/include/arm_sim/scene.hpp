// The synthetic scene the simulated cameras see: solid cuboids, axis-aligned in the robot base
// frame, and the points of their surfaces.
#ifndef ARM_SIM__SCENE_HPP_
#define ARM_SIM__SCENE_HPP_

#include <optional>
#include <vector>

#include <Eigen/Geometry>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

namespace arm_sim
{

struct Cuboid
{
  Eigen::Vector3d min;
  Eigen::Vector3d max;
};

struct Scene
{
  std::vector<Cuboid> solids;
};

// A table in front of the arm's base, a pillar standing on it and a box lying on it (metres,
// base frame, z up, base at the origin). Callers that need another layout build their own.
Scene tablePillarBoxScene();

// Points on every face of every solid, on a grid no coarser than `spacing` (metres, > 0;
// otherwise std::invalid_argument). Edges and corners are included.
pcl::PointCloud<pcl::PointXYZ> sampleSurfaces(const Scene & scene, double spacing);

// Distance along the ray (origin + t * direction, t > 0) to the first solid surface it meets,
// in units of the direction's length; none when it meets nothing. Rays from inside a solid see
// its far side.
std::optional<double> castRay(
  const Scene & scene, const Eigen::Vector3d & origin, const Eigen::Vector3d & direction);

}  // namespace arm_sim

#endif  // ARM_SIM__SCENE_HPP_
