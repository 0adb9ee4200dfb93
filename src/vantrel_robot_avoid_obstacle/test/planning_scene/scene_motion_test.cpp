#include <algorithm>

#include <gtest/gtest.h>

#include "support/scene_fixtures.h"

namespace {

// Counts the states the scene's own motion checks test, through the virtual validity operations.
class CountingRigScene : public ManipulatorPlanScene {
 public:
  CountingRigScene()
      : ManipulatorPlanScene(testRigDirectory(), "test_rig.urdf", "test_rig.srdf", "wrist", 0.0, 1.0) {}
  bool isStateValid(const double* state) override {
    tested.push_back(*state);
    return ManipulatorPlanScene::isStateValid(state);
  }
  std::vector<double> tested;
};

class WristMotion : public testing::Test {
 protected:
  void SetUp() override {
    testing::internal::CaptureStdout();
    scene_ = std::make_unique<CountingRigScene>();
    auto tree = makeOctree(0.01);
    // On the wrist arm at j1 = 0 only.
    fillPoint(*tree, Eigen::Vector3d(0.505, 0.305, 0.305));
    scene_->updateWorldOctomap(tree);
    testing::internal::GetCapturedStdout();
  }
  bool motion(double from, double to, bool margin = false) {
    testing::internal::CaptureStdout();
    const bool result = margin ? scene_->checkMotionWithMargin(&from, &to) : scene_->checkMotion(&from, &to);
    testing::internal::GetCapturedStdout();
    return result;
  }
  std::unique_ptr<CountingRigScene> scene_;
};

TEST_F(WristMotion, ContinuousJointMovesAlongRawValuesNotTheShortWayRound) {
  // -3 to 3 sweeps through 0, where the voxel is; the short way round through pi would miss it.
  EXPECT_FALSE(motion(-3.0, 3.0));
  EXPECT_FALSE(motion(3.0, -3.0));
  EXPECT_TRUE(motion(3.0, 3.1));
  EXPECT_TRUE(motion(-3.0, -1.0));
}

TEST_F(WristMotion, TestsTheEndFirstAndEveryInteriorStateOnTheStraightLine) {
  const double from = 1.0;
  const double to = 2.0;
  ASSERT_TRUE(motion(from, to));
  const int n = scene_->validSegmentCount(&from, &to);
  ASSERT_EQ(static_cast<int>(scene_->tested.size()), n);
  EXPECT_DOUBLE_EQ(scene_->tested.front(), to);
  std::vector<double> interior(scene_->tested.begin() + 1, scene_->tested.end());
  std::sort(interior.begin(), interior.end());
  for (int k = 1; k < n; ++k) EXPECT_NEAR(interior[k - 1], from + (to - from) * k / n, 1e-12);
}

TEST_F(WristMotion, BlockedEndFailsBeforeAnyInteriorState) {
  EXPECT_FALSE(motion(1.0, 0.0));
  EXPECT_EQ(scene_->tested.size(), 1u);
  EXPECT_FALSE(motion(1.0, 0.0, true));
}

}  // namespace
