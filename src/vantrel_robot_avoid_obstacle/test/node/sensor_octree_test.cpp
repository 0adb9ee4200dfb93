// The obstacle octree rebuilt in one pass equals the tree of point-by-point occupied updates, log-odds and
// pruning included; points that are not finite or out of the tree's range never reach it.
#include <cmath>
#include <limits>
#include <random>
#include <sstream>
#include <utility>

#include <gtest/gtest.h>

#include "node/obstacle_octree.h"
#include "support/cloud_helpers.h"

namespace {

// Clears, updates every point in order (occupied, not lazy), then the inner occupancy.
std::string pointByPoint(double resolution, const Cloud& cloud) {
  octomap::OcTree tree(resolution);
  for (const pcl::PointXYZ& point : cloud) tree.updateNode(point.x, point.y, point.z, true, false);
  tree.updateInnerOccupancy();
  std::stringstream stream;
  tree.write(stream);
  return stream.str();
}

std::string rebuilt(octomap::OcTree& tree, const Cloud& cloud) {
  rebuildObstacleOctree(tree, cloud);
  std::stringstream stream;
  tree.write(stream);
  return stream.str();
}

TEST(ObstacleOctree, OnePassEqualsPointByPointUpdates) {
  std::mt19937 random(7);
  std::uniform_real_distribution<float> coordinate(-0.6f, 0.6f);
  Cloud scattered;
  for (int i = 0; i < 20000; ++i) scattered.emplace_back(coordinate(random), coordinate(random), coordinate(random));
  // A solid block: whole octants collapse; some cells are hit several times, up to the clamping bound.
  Cloud block;
  for (int x = 0; x < 16; ++x)
    for (int y = 0; y < 16; ++y)
      for (int z = 0; z < 16; ++z) block.emplace_back(0.01f * x + 0.005f, 0.01f * y + 0.005f, 0.01f * z + 0.005f);
  for (int i = 0; i < 12; ++i) block.emplace_back(0.005f, 0.005f, 0.005f);
  block.emplace_back(0.015f, 0.005f, 0.005f);

  const Cloud empty;
  for (const double resolution : {0.01, 0.005}) {
    for (const Cloud* cloud : {&std::as_const(scattered), &std::as_const(block), &empty}) {
      octomap::OcTree tree(resolution);
      // Whatever the tree held before is gone.
      tree.updateNode(5.0, 5.0, 5.0, true);
      EXPECT_EQ(rebuilt(tree, *cloud), pointByPoint(resolution, *cloud)) << resolution << " " << cloud->size();
      if (cloud->empty()) EXPECT_EQ(tree.size(), 0u);
    }
  }
}

TEST(ObstacleOctree, PointsThatAreNotFiniteOrOutOfRangeAreSkipped) {
  const float nan = std::numeric_limits<float>::quiet_NaN();
  const float inf = std::numeric_limits<float>::infinity();
  const Cloud::Ptr finite = makeCloud({{0.1f, 0.2f, 0.3f}, {-0.4f, 0.0f, 0.25f}});
  const Cloud::Ptr mixed = makeCloud({{nan, 0.0f, 0.0f},   {0.1f, 0.2f, 0.3f},  {0.0f, -inf, 0.0f},
                                      {0.0f, 0.0f, inf},   {1e30f, 0.0f, 0.0f}, {-0.4f, 0.0f, 0.25f},
                                      {0.0f, 0.0f, -400.0f}, {0.0f, 400.0f, 0.0f}});
  octomap::OcTree tree(0.01);
  EXPECT_EQ(rebuilt(tree, *mixed), pointByPoint(0.01, *finite));
}

}  // namespace
