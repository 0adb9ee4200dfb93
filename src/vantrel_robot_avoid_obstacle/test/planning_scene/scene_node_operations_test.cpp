#include <chrono>
#include <cmath>

#include <gtest/gtest.h>

#include "robot_model/shapes/shapes.h"
#include "support/captured_output.h"
#include "support/planning_scenarios.h"
#include "support/scene_fixtures.h"

namespace {

const std::vector<double> kReady = arm6Layout().ready;

class NodeOperations : public testing::Test {
 protected:
  void SetUp() override {
    capturedOutput([&] { scene_ = makeArm6Scene(); });
  }
  void update(const std::shared_ptr<const octomap::OcTree>& tree) {
    capturedOutput([&] { scene_->updateWorldOctomap(tree); });
  }
  bool valid(const std::vector<double>& q) {
    bool result = false;
    capturedOutput([&] { result = scene_->isStateValid(q.data()); });
    return result;
  }
  std::unique_ptr<ManipulatorPlanScene> scene_;
};

TEST_F(NodeOperations, UpdatingTwiceLeavesOneSharedOctreeObjectAndDropsEverythingElse) {
  using collision_detection::World;
  std::vector<std::pair<std::string, int>> told;
  const World::ObserverHandle observer = scene_->getWorld()->addObserver(
      [&told](const World::ObjectConstPtr& object, World::Action action) { told.emplace_back(object->id_, action); });
  auto tree = makeOctree();
  std::weak_ptr<octomap::OcTree> watch = tree;
  update(tree);
  capturedOutput([&] {
    scene_->getWorld()->addToObject("grab_object", std::make_shared<const shapes::Box>(0.1, 0.1, 0.1),
                                    Eigen::Isometry3d::Identity());
  });
  ASSERT_EQ(scene_->getCollisionWorld()->getFCLObjects().size(), 2u);
  told.clear();
  update(tree);
  scene_->getWorld()->removeObserver(observer);
  EXPECT_EQ(told, (std::vector<std::pair<std::string, int>>{{"grab_object", World::DESTROY},
                                                            {"world_octomap", World::DESTROY},
                                                            {"world_octomap", World::CREATE | World::ADD_SHAPE}}));
  ASSERT_EQ(scene_->getWorld()->objects_.size(), 1u);
  EXPECT_EQ(scene_->getWorld()->objects_.begin()->first, "world_octomap");
  const auto& fcl_objects = scene_->getCollisionWorld()->getFCLObjects();
  ASSERT_EQ(fcl_objects.size(), 1u);
  EXPECT_EQ(fcl_objects.begin()->first, "world_octomap");
  EXPECT_EQ(fcl_objects.begin()->second.collision_objects_.size(), 1u);

  tree.reset();
  EXPECT_FALSE(watch.expired()) << "the world must keep the tree alive";
  auto other = makeOctree();
  update(other);
  EXPECT_TRUE(watch.expired()) << "a replaced tree is released";
  EXPECT_TRUE(scene_->worldHoldsOctomap(other));
  update(nullptr);
  EXPECT_TRUE(scene_->worldHoldsOctomap(other)) << "a null tree is refused";
}

TEST_F(NodeOperations, RefillingTheSharedTreeIsSeenWithoutAnotherUpdate) {
  auto tree = makeOctree();
  // Far from the arm, so the tree's first bounds say nothing about where the arm is.
  fillPoint(*tree, Eigen::Vector3d(-3.0, -3.0, 0.0));
  update(tree);
  ASSERT_TRUE(valid(kReady));

  const Eigen::Vector3d on_link = linkPosition(*scene_, kReady, "link4");
  fillPoint(*tree, on_link);
  EXPECT_FALSE(valid(kReady));
  const auto& object = *scene_->getCollisionWorld()->getFCLObjects().at("world_octomap").collision_objects_.front();
  EXPECT_TRUE(object.getAABB().contain(on_link));
  tree->clear();
  EXPECT_TRUE(valid(kReady)) << "an emptied tree blocks nothing";
  fillPoint(*tree, on_link);
  EXPECT_FALSE(valid(kReady));
}

TEST_F(NodeOperations, LinkTransformsOnePerGroupLinkWithOneStamp) {
  const auto before = std::chrono::system_clock::now();
  const std::vector<double> rest(6, 0.0);
  const auto transforms = scene_->getLinkTransforms(rest.data());
  const auto& links = scene_->getPlanningGroup()->getLinkModelNames();
  ASSERT_EQ(transforms.size(), links.size());
  for (std::size_t i = 0; i < links.size(); ++i) {
    EXPECT_EQ(transforms[i].child_frame_id, links[i]);
    EXPECT_EQ(transforms[i].header.frame_id, "base_link");
    EXPECT_EQ(transforms[i].header.stamp, transforms[0].header.stamp);
    const auto& r = transforms[i].transform.rotation;
    EXPECT_NEAR(r.x * r.x + r.y * r.y + r.z * r.z + r.w * r.w, 1.0, 1e-12);
  }
  ASSERT_EQ(transforms[0].child_frame_id, "link1");
  const auto& r = transforms[0].transform.rotation;
  EXPECT_EQ(std::vector<double>({r.x, r.y, r.z, r.w}), std::vector<double>({0.0, 0.0, 0.0, 1.0}));
  EXPECT_GE(transforms[0].header.stamp.sec,
            std::chrono::duration_cast<std::chrono::seconds>(before.time_since_epoch()).count());
  EXPECT_DOUBLE_EQ(transforms[0].transform.translation.z, 0.3);
}

TEST(LinkTransforms, ExpressedInTheFrameTheyAreLabelledWith) {
  std::unique_ptr<ManipulatorPlanScene> scene;
  capturedOutput([&] { scene = makeTestRigScene("wrist"); });
  const double quarter = M_PI / 2;
  const auto transforms = scene->getLinkTransforms(&quarter);
  ASSERT_EQ(transforms.size(), 1u);
  // link_b hangs 0.1 above mount_link, turned about z; mount_link itself is offset and turned in the model.
  EXPECT_EQ(transforms[0].header.frame_id, "mount_link");
  EXPECT_EQ(transforms[0].child_frame_id, "link_b");
  const auto& t = transforms[0].transform;
  EXPECT_NEAR(std::hypot(t.translation.x, t.translation.y), 0.0, 1e-12);
  EXPECT_NEAR(t.translation.z, 0.1, 1e-12);
  EXPECT_NEAR(t.rotation.z, std::sin(quarter / 2), 1e-12);
  EXPECT_NEAR(t.rotation.w, std::cos(quarter / 2), 1e-12);
}

}  // namespace
