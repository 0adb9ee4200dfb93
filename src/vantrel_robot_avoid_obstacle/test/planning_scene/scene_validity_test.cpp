#include <cmath>

#include <gtest/gtest.h>

#include "support/captured_output.h"
#include "support/planning_scenarios.h"
#include "support/scene_fixtures.h"

namespace {

const std::vector<double> kReady = arm6Layout().ready;

TEST(Arm6Validity, FreeVoxelAndSelfOverlapCases) {
  std::unique_ptr<ManipulatorPlanScene> scene;
  capturedOutput([&] { scene = makeArm6Scene(); });
  EXPECT_TRUE(scene->isStateValid(kReady.data()));
  EXPECT_TRUE(scene->isStateValidWithMargin(kReady.data()));
  std::vector<double> bad = kReady;
  bad[2] = NAN;
  EXPECT_FALSE(scene->isStateValid(bad.data()));

  // At the ready pose adjacent links overlap at their joints; the SRDF disables those pairs.
  collision_detection::CollisionRequest request;
  collision_detection::CollisionResult result;
  scene->getPaddedCollisionRobot().checkSelfCollision(request, result, *scene->getRobotState());
  EXPECT_TRUE(result.collision) << "no overlap without the matrix: the case proves nothing";
  // Folding the arm drives link4 into link2, a pair the SRDF does not disable; the world is still empty.
  const std::vector<double> folded{0.0, -1.0, -1.0, 0.0, -1.0, 0.0};
  bool valid = true;
  capturedOutput([&] { valid = scene->isStateValid(folded.data()); });
  EXPECT_FALSE(valid);

  auto tree = makeOctree(0.02);
  fillPoint(*tree, linkPosition(*scene, kReady, "link4"));
  capturedOutput([&] { scene->updateWorldOctomap(tree); });
  bool valid_with_margin = true;
  capturedOutput([&] {
    valid = scene->isStateValid(kReady.data());
    valid_with_margin = scene->isStateValidWithMargin(kReady.data());
  });
  EXPECT_FALSE(valid);
  EXPECT_FALSE(valid_with_margin);
  std::vector<double> turned = kReady;
  turned[0] = 1.5;
  EXPECT_TRUE(scene->isStateValid(turned.data()));
}

// The test rig's wrist arm at j1 = 0 is the box x in [0.48, 0.52], y in [0.1, 0.5], z in [0.28, 0.32].
class RigValidity : public testing::Test {
 protected:
  void build(const std::string& group) {
    capturedOutput([&] {
      scene_ = makeTestRigScene(group);
      tree_ = makeOctree(0.01);
      scene_->updateWorldOctomap(tree_);
    });
  }
  // One voxel over the middle of the arm whose lower face is `gap` above the arm's top.
  void voxelAbove(double gap) { fillPoint(*tree_, Eigen::Vector3d(0.505, 0.305, 0.32 + gap + 0.005)); }
  bool valid(double q, bool margin) {
    bool result = false;
    capturedOutput([&] { result = margin ? scene_->isStateValidWithMargin(&q) : scene_->isStateValid(&q); });
    return result;
  }
  void pad(double padding) {
    capturedOutput([&] { scene_->setGripperPadding(padding); });
  }
  std::unique_ptr<ManipulatorPlanScene> scene_;
  std::shared_ptr<octomap::OcTree> tree_;
};

TEST_F(RigValidity, VoxelThreeCentimetresAwayFailsOnlyTheMarginTest) {
  build("wrist");
  voxelAbove(0.03);
  EXPECT_TRUE(valid(0.0, false));
  EXPECT_FALSE(valid(0.0, true));
  EXPECT_TRUE(valid(3.0, true));
  // Without a gripper the padding stays.
  pad(0.02);
  EXPECT_EQ(scene_->getPaddedCollisionRobot().getLinkPadding("link_b"), 0.0);
  EXPECT_TRUE(valid(0.0, false));
}

TEST_F(RigValidity, GripperPaddingChangesLaterStandardChecksOnly) {
  build("fixed_first");
  voxelAbove(0.03);
  ASSERT_TRUE(valid(0.0, false));
  pad(0.04);
  for (const char* link : {"mount_link", "link_b"}) {
    EXPECT_EQ(scene_->getPaddedCollisionRobot().getLinkPadding(link), 0.04) << link;
  }
  EXPECT_FALSE(valid(0.0, false));
  pad(0.0);
  EXPECT_TRUE(valid(0.0, false));

  // The margin robots keep their 0.06 whatever the gripper padding.
  tree_->clear();
  voxelAbove(0.07);
  pad(0.1);
  EXPECT_FALSE(valid(0.0, false));
  EXPECT_TRUE(valid(0.0, true));
}

// Within a query a valid state is remembered; each change of padding or world, and the end of the query,
// must drop what is remembered.
TEST_F(RigValidity, RememberedValidStatesGoWithEveryChange) {
  build("fixed_first");
  voxelAbove(0.03);
  scene_->beginQuery();
  ASSERT_TRUE(valid(0.0, false));
  ASSERT_FALSE(valid(0.0, true));
  pad(0.04);
  EXPECT_FALSE(valid(0.0, false));
  pad(0.0);
  ASSERT_TRUE(valid(0.0, false));
  voxelAbove(0.0);
  capturedOutput([&] { scene_->updateWorldOctomap(tree_); });
  EXPECT_FALSE(valid(0.0, false));
  tree_ = makeOctree(0.01);
  capturedOutput([&] { scene_->updateWorldOctomap(tree_); });
  ASSERT_TRUE(valid(0.0, false));
  scene_->endQuery();
  // Between queries the owner may change the tree in place.
  voxelAbove(0.0);
  EXPECT_FALSE(valid(0.0, false));
}

// Exact keys: states one bit apart, or +0 and -0, are different states; a full memo starts over.
TEST(ValidStateMemo, HoldsExactlyTheInsertedStatesUpToItsCapacity) {
  ValidStateMemo memo;
  memo.resize(2, 8);
  std::vector<std::vector<double>> held;
  for (int i = 0; i < 8; ++i) held.push_back({std::nextafter(0.5, 1.0 + i), static_cast<double>(i)});
  for (const auto& state : held) memo.insert(state.data());
  for (const auto& state : held) EXPECT_TRUE(memo.contains(state.data()));
  const std::vector<std::vector<double>> absent{{0.5, 0.0}, {-0.0, 0.0}, {0.0, 0.0}, {held[0][0], -0.0}};
  for (const auto& state : absent) EXPECT_FALSE(memo.contains(state.data())) << state[0] << "," << state[1];
  const std::vector<double> ninth{M_PI, -M_PI};
  memo.insert(ninth.data());
  EXPECT_TRUE(memo.contains(ninth.data()));
  EXPECT_FALSE(memo.contains(held[0].data()));
  memo.clear();
  EXPECT_FALSE(memo.contains(ninth.data()));
}

TEST(GripperPadding, Arm6PadsTheBaseLinkAndEveryGroupLinkOrNoneAtAll) {
  std::unique_ptr<ManipulatorPlanScene> scene;
  capturedOutput([&] { scene = makeArm6Scene(); });
  std::vector<std::string> links{"base_link"};
  for (const std::string& link : scene->getPlanningGroup()->getLinkModelNames()) links.push_back(link);
  // 1e308 is finite, but the padded geometry cannot be built: refused like the others, not half applied.
  for (const double padding : {0.02, 1e308, -0.01, double{NAN}, double{INFINITY}}) {
    EXPECT_NO_THROW(capturedOutput([&] { scene->setGripperPadding(padding); })) << padding;
    for (const std::string& link : links) {
      EXPECT_EQ(scene->getPaddedCollisionRobot().getLinkPadding(link), 0.02) << link << " after " << padding;
    }
  }
}

}  // namespace
