#include <gtest/gtest.h>

#include "support/scene_fixtures.h"

namespace {

const std::vector<double> kReady{0.0, -0.5, -0.4, 0.0, -0.67, 0.0};

class Arm6Validity : public testing::Test {
 protected:
  void SetUp() override {
    testing::internal::CaptureStdout();
    scene_ = makeArm6Scene();
    testing::internal::GetCapturedStdout();
  }
  bool valid(const std::vector<double>& q) {
    testing::internal::CaptureStdout();
    const bool result = scene_->isStateValid(q.data());
    testing::internal::GetCapturedStdout();
    return result;
  }
  bool validWithMargin(const std::vector<double>& q) {
    testing::internal::CaptureStdout();
    const bool result = scene_->isStateValidWithMargin(q.data());
    testing::internal::GetCapturedStdout();
    return result;
  }
  std::unique_ptr<ManipulatorPlanScene> scene_;
};

TEST_F(Arm6Validity, FreeStateIsValidInBothVariants) {
  EXPECT_TRUE(valid(kReady));
  EXPECT_TRUE(validWithMargin(kReady));
  std::vector<double> bad = kReady;
  bad[2] = NAN;
  EXPECT_FALSE(valid(bad));
  EXPECT_FALSE(scene_->isStateValidWithMargin(nullptr));
}

TEST_F(Arm6Validity, LinkOverlappingAVoxelIsInvalid) {
  auto tree = makeOctree(0.02);
  fillPoint(*tree, linkPosition(*scene_, kReady, "link4"));
  testing::internal::CaptureStdout();
  scene_->updateWorldOctomap(tree);
  testing::internal::GetCapturedStdout();
  EXPECT_FALSE(valid(kReady));
  EXPECT_FALSE(validWithMargin(kReady));
  std::vector<double> turned = kReady;
  turned[0] = 1.5;
  EXPECT_TRUE(valid(turned));
}

TEST_F(Arm6Validity, SelfOverlapCountsOnlyForPairsTheSrdfDoesNotDisable) {
  // At the ready pose adjacent links overlap at their joints; the SRDF disables those pairs.
  ASSERT_TRUE(valid(kReady));
  collision_detection::CollisionRequest request;
  collision_detection::CollisionResult result;
  scene_->getPaddedCollisionRobot().checkSelfCollision(request, result, *scene_->getRobotState());
  EXPECT_TRUE(result.collision) << "no overlap without the matrix: the case proves nothing";
  // Folding the arm drives link4 into link2, a pair the SRDF does not disable.
  testing::internal::CaptureStdout();
  const std::vector<double> folded{0.0, -1.0, -1.0, 0.0, -1.0, 0.0};
  EXPECT_FALSE(scene_->isStateValid(folded.data()));
  EXPECT_NE(testing::internal::GetCapturedStdout().find("link2 and link4"), std::string::npos);
}

// The test rig's wrist arm at j1 = 0 is the box x in [0.48, 0.52], y in [0.1, 0.5], z in [0.28, 0.32].
class RigValidity : public testing::Test {
 protected:
  void build(const std::string& group) {
    testing::internal::CaptureStdout();
    scene_ = makeTestRigScene(group);
    tree_ = makeOctree(0.01);
    scene_->updateWorldOctomap(tree_);
    testing::internal::GetCapturedStdout();
  }
  // One voxel over the middle of the arm whose lower face is `gap` above the arm's top.
  void voxelAbove(double gap) { fillPoint(*tree_, Eigen::Vector3d(0.505, 0.305, 0.32 + gap + 0.005)); }
  bool valid(double q, bool margin) {
    testing::internal::CaptureStdout();
    const bool result = margin ? scene_->isStateValidWithMargin(&q) : scene_->isStateValid(&q);
    testing::internal::GetCapturedStdout();
    return result;
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
}

TEST_F(RigValidity, GripperPaddingChangesLaterStandardChecksOnly) {
  build("fixed_first");
  voxelAbove(0.03);
  ASSERT_TRUE(valid(0.0, false));
  testing::internal::CaptureStdout();
  scene_->setGripperPadding(0.04);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_EQ(out,
            "n_dof=1,n=2,+++++++++++++++++++++padding+++++++++++++++++++++\n"
            "mount_link padding:0.04\nmount_link padding:0.04\nlink_b padding:0.04\n");
  EXPECT_FALSE(valid(0.0, false));
  testing::internal::CaptureStdout();
  scene_->setGripperPadding(0.0);
  testing::internal::GetCapturedStdout();
  EXPECT_TRUE(valid(0.0, false));

  // The margin robots keep their 0.06 whatever the gripper padding.
  tree_->clear();
  voxelAbove(0.07);
  testing::internal::CaptureStdout();
  scene_->setGripperPadding(0.1);
  testing::internal::GetCapturedStdout();
  EXPECT_FALSE(valid(0.0, false));
  EXPECT_TRUE(valid(0.0, true));
}

TEST(GripperPadding, Arm6PadsTheBaseLinkAndEveryGroupLink) {
  testing::internal::CaptureStdout();
  auto scene = makeArm6Scene();
  testing::internal::GetCapturedStdout();
  testing::internal::CaptureStdout();
  scene->setGripperPadding(0.02);
  const std::string out = testing::internal::GetCapturedStdout();
  std::string expected = "n_dof=6,n=7,+++++++++++++++++++++padding+++++++++++++++++++++\nbase_link padding:0.02\n";
  for (const std::string& link : scene->getPlanningGroup()->getLinkModelNames()) {
    expected += link + " padding:0.02\n";
    EXPECT_DOUBLE_EQ(scene->getPaddedCollisionRobot().getLinkPadding(link), 0.02);
  }
  EXPECT_EQ(out, expected);
  EXPECT_DOUBLE_EQ(scene->getMarginSelfCollisionRobot().getLinkPadding("link3"), 0.0);
}

TEST(GripperPadding, GroupWithoutGripperIsLeftAlone) {
  testing::internal::CaptureStdout();
  auto scene = makeTestRigScene("wrist");
  testing::internal::GetCapturedStdout();
  testing::internal::CaptureStdout();
  scene->setGripperPadding(0.02);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "n_dof=1,n=1,The robot does not have gripper.\n");
  EXPECT_DOUBLE_EQ(scene->getPaddedCollisionRobot().getLinkPadding("link_b"), 0.0);
}

}  // namespace
