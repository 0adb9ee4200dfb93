#include <chrono>
#include <cmath>

#include <gtest/gtest.h>

#include "robot_model/shapes/shapes.h"
#include "support/scene_fixtures.h"

namespace {

const std::vector<double> kReady = arm6Layout().ready;

class NodeOperations : public testing::Test {
 protected:
  std::unique_ptr<ManipulatorPlanScene> scene_ = makeArm6Scene();
};

TEST_F(NodeOperations, UpdatingTwiceLeavesOneSharedOctreeObjectAndDropsEverythingElse) {
  auto tree = makeOctree();
  std::weak_ptr<octomap::OcTree> watch = tree;
  scene_->updateWorldOctomap(tree);
  scene_->getWorld()->addToObject("grab_object", std::make_shared<const shapes::Box>(0.1, 0.1, 0.1),
                                  Eigen::Isometry3d::Identity());
  ASSERT_EQ(scene_->getCollisionWorld()->getFCLObjects().size(), 2u);
  scene_->updateWorldOctomap(tree);
  ASSERT_EQ(scene_->getWorld()->objects_.size(), 1u);
  EXPECT_EQ(scene_->getWorld()->objects_.begin()->first, "world_octomap");
  const auto& fcl_objects = scene_->getCollisionWorld()->getFCLObjects();
  ASSERT_EQ(fcl_objects.size(), 1u);
  EXPECT_EQ(fcl_objects.begin()->first, "world_octomap");
  EXPECT_EQ(fcl_objects.begin()->second.collision_objects_.size(), 1u);

  tree.reset();
  EXPECT_FALSE(watch.expired()) << "the world must keep the tree alive";
  auto other = makeOctree();
  scene_->updateWorldOctomap(other);
  EXPECT_TRUE(watch.expired()) << "a replaced tree is released";
  scene_->updateWorldOctomap(nullptr);
  EXPECT_TRUE(scene_->worldHoldsOctomap(other)) << "a null tree is refused";
}

TEST_F(NodeOperations, RefillingTheSharedTreeIsSeenWithoutAnotherUpdate) {
  auto tree = makeOctree();
  // Far from the arm, so the tree's first bounds say nothing about where the arm is.
  fillPoint(*tree, Eigen::Vector3d(-3.0, -3.0, 0.0));
  scene_->updateWorldOctomap(tree);
  ASSERT_TRUE(scene_->isStateValid(kReady.data()));
  const Eigen::Vector3d on_link = linkPosition(*scene_, kReady, "link4");
  fillPoint(*tree, on_link);
  EXPECT_FALSE(scene_->isStateValid(kReady.data()));
  const auto& object = *scene_->getCollisionWorld()->getFCLObjects().at("world_octomap").collision_objects_.front();
  EXPECT_TRUE(object.getAABB().contain(on_link));
  tree->clear();
  EXPECT_TRUE(scene_->isStateValid(kReady.data())) << "an emptied tree blocks nothing";
  fillPoint(*tree, on_link);
  EXPECT_FALSE(scene_->isStateValid(kReady.data()));
}

TEST_F(NodeOperations, LinkTransformsOnePerGroupLinkWithOneStampInTheFrameTheyAreLabelledWith) {
  const auto before = std::chrono::system_clock::now();
  const std::vector<double> rest(6, 0.0);
  const auto transforms = scene_->getLinkTransforms(rest.data());
  const auto& links = scene_->getPlanningGroup()->getLinkModelNames();
  ASSERT_EQ(transforms.size(), links.size());
  for (std::size_t i = 0; i < links.size(); ++i) {
    EXPECT_EQ(transforms[i].child_frame_id, links[i]);
    EXPECT_EQ(transforms[i].header.frame_id, "base_link");
    EXPECT_EQ(transforms[i].header.stamp, transforms[0].header.stamp);
  }
  EXPECT_GE(transforms[0].header.stamp.sec,
            std::chrono::duration_cast<std::chrono::seconds>(before.time_since_epoch()).count());
  const auto& rest_rotation = transforms[0].transform.rotation;
  EXPECT_EQ(std::vector<double>({rest_rotation.x, rest_rotation.y, rest_rotation.z, rest_rotation.w}),
            std::vector<double>({0.0, 0.0, 0.0, 1.0}));

  // The rig's link_b hangs 0.1 above mount_link, turned about z; mount_link itself is offset and turned.
  std::unique_ptr<ManipulatorPlanScene> rig = makeTestRigScene("wrist");
  const double quarter = M_PI / 2;
  const auto wrist = rig->getLinkTransforms(&quarter);
  ASSERT_EQ(wrist.size(), 1u);
  EXPECT_EQ(wrist[0].header.frame_id, "mount_link");
  EXPECT_EQ(wrist[0].child_frame_id, "link_b");
  const auto& t = wrist[0].transform;
  EXPECT_NEAR(std::hypot(t.translation.x, t.translation.y), 0.0, 1e-12);
  EXPECT_NEAR(t.translation.z, 0.1, 1e-12);
  EXPECT_NEAR(t.rotation.z, std::sin(quarter / 2), 1e-12);
  EXPECT_NEAR(t.rotation.w, std::cos(quarter / 2), 1e-12);
}

}  // namespace
