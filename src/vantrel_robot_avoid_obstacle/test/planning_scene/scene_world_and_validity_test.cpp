#include <cmath>

#include <gtest/gtest.h>

#include "robot_model/shapes/shapes.h"
#include "support/captured_output.h"
#include "support/scene_fixtures.h"

namespace {

const std::vector<double> kReady = arm6Layout().ready;

// The test rig's wrist arm at j1 = 0 is the box x in [0.48, 0.52], y in [0.1, 0.5], z in [0.28, 0.32].
class RigValidity : public testing::Test {
 protected:
  void build(const std::string& group) {
    scene_ = makeTestRigScene(group);
    tree_ = makeOctree(0.01);
    scene_->updateWorldOctomap(tree_);
  }
  // One voxel over the middle of the arm whose lower face is `gap` above the arm's top.
  void voxelAbove(double gap) { fillPoint(*tree_, Eigen::Vector3d(0.505, 0.305, 0.32 + gap + 0.005)); }
  bool valid(double q, bool margin = false) {
    return margin ? scene_->isStateValidWithMargin(&q) : scene_->isStateValid(&q);
  }
  void pad(double padding) {
    capturedOutput([&] { scene_->setGripperPadding(padding); });
  }
  std::unique_ptr<ManipulatorPlanScene> scene_;
  std::shared_ptr<octomap::OcTree> tree_;
};

// The gripper padding grows the standard checks only, and only on a group with a gripper ("fixed_first"); the
// margin checks keep their 0.06 whatever it is.
TEST_F(RigValidity, GripperPaddingAndMarginAgainstOneVoxel) {
  struct Case {
    const char* group;
    double gap;
    double padding;
    double q;
    bool valid;
    bool valid_with_margin;
  };
  for (const Case& c : {Case{"wrist", 0.03, 0.0, 0.0, true, false}, Case{"wrist", 0.03, 0.0, 3.0, true, true},
                        Case{"wrist", 0.03, 0.04, 0.0, true, false}, Case{"fixed_first", 0.03, 0.0, 0.0, true, false},
                        Case{"fixed_first", 0.03, 0.04, 0.0, false, false},
                        Case{"fixed_first", 0.07, 0.1, 0.0, false, true}}) {
    build(c.group);
    voxelAbove(c.gap);
    pad(c.padding);
    EXPECT_EQ(valid(c.q), c.valid) << c.group << " gap " << c.gap << " padding " << c.padding;
    EXPECT_EQ(valid(c.q, true), c.valid_with_margin) << c.group << " gap " << c.gap << " padding " << c.padding;
  }
}

// Within a query a valid state is remembered; each change of padding or world, and the end of the query,
// must drop what is remembered.
TEST_F(RigValidity, RememberedValidStatesGoWithEveryChange) {
  build("fixed_first");
  voxelAbove(0.03);
  scene_->beginQuery();
  ASSERT_TRUE(valid(0.0));
  ASSERT_FALSE(valid(0.0, true));
  pad(0.04);
  EXPECT_FALSE(valid(0.0));
  pad(0.0);
  ASSERT_TRUE(valid(0.0));
  voxelAbove(0.0);
  scene_->updateWorldOctomap(tree_);
  EXPECT_FALSE(valid(0.0));
  tree_ = makeOctree(0.01);
  scene_->updateWorldOctomap(tree_);
  ASSERT_TRUE(valid(0.0));
  scene_->endQuery();
  // Between queries the owner may change the tree in place.
  voxelAbove(0.0);
  EXPECT_FALSE(valid(0.0));
}

// 1e308 is finite, but the padded geometry cannot be built: refused like the others, not half applied.
TEST(GripperPadding, Arm6PadsTheBaseLinkAndEveryGroupLinkOrNoneAtAll) {
  std::unique_ptr<ManipulatorPlanScene> scene = makeArm6Scene();
  std::vector<std::string> links = scene->getPlanningGroup()->getLinkModelNames();
  links.push_back("base_link");
  for (const double padding : {0.02, 1e308, -0.01, double{NAN}, double{INFINITY}}) {
    EXPECT_NO_THROW(capturedOutput([&] { scene->setGripperPadding(padding); })) << padding;
    for (const std::string& link : links) {
      EXPECT_EQ(scene->getPaddedCollisionRobot().getLinkPadding(link), 0.02) << link << " after " << padding;
    }
  }
}

// The node's updates: one shared octree object replaces everything else in the world, however often it is
// given, is kept alive while held and released once replaced; a null tree is refused; refilling the shared tree
// in place is seen at once. Folding the arm drives link4 into link2, a pair the description does not disable.
TEST(NodeOperations, OneSharedOctreeReplacesTheWorldAndItsRefillsAreSeen) {
  std::unique_ptr<ManipulatorPlanScene> scene = makeArm6Scene();
  const std::vector<double> folded{0.0, -1.0, -1.0, 0.0, -1.0, 0.0};
  EXPECT_FALSE(scene->isStateValid(folded.data()));
  auto tree = makeOctree();
  std::weak_ptr<octomap::OcTree> watch = tree;
  scene->updateWorldOctomap(tree);
  scene->getWorld()->addToObject("grab_object", std::make_shared<const shapes::Box>(0.1, 0.1, 0.1),
                                 Eigen::Isometry3d::Identity());
  // Far from the arm, so the tree's first bounds say nothing about where the arm is.
  fillPoint(*tree, Eigen::Vector3d(-3.0, -3.0, 0.0));
  scene->updateWorldOctomap(tree);
  const auto& fcl_objects = scene->getCollisionWorld()->getFCLObjects();
  ASSERT_EQ(fcl_objects.size(), 1u);
  EXPECT_EQ(fcl_objects.begin()->second.collision_objects_.size(), 1u);
  ASSERT_TRUE(scene->isStateValid(kReady.data()));
  const Eigen::Vector3d on_link = linkPosition(*scene, kReady, "link4");
  fillPoint(*tree, on_link);
  EXPECT_FALSE(scene->isStateValid(kReady.data()));
  tree->clear();
  EXPECT_TRUE(scene->isStateValid(kReady.data())) << "an emptied tree blocks nothing";
  fillPoint(*tree, on_link);
  EXPECT_FALSE(scene->isStateValid(kReady.data()));

  tree.reset();
  EXPECT_FALSE(watch.expired()) << "the world must keep the tree alive";
  auto other = makeOctree();
  scene->updateWorldOctomap(other);
  EXPECT_TRUE(watch.expired()) << "a replaced tree is released";
  scene->updateWorldOctomap(nullptr);
  EXPECT_TRUE(scene->worldHoldsOctomap(other)) << "a null tree is refused";
}

}  // namespace
