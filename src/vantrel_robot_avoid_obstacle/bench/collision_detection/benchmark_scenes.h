#pragma once

// Obstacle octrees of the collision benchmarks, also used by the tests that compare answers in them.
#include <cmath>
#include <cstddef>
#include <functional>
#include <random>
#include <vector>

#include <Eigen/Core>
#include <octomap/OcTree.h>

namespace benchmark_scenes
{
constexpr double kResolution = 0.01;

// Marks every voxel whose centre lies in the box occupied, then updates the inner nodes.
inline void fillBox(octomap::OcTree& tree, const Eigen::Vector3d& min, const Eigen::Vector3d& max)
{
  const double step = tree.getResolution();
  for (double x = min.x(); x <= max.x(); x += step)
    for (double y = min.y(); y <= max.y(); y += step)
      for (double z = min.z(); z <= max.z(); z += step)
        tree.updateNode(octomap::point3d(x, y, z), true, true);
  tree.updateInnerOccupancy();
}

// A table at the edge of arm6's reach and a wall behind it.
inline void tableAndWall(octomap::OcTree& tree)
{
  fillBox(tree, Eigen::Vector3d(1.3, -0.6, -0.03), Eigen::Vector3d(1.9, 0.6, 0.0));
  fillBox(tree, Eigen::Vector3d(2.0, -0.6, 0.0), Eigen::Vector3d(2.02, 0.6, 1.0));
}

// The tree holding only a 30 cm square plate, 3 cm thick, centred under the point with its top at `top`.
inline void plateUnder(octomap::OcTree& tree, const Eigen::Vector3d& point, double top)
{
  tree.clear();
  fillBox(tree, Eigen::Vector3d(point.x() - 0.15, point.y() - 0.15, top - 0.03),
          Eigen::Vector3d(point.x() + 0.15, point.y() + 0.15, top));
}

// Raises the plate under the point until `collides` first answers true, to 2 mm; returns the top of the
// highest free plate and of the lowest touching one. The tree is left empty.
struct PlateTops
{
  double free, touching;
};
inline PlateTops touchingPlate(octomap::OcTree& tree, const Eigen::Vector3d& point,
                               const std::function<bool()>& collides)
{
  PlateTops tops{ point.z() - 1.0, point.z() + 0.2 };
  while (tops.touching - tops.free > 0.002)
  {
    const double top = 0.5 * (tops.free + tops.touching);
    plateUnder(tree, point, top);
    (collides() ? tops.touching : tops.free) = top;
  }
  tree.clear();
  return tops;
}

// A depth camera frame's worth of points on a cluttered table within the arm's reach: the table top
// and the tops and sides of boxes and cylinders standing on it, sampled uniformly by area and
// inserted point by point (occupied, not lazy) before one update of the inner nodes.
inline void clutteredTable(octomap::OcTree& tree, std::size_t points = 300000, unsigned seed = 7)
{
  static constexpr double kTableTop = 0.05;
  struct Surface
  {
    std::function<Eigen::Vector3d(double, double)> at;  // from two uniform numbers in [0, 1)
    double area;
  };
  std::vector<Surface> surfaces;
  surfaces.push_back({ [](double u, double v) -> Eigen::Vector3d { return Eigen::Vector3d(0.3 + 0.7 * u, -0.5 + v, kTableTop); }, 0.7 });
  std::mt19937 rng(seed);
  std::uniform_real_distribution<double> unit(0.0, 1.0);
  for (int i = 0; i < 24; ++i)
  {
    const Eigen::Vector3d base(0.35 + 0.6 * unit(rng), -0.45 + 0.9 * unit(rng), kTableTop);
    const double width = 0.04 + 0.11 * unit(rng), depth = 0.04 + 0.11 * unit(rng);
    const double height = 0.05 + 0.25 * unit(rng);
    if (i % 2 == 0)
    {
      surfaces.push_back({ [=](double u, double v) -> Eigen::Vector3d { return base + Eigen::Vector3d(width * (u - 0.5), depth * (v - 0.5), height); },
                           width * depth });
      for (int side = 0; side < 4; ++side)
      {
        const double length = side < 2 ? width : depth;
        surfaces.push_back({ [=](double u, double v) -> Eigen::Vector3d {
                              const double along = length * (u - 0.5);
                              const double sign = side % 2 == 0 ? -0.5 : 0.5;
                              return base + (side < 2 ? Eigen::Vector3d(along, sign * depth, height * v)
                                                      : Eigen::Vector3d(sign * width, along, height * v));
                            },
                             length * height });
      }
    }
    else
    {
      const double radius = 0.5 * width;
      surfaces.push_back({ [=](double u, double v) -> Eigen::Vector3d {
                            const double r = radius * std::sqrt(u), angle = 2.0 * M_PI * v;
                            return base + Eigen::Vector3d(r * std::cos(angle), r * std::sin(angle), height);
                          },
                           M_PI * radius * radius });
      surfaces.push_back({ [=](double u, double v) -> Eigen::Vector3d {
                            const double angle = 2.0 * M_PI * u;
                            return base + Eigen::Vector3d(radius * std::cos(angle), radius * std::sin(angle), height * v);
                          },
                           2.0 * M_PI * radius * height });
    }
  }
  std::vector<double> areas;
  for (const Surface& surface : surfaces)
    areas.push_back(surface.area);
  std::discrete_distribution<std::size_t> pick(areas.begin(), areas.end());
  for (std::size_t i = 0; i < points; ++i)
  {
    const Eigen::Vector3d p = surfaces[pick(rng)].at(unit(rng), unit(rng));
    tree.updateNode(octomap::point3d(p.x(), p.y(), p.z()), true, false);
  }
  tree.updateInnerOccupancy();
}
}  // namespace benchmark_scenes
