// The cloud steps of the sensor road against hand-computed clouds: depth images read, band cut and concatenation, the
// cleaning filter, the box cut-out, snapshots and the octree rebuild.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <limits>
#include <memory>
#include <optional>
#include <random>
#include <sstream>
#include <vector>

#include <Eigen/Geometry>
#include <gtest/gtest.h>
#include <pcl_conversions/pcl_conversions.h>

#include "node/obstacle_octree.h"
#include "node/point_cloud_depth_image.h"
#include "node/point_cloud_filter.h"
#include "node/point_cloud_obb_cut.h"
#include "node/point_cloud_operations.h"
#include "node/point_cloud_snapshot.h"
#include "support/cloud_helpers.h"
#include "support/scratch_directory.h"

namespace
{
using Image = sensor_msgs::msg::Image;
constexpr float kNaN = std::numeric_limits<float>::quiet_NaN();
constexpr float kInf = std::numeric_limits<float>::infinity();

// A 16UC1 image of millimetre depths; `padding` bytes of garbage end every row.
Image depthImage(const std::vector<std::vector<std::uint16_t>>& rows, bool big_endian = false,
                 std::uint32_t padding = 0)
{
  Image image;
  image.encoding = "16UC1";
  image.height = static_cast<std::uint32_t>(rows.size());
  image.width = rows.empty() ? 0 : static_cast<std::uint32_t>(rows[0].size());
  image.step = image.width * 2 + padding;
  image.is_bigendian = big_endian;
  for (const auto& row : rows)
  {
    for (const std::uint16_t depth : row)
    {
      const std::uint8_t high = depth >> 8, low = depth & 0xff;
      image.data.insert(image.data.end(), {big_endian ? high : low, big_endian ? low : high});
    }
    image.data.insert(image.data.end(), padding, 0xab);
  }
  return image;
}

// Converts with fx 500, cx 1, fy 400, cy 0.5 unless told otherwise, into an output holding a stale point. A
// refused image leaves the output empty and says so; a converted one prints nothing.
std::optional<Points> convert(const Image& image, float fx = 500.0f, float fy = 400.0f)
{
  const Cloud::Ptr output = makeCloud({{9, 9, 9}});
  testing::internal::CaptureStdout();
  const bool converted = depthImageToPointCloud(output, std::make_shared<Image>(image), fx, 1.0f, fy, 0.5f);
  EXPECT_EQ(testing::internal::GetCapturedStdout().empty(), converted);
  EXPECT_TRUE(converted || output->empty());
  return converted ? std::optional<Points>(xyz(*output)) : std::nullopt;
}

std::string octreeBytes(const octomap::OcTree& tree)
{
  std::stringstream stream;
  tree.write(stream);
  return stream.str();
}

// The cloud of the points, each `copies` times.
Cloud::Ptr cloudOf(const Points& points, int copies = 1)
{
  Cloud::Ptr cloud(new Cloud);
  for (int copy = 0; copy < copies; ++copy)
    for (const auto& [x, y, z] : points) cloud->emplace_back(x, y, z);
  return cloud;
}

Points sortedUnion(Points a, const Points& b)
{
  a.insert(a.end(), b.begin(), b.end());
  std::sort(a.begin(), a.end());
  return a;
}
}  // namespace

TEST(DepthImageToPointCloud, PinholePointsSkippingZeroDepthsAndMalformedImagesRefused)
{
  // x = (u - 1) z / 500, y = (v - 0.5) z / 400, whatever the byte order and the row padding.
  const Points expected = {{-0.002f, -0.00125f, 1.0f}, {0.004f, -0.0025f, 2.0f}, {0.0f, 0.001875f, 1.5f},
                           {0.001f, 0.000625f, 0.5f}};
  for (const bool big_endian : {false, true})
    for (const std::uint32_t padding : {0u, 6u})
      EXPECT_EQ(convert(depthImage({{1000, 0, 2000}, {0, 1500, 500}}, big_endian, padding)), expected)
          << "big endian " << big_endian << ", padding " << padding;
  EXPECT_EQ(convert(depthImage({{0, 0}, {0, 0}})), Points());
  EXPECT_EQ(convert(depthImage({})), Points());

  const Image good = depthImage({{1000, 1000}});
  std::vector<Image> malformed(8, good);
  malformed[0].encoding = "mono16";  // the one other encoding taken
  malformed[1].encoding = "rgb8";
  malformed[2].encoding = "16SC1";
  malformed[3].encoding = "";
  malformed[4].step = 3;
  malformed[5].data.pop_back();
  // Sizes whose products wrap around in 32 bits: width x 2, step x height.
  malformed[6].width = 0x80000000u, malformed[6].step = 0;
  malformed[7].step = 0x80000000u, malformed[7].height = 2;
  for (std::size_t i = 0; i < malformed.size(); ++i) EXPECT_EQ(convert(malformed[i]).has_value(), i == 0) << i;
  for (const auto& [fx, fy] : {std::pair{0.0f, 400.0f}, {500.0f, -0.0f}, {kNaN, 400.0f}, {500.0f, kInf}})
    EXPECT_FALSE(convert(good, fx, fy)) << fx << " " << fy;
}

TEST(PointCloudOperations, BandCutIsStrictAndConcatenationKeepsOrderAndHeader)
{
  // z is compared widened to double: 0.15f lies just above 0.15 and stays; 1.5f meets the bound and goes.
  const float below_floor = std::nextafter(0.15f, 0.0f), below_top = std::nextafter(1.5f, 0.0f);
  const Cloud::Ptr output = makeCloud({{7, 7, 7}});
  output->header.frame_id = "base";
  filterPointCloudByZ(makeCloud({{1, 0, 1}, {2, 0, 1.5f}, {3, 0, below_floor}, {4, 0, 0.15f}, {5, 0, below_top}}),
                      output, 1.5);
  EXPECT_EQ(xyz(*output), (Points{{1, 0, 1}, {4, 0, 0.15f}, {5, 0, below_top}}));
  filterPointCloudByZ(makeCloud({{0, 0, 2}, {0, 0, 0}}), output, 2.0);
  EXPECT_EQ(xyz(*output), Points());

  concatenatePointClouds(makeCloud({{1, 1, 1}, {2, 2, 2}}), makeCloud({{3, 3, 3}}), output);
  EXPECT_EQ(xyz(*output), (Points{{1, 1, 1}, {2, 2, 2}, {3, 3, 3}}));
  EXPECT_EQ(output->header.frame_id, "base");
  concatenatePointClouds(Cloud::Ptr(new Cloud), Cloud::Ptr(new Cloud), output);
  EXPECT_EQ(xyz(*output), Points());
}

TEST(PointCloudFilter, NaNRemovalInclusiveBoundsVoxelAveragesOutliersDroppedAndSparseCloudsKeptWhole)
{
  // Under mean_k 2 and 3 sample deviations the outlier removal keeps every point of a cloud of three to ten: no mean
  // distance lies more than (n - 1) / sqrt(n) deviations above the mean.
  PointCloudFilter keep_all;
  keep_all.mean_k_ = 2, keep_all.std_dev_mul_ = 3.0, keep_all.leaf_size_ = 0.01;
  PointCloudFilter bounded = keep_all, coarse = keep_all;
  bounded.min_x_ = -0.3, bounded.max_x_ = 0.3, bounded.min_y_ = -0.2, bounded.max_y_ = 0.2, bounded.min_z_ = 0.1,
  bounded.max_z_ = 0.7;
  coarse.max_x_ = coarse.max_y_ = coarse.max_z_ = 5.0, coarse.leaf_size_ = 0.5, coarse.std_dev_mul_ = 1.0;
  // Each bound in single precision, once on it and once just beyond.
  const auto beyond = [](double bound, float direction) { return std::nextafter(static_cast<float>(bound), direction); };
  const Cloud::Ptr bounds = makeCloud({{-0.3f, 0, 0.4f}, {0.3f, 0, 0.4f}, {0, -0.2f, 0.4f}, {0, 0.2f, 0.4f},
                                       {0.1f, 0.1f, 0.1f}, {-0.1f, -0.1f, 0.7f}});
  const Points on_bounds = xyz(*bounds, true);
  *bounds += *makeCloud({{beyond(-0.3, -1), 0, 0.4f}, {beyond(0.3, 1), 0, 0.4f}, {0, beyond(-0.2, -1), 0.4f},
                         {0, beyond(0.2, 1), 0.4f}, {0, 0, beyond(0.1, 0)}, {0, 0, beyond(0.7, 1)}});
  // The node's settings: 25 neighbours, one deviation, 5 mm voxels. The judgement needs 25 neighbours besides each
  // point, so 26 points after the voxel grid; with fewer every point stays. A 5 x 5 grid 2 cm apart about the origin
  // and a point on the box's far corner: each alone in its voxel, so each comes out as it went in. Of 26, the corner
  // (mean distance 1.47 m, the grid's 0.10 to 0.12 m) lies far beyond the mean 0.16 plus one deviation 0.27.
  PointCloudFilter node_settings;
  node_settings.mean_k_ = 25;
  Points grid;  // sorted
  for (int i = -2; i <= 2; ++i)
    for (int j = -2; j <= 2; ++j) grid.push_back({0.02f * i, 0.02f * j, 0.0f});
  const Points corner = {{0.85f, 0.85f, 0.85f}};
  const Points two = sortedUnion({{0.0f, 0.0f, 0.0f}}, corner);
  const Points twenty_five = sortedUnion(Points(grid.begin(), grid.end() - 1), corner);
  const Points twenty_six = sortedUnion(grid, corner);
  struct Case
  {
    const PointCloudFilter& filter;
    Cloud::Ptr input;
    Points expected;  // sorted; the stale point when the output is left alone
    std::string printed;
  };
  const std::vector<Case> cases = {
      {keep_all, makeCloud({{kNaN, 0, 0}, {0, 0, kNaN}}), {{9, 9, 9}},
       "\033[33m NaN points exis in pointclouds! \033[0m2\nsize of point clouds is 0\n"},
      {bounded, bounds, on_bounds, ""},
      // Voxels of 0.5 m: the first two points share one, averaged exactly. Mean distance to the two nearest
      // neighbours: 0.5 for the square's corners, 6.51 for the far point; mean 1.70 plus one sample deviation 2.69
      // keeps the corners only. The NaN point goes first.
      {coarse,
       makeCloud({{0.125f, 0.125f, 0.125f}, {kNaN, 0, 0}, {0.375f, 0.375f, 0.375f}, {0.75f, 0.25f, 0.25f},
                  {0.25f, 0.75f, 0.25f}, {0.75f, 0.75f, 0.25f}, {4.25f, 4.25f, 4.25f}}),
       {{0.25f, 0.25f, 0.25f}, {0.25f, 0.75f, 0.25f}, {0.75f, 0.25f, 0.25f}, {0.75f, 0.75f, 0.25f}},
       "\033[33m NaN points exis in pointclouds! \033[0m1\n"},
      {node_settings, cloudOf({}), {{9, 9, 9}}, "size of point clouds is 0\n"},
      {node_settings, cloudOf(corner), corner, ""},
      {node_settings, cloudOf(two), two, ""},
      {node_settings, cloudOf(twenty_five), twenty_five, ""},
      {node_settings, cloudOf(twenty_five, 2), twenty_five, ""},  // 50 points, 25 after the voxel grid
      {node_settings, cloudOf(twenty_six), grid, ""},
      {keep_all, cloudOf(two), two, ""},
  };
  for (std::size_t i = 0; i < cases.size(); ++i)
  {
    ScratchDirectory scratch;
    const Cloud::Ptr output = makeCloud({{9, 9, 9}});
    testing::internal::CaptureStdout();
    const bool kept = cases[i].filter.filterPointCloud(cases[i].input, output);
    EXPECT_EQ(testing::internal::GetCapturedStdout(), cases[i].printed) << i;
    EXPECT_EQ(xyz(*output, true), cases[i].expected) << i;
    EXPECT_EQ(kept, cases[i].printed.find("size of point clouds is 0") == std::string::npos) << i;
    // The snapshot is the caller's: the filter runs outside the node's scene lock.
    EXPECT_EQ(scratch.fileCount(), 0u) << i;
  }
}

TEST(RemoveObbObstaclePoints, DropsPointsInsideAndOnTheFacesOfTheEnlargedTurnedBox)
{
  ScratchDirectory scratch;
  const auto cut = [](std::initializer_list<pcl::PointXYZ> input, const Eigen::Vector3d& centre, double yaw,
                      const double size[3], double scale, double margin) {
    Eigen::Matrix4d box_pose = Eigen::Matrix4d::Identity();
    box_pose.topLeftCorner<3, 3>() = Eigen::AngleAxisd(yaw, Eigen::Vector3d::UnitZ()).toRotationMatrix();
    box_pose.topRightCorner<3, 1>() = centre;
    const Cloud::Ptr output = makeCloud({{9, 9, 9}});
    removeObbObstaclePoints(makeCloud(input), output, box_pose, size, scale, margin);
    EXPECT_EQ(xyz(readPcd(kObbRemovedSnapshotFile)), xyz(*output));
    return xyz(*output);
  };
  // Half extents after scale 2 and margin 0.125: 0.375, 0.25, 0.625 about the centre (0.5, 0.25, 0.5).
  const double size[3] = {0.25, 0.125, 0.5};
  const float past_x = std::nextafter(0.875f, 1.0f), past_y = std::nextafter(0.5f, 1.0f),
              past_z = std::nextafter(-0.125f, -1.0f);
  EXPECT_EQ(cut({{0.5f, 0.25f, 0.5f}, {0.875f, 0.25f, 0.5f}, {0.125f, 0.5f, -0.125f}, {past_x, 0.25f, 0.5f},
                 {0.5f, past_y, 0.5f}, {0.5f, 0.25f, past_z}, {kNaN, 0.25f, 0.5f}, {2, 2, 2}},
                {0.5, 0.25, 0.5}, 0.0, size, 2.0, 0.125),
            (Points{{past_x, 0.25f, 0.5f}, {0.5f, past_y, 0.5f}, {0.5f, 0.25f, past_z}, {2, 2, 2}}));
  // Half extents 0.5 along the box's x, 0.25 along its y; turned 45 degrees its x axis is the diagonal. Local
  // coordinates: (0.424, 0), (0, -0.424), (-0.212, 0), (0.566, 0).
  const double long_box[3] = {1.0, 0.5, 0.5};
  EXPECT_EQ(cut({{0.3f, 0.3f, 0}, {0.3f, -0.3f, 0}, {-0.15f, -0.15f, 0.2f}, {0.4f, 0.4f, 0}}, {0, 0, 0}, M_PI / 4,
                long_box, 1.0, 0.0),
            (Points{{0.3f, -0.3f, 0}, {0.4f, 0.4f, 0}}));
  // A flat box still cuts 0.1 m above and below its face, however thin its margin.
  const double flat_box[3] = {0.2, 0.2, 0.0};
  EXPECT_EQ(cut({{0, 0, 0.099f}, {0, 0, -0.099f}, {0, 0, 0.101f}, {0, 0, -0.101f}}, {0, 0, 0}, 0.0, flat_box, 1.0, 0.01),
            (Points{{0, 0, 0.101f}, {0, 0, -0.101f}}));
}

TEST(CutPointsBetween, OnlyWhatTheCutRemovesWithinTheHeightBandBoundsIncluded)
{
  // The cut's half extents 0.2, 0.1, 0.3 about (1, 0, 0), turned a quarter about z: x spans 0.9..1.1, y -0.2..0.2.
  Eigen::Matrix4d box_pose = Eigen::Matrix4d::Identity();
  box_pose.topLeftCorner<3, 3>() = Eigen::AngleAxisd(M_PI / 2, Eigen::Vector3d::UnitZ()).toRotationMatrix();
  box_pose(0, 3) = 1.0;
  const Eigen::Vector3d half(0.2, 0.1, 0.3);
  const Cloud::Ptr cloud =
      makeCloud({{1.0f, 0.0f, -0.05f}, {1.0f, 0.0f, 0.05f}, {1.05f, 0.15f, -0.1f},
                 {1.0f, 0.0f, std::nextafter(-0.1f, -1.0f)}, {1.0f, 0.0f, std::nextafter(0.05f, 1.0f)},
                 {1.15f, 0.0f, 0.0f}, {1.0f, 0.25f, 0.0f}, {kNaN, 0.0f, 0.0f}, {1.0f, 0.0f, kNaN}});
  const std::vector<Eigen::Vector2d> found = cutPointsBetween(*cloud, box_pose, half, -0.1f, 0.05f);
  const std::vector<Eigen::Vector2d> expected = {{1.0f, 0.0f}, {1.0f, 0.0f}, {1.05f, 0.15f}};
  ASSERT_EQ(found.size(), expected.size());
  for (size_t k = 0; k < found.size(); ++k)
    EXPECT_EQ(found[k], expected[k]) << k;
  EXPECT_TRUE(cutPointsBetween(Cloud(), box_pose, half, -1.0, 1.0).empty());
}

TEST(WritePointCloudSnapshot, ReplacesTheFileWholeOrNotAtAll)
{
  ScratchDirectory scratch;
  const Cloud::Ptr first = makeCloud({{0.12345678f, -1.5f, 2}, {3, 4, 5}});
  ASSERT_TRUE(writePointCloudSnapshot("snapshot.pcd", *first));
  EXPECT_EQ(xyz(readPcd("snapshot.pcd")), xyz(*first));
  // An empty cloud replaces the previous snapshot with a valid file of no points.
  ASSERT_TRUE(writePointCloudSnapshot("snapshot.pcd", Cloud()));
  const std::string empty = readFile("snapshot.pcd");
  EXPECT_EQ(empty.rfind("# .PCD v0.7", 0), 0u) << empty;
  EXPECT_NE(empty.find("\nWIDTH 0\n"), std::string::npos) << empty;
  EXPECT_EQ(empty.find("\nPOINTS 0\nDATA ascii\n"), empty.size() - 21) << empty;

  ASSERT_TRUE(writePointCloudSnapshot("snapshot.pcd", *first));
  const std::string before = readFile("snapshot.pcd");
  Cloud inconsistent = *first;
  inconsistent.width = 7;  // more points claimed than held
  testing::internal::CaptureStdout();
  EXPECT_FALSE(writePointCloudSnapshot("snapshot.pcd", inconsistent));
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "write pcd error. snapshot.pcd: [pcl::PCDWriter::writeASCII] "
                                                   "Number of points different than width * height!\n");
  EXPECT_EQ(readFile("snapshot.pcd"), before);
  // No temporary file is left behind.
  EXPECT_EQ(scratch.fileCount(), 1u);
}

// Checked against the library's own point-by-point insertion (occupied, not lazy) and one inner-occupancy update.
TEST(ObstacleOctree, OnePassEqualsPointByPointUpdatesAndPointsOutOfRangeAreSkippedAndCounted)
{
  std::mt19937 random(7);
  std::uniform_real_distribution<float> coordinate(-0.6f, 0.6f);
  Cloud finite;
  for (int i = 0; i < 20000; ++i) finite.emplace_back(coordinate(random), coordinate(random), coordinate(random));
  // A solid block: whole octants collapse; some cells are hit several times, up to the clamping bound.
  for (int x = 0; x < 16; ++x)
    for (int y = 0; y < 16; ++y)
      for (int z = 0; z < 16; ++z) finite.emplace_back(0.01f * x + 0.005f, 0.01f * y + 0.005f, 0.01f * z + 0.005f);
  for (int i = 0; i < 12; ++i) finite.emplace_back(0.005f, 0.005f, 0.005f);
  Cloud mixed = finite;
  mixed += *makeCloud({{kNaN, 0, 0}, {0, -kInf, 0}, {0, 0, kInf}, {1e30f, 0, 0}, {0, 0, -400}, {0, 400, 0}});

  for (const double resolution : {0.01, 0.005})
  {
    octomap::OcTree expected(resolution);
    for (const pcl::PointXYZ& point : finite) expected.updateNode(point.x, point.y, point.z, true, false);
    expected.updateInnerOccupancy();
    octomap::OcTree tree(resolution);
    tree.updateNode(5.0, 5.0, 5.0, true);  // whatever the tree held before is gone
    rebuildObstacleOctree(tree, mixed);
    EXPECT_EQ(octreeBytes(tree), octreeBytes(expected)) << resolution;
    EXPECT_EQ(countOutsideOctreeCube(tree, mixed), 6u) << resolution;
    rebuildObstacleOctree(tree, Cloud());
    EXPECT_EQ(tree.size(), 0u);
  }
  // The cube spans [-h, h) with h 32768 voxels; a tiny resolution makes it small. A power of two keeps its
  // boundary exact.
  const octomap::OcTree tiny(std::ldexp(1.0, -17));
  const double edge = octreeCubeHalfEdge(tiny);
  EXPECT_EQ(edge, 0.25);
  for (const double x : {0.0, -edge, std::nextafter(edge, 0.0), -std::nextafter(edge, 0.0)})
    EXPECT_TRUE(octreeCubeContains(tiny, x, x, x)) << x;
  for (const double x : {edge, std::nextafter(-edge, -1.0), -0.5, 1e300, -double{kInf}, double{kNaN}})
    EXPECT_FALSE(octreeCubeContains(tiny, 0.0, 0.0, x)) << x;
}
