// Over many states per scene, the robot-against-world and the self check answer as FCL's narrow
// phase does when called directly on every pair they must consider: voxel by voxel in a random voxel
// scene, and on FCL's own octree in the benchmark scenes. Each scene is its own test, so that ctest
// runs them side by side (see CMakeLists.txt).
#include <cmath>
#include <functional>
#include <memory>
#include <random>
#include <string>
#include <utility>
#include <vector>

#include <fcl/geometry/octree/octree.h>
#include <fcl/geometry/shape/box.h>
#include <fcl/narrowphase/collision.h>
#include <gtest/gtest.h>
#include <octomap/OcTree.h>

#include "arm_fixtures.h"
#include "collision_detection/collision_robot_fcl.h"
#include "collision_detection/collision_world_fcl.h"
#include "benchmark_scenes.h"
#include "robot_model/shapes/shapes.h"

using namespace collision_detection;

namespace
{
// The answers of FCL alone for a robot's link geometry at a state: every link against the obstacles,
// every pair the matrix does not allow.
class FCLAlone
{
public:
  FCLAlone(const CollisionRobotFCL& robot, const std::shared_ptr<const octomap::OcTree>& tree,
           const AllowedCollisionMatrix& acm)
  {
    obstacles_.emplace_back(std::make_shared<fcl::OcTreed>(tree));  // reads the tree as it is refilled
    const auto& geometries = robot.getCollisionGeometries();
    for (const FCLGeometryConstPtr& geometry : geometries)
      links_.emplace_back(geometry->collision_geometry_);
    for (std::size_t a = 0; a < geometries.size(); ++a)
      for (std::size_t b = a + 1; b < geometries.size(); ++b)
      {
        const std::string& name_a = geometries[a]->collision_geometry_data_->getID();
        const std::string& name_b = geometries[b]->collision_geometry_data_->getID();
        AllowedCollision::Type type = AllowedCollision::NEVER;
        if (name_a != name_b && !(acm.getAllowedCollision(name_a, name_b, type) && type == AllowedCollision::ALWAYS))
          self_pairs_.emplace_back(a, b);
      }
  }

  // Instead of FCL's octree: one box per occupied voxel of the tree.
  void seeVoxelByVoxel(const octomap::OcTree& tree)
  {
    obstacles_.clear();
    for (auto it = tree.begin_leafs(); it != tree.end_leafs(); ++it)
      if (tree.isNodeOccupied(*it))
        obstacles_.emplace_back(std::make_shared<fcl::Boxd>(it.getSize(), it.getSize(), it.getSize()),
                                fcl::Transform3d(fcl::Translation3d(it.getX(), it.getY(), it.getZ())));
  }

  void place(const robot_model::core::RobotState& state)
  {
    for (std::size_t k = 0; k < links_.size(); ++k)
    {
      links_[k].setTransform(state.getCollisionBodyTransform(k));
      links_[k].computeAABB();
    }
  }

  bool worldCollides() const
  {
    for (const fcl::CollisionObjectd& link : links_)
      for (const fcl::CollisionObjectd& obstacle : obstacles_)
        if (collide(link, obstacle))
          return true;
    return false;
  }

  bool selfCollides() const
  {
    for (const auto& [a, b] : self_pairs_)
      if (collide(links_[a], links_[b]))
        return true;
    return false;
  }

private:
  static bool collide(const fcl::CollisionObjectd& a, const fcl::CollisionObjectd& b)
  {
    static const fcl::CollisionRequestd request(1, false, 1, false, true, fcl::GST_LIBCCD);
    if (!a.getAABB().overlap(b.getAABB()))  // only saves narrow-phase calls; FCL's octree box is fixed
      return false;
    fcl::CollisionResultd result;
    return fcl::collide(&a, &b, request, result) > 0;
  }

  std::vector<fcl::CollisionObjectd> links_;
  std::vector<std::pair<std::size_t, std::size_t>> self_pairs_;
  std::vector<fcl::CollisionObjectd> obstacles_;
};

// Joint values of the i-th comparison: with a pose given, every other state scattered around it;
// with special values, every tenth from the bounds, 0, +-pi/2 and +-pi where they lie within them; the
// rest uniform.
std::vector<double> drawState(const robot_model::core::JointModelGroup* group, const std::vector<double>& pose,
                              bool special_values, int i, std::mt19937& rng)
{
  std::vector<double> values = pose;
  if (!pose.empty() && i % 2 == 1)
  {
    for (double& value : values)
      value += std::normal_distribution<double>(0.0, 0.05)(rng);
    return values;
  }
  if (!special_values || i % 10 != 0)
    return arm6::randomArm(rng, group);
  values.clear();
  for (const auto* bounds : group->getActiveJointModelsBounds())
    for (const auto& variable : *bounds)
    {
      std::vector<double> special = { variable.min_position_, variable.max_position_ };
      for (double value : { 0.0, M_PI / 2, -M_PI / 2, M_PI, -M_PI })
        if (value >= variable.min_position_ && value <= variable.max_position_)
          special.push_back(value);
      values.push_back(special[std::uniform_int_distribution<std::size_t>(0, special.size() - 1)(rng)]);
    }
  return values;
}

using Fill = std::function<void(octomap::OcTree&, FCLAlone&, robot_model::core::RobotState&)>;

// A scene of the comparison: the arm, its padding, the obstacles and where states cluster. Voxel by
// voxel, FCL's narrow phase misses some contacts that its own octree and its distance query find, at
// special values where link faces meet voxel faces: that scene draws uniform states only, and fewer,
// each costing a narrow-phase call per voxel near a link.
struct Scene
{
  std::string name;
  std::shared_ptr<const robot_model::core::RobotModel> arm;
  double resolution, padding;
  Fill fill;
  std::vector<double> pose;
  double least_world_collisions;  // fraction of states
  unsigned seed;
  bool special_values = true;
  int samples = 100000;
};

// Arm6 in its ready pose, and a plate under the gripper that FCL alone finds just free of it or 3 cm into it.
Fill plateUnderGripper(bool touching)
{
  return [touching](octomap::OcTree& tree, FCLAlone& fcl_alone, robot_model::core::RobotState& state) {
    arm6::setArm(state, arm6::kReady);
    fcl_alone.place(state);
    const Eigen::Vector3d gripper = state.getGlobalLinkTransform(arm6::model()->getLinkModel("gripper_link")).translation();
    const benchmark_scenes::PlateTops tops =
        benchmark_scenes::touchingPlate(tree, gripper, [&] { return fcl_alone.worldCollides(); });
    benchmark_scenes::plateUnder(tree, gripper, touching ? tops.touching + 0.03 : tops.free);
  };
}

void randomVoxels(octomap::OcTree& tree, FCLAlone& fcl_alone, robot_model::core::RobotState&)
{
  std::mt19937 rng(20261206);
  arm6::addRandomVoxels(tree, 300, 0.7, 1.1, rng);
  fcl_alone.seeVoxelByVoxel(tree);
}

void clutteredTable(octomap::OcTree& tree, FCLAlone&, robot_model::core::RobotState&)
{
  benchmark_scenes::clutteredTable(tree);
}

using CrossCheck = testing::TestWithParam<Scene>;
}  // namespace

TEST_P(CrossCheck, AnswersEqualFCLAloneOverManyStates)
{
  const Scene& scene = GetParam();
  auto world = std::make_shared<World>();
  const auto tree = std::make_shared<octomap::OcTree>(scene.resolution);
  testing::internal::CaptureStdout();
  CollisionWorldFCL fcl_world(world);
  world->addToObject("world_octomap", std::make_shared<const shapes::OcTree>(tree), Eigen::Isometry3d::Identity());
  testing::internal::GetCapturedStdout();
  const AllowedCollisionMatrix acm = arm6::disabledPairs(scene.arm);
  const CollisionRobotFCL robot(scene.arm, scene.padding);
  FCLAlone fcl_alone(robot, tree, acm);
  robot_model::core::RobotState state(scene.arm);
  state.setToDefaultValues();
  scene.fill(*tree, fcl_alone, state);

  std::mt19937 rng(scene.seed);
  int world_collisions = 0, self_collisions = 0;
  for (int i = 0; i < scene.samples; ++i)
  {
    const std::vector<double> values = drawState(scene.arm->getJointModelGroup("arm"), scene.pose, scene.special_values, i, rng);
    arm6::setArm(state, values);
    fcl_alone.place(state);
    const bool world_expected = fcl_alone.worldCollides();
    const bool self_expected = fcl_alone.selfCollides();
    CollisionResult world_res, self_res;
    fcl_world.checkRobotCollision(CollisionRequest(), world_res, robot, state, acm);
    robot.checkSelfCollision(CollisionRequest(), self_res, state, acm);
    ASSERT_EQ(world_res.collision, world_expected) << "sample " << i << " " << testing::PrintToString(values);
    ASSERT_EQ(self_res.collision, self_expected) << "sample " << i << " " << testing::PrintToString(values);
    world_collisions += world_expected;
    self_collisions += self_expected;
  }
  // Collisions must be common for the comparison to reach the narrow phase's own decisions.
  EXPECT_GE(world_collisions, scene.least_world_collisions * scene.samples);
  EXPECT_GT(self_collisions, scene.samples / 100);
}

INSTANTIATE_TEST_SUITE_P(
    Scenes, CrossCheck,
    testing::Values(Scene{ "RandomVoxels", arm6::model(), 0.02, 0.0, randomVoxels, {}, 0.05, 20261206, false, 10000 },
                    Scene{ "TableAndWall", arm6::model(), benchmark_scenes::kResolution, 0.0,
                           [](octomap::OcTree& tree, FCLAlone&, robot_model::core::RobotState&) {
                             benchmark_scenes::tableAndWall(tree);
                           },
                           {}, 0.0, 1 },
                    Scene{ "GrazingPlate", arm6::model(), benchmark_scenes::kResolution, 0.0, plateUnderGripper(false),
                           arm6::kReady, 0.05, 2 },
                    Scene{ "CollidingPlate", arm6::model(), benchmark_scenes::kResolution, 0.0, plateUnderGripper(true),
                           arm6::kReady, 0.2, 3 },
                    Scene{ "PaddedAtClutteredTable", arm6::model(), benchmark_scenes::kResolution, 0.02, clutteredTable,
                           {}, 0.05, 4 },
                    Scene{ "Arm5AtClutteredTable", arms::arm5(), benchmark_scenes::kResolution, 0.0, clutteredTable,
                           {}, 0.05, 5 }),
    [](const testing::TestParamInfo<Scene>& info) { return info.param.name; });
