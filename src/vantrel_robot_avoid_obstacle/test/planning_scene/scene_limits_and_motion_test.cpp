#include <algorithm>
#include <cmath>
#include <functional>

#include <gtest/gtest.h>

#include "support/scene_fixtures.h"

namespace {

TEST(SceneLimits, Arm6BoundsVelocitiesAccelerationsAndSegments) {
  std::unique_ptr<ManipulatorPlanScene> scene = makeArm6Scene();
  std::vector<double> vmax;
  std::vector<double> amax;
  EXPECT_EQ(scene->getVmaxAndAmax(vmax, amax), 0) << "no limits before getJointLimits";
  std::vector<std::pair<double, double>> bounds;
  ASSERT_EQ(scene->getJointLimits(bounds), 6);
  EXPECT_EQ(bounds[5], (std::pair<double, double>{-6.28, 6.28}));
  ASSERT_EQ(scene->getVmaxAndAmax(vmax, amax), 6);
  EXPECT_EQ(vmax, (std::vector<double>{2.0, 2.0, 2.5, 3.0, 3.0, 3.5}));
  EXPECT_EQ(amax, std::vector<double>(6, 3.0));

  // Segments come from raw joint differences; a state that is not finite has none.
  const double segment = scene->getLongestValidSegment();
  const std::vector<double> from(6, 0.0);
  std::vector<double> to(6, 0.0);
  to[0] = 1.5 * segment;
  to[5] = -1.5 * segment;
  EXPECT_EQ(scene->validSegmentCount(from.data(), to.data()), 3);
  to[5] = NAN;
  EXPECT_EQ(scene->validSegmentCount(from.data(), to.data()), -1);
  EXPECT_FALSE(scene->checkMotion(from.data(), to.data()));
}

TEST(SceneLimits, StatesOutsideTheBoundsAreInvalidAndMotionsFarBeyondThemAreRefusedAtOnce) {
  using Case = std::pair<std::function<std::unique_ptr<ManipulatorPlanScene>()>, std::vector<double>>;
  for (const auto& [make, home] : {Case{[] { return makeArm6Scene(); }, arm6Layout().ready},
                                   Case{[] { return makeArm5Scene(); }, std::vector<double>(5, 0.0)}}) {
    const std::unique_ptr<ManipulatorPlanScene> scene = make();
    std::vector<std::pair<double, double>> bounds;
    ASSERT_EQ(scene->getJointLimits(bounds), static_cast<int>(home.size()));
    ASSERT_TRUE(scene->isStateValid(home.data()));
    std::vector<double> q = home;
    // The base joint turns the arm in free space: only its bounds can make these states invalid.
    for (const double value : {bounds[0].first, bounds[0].second}) {
      q[0] = value;
      EXPECT_TRUE(scene->isStateValid(q.data())) << value;
    }
    for (std::size_t j = 0; j < home.size(); ++j) {
      q = home;
      for (const double value : {bounds[j].first - 1e-9, bounds[j].second + 1e-9, 1e17, -1e17}) {
        q[j] = value;
        EXPECT_FALSE(scene->isStateValid(q.data())) << "joint " << j << " at " << value;
        EXPECT_FALSE(scene->isStateValidWithMargin(q.data())) << "joint " << j << " at " << value;
      }
    }
    q = home;
    q[0] = 1e6;
    EXPECT_EQ(scene->validSegmentCount(home.data(), q.data()), -1);
    EXPECT_FALSE(scene->checkMotion(home.data(), q.data()));
  }
}

TEST(FineMotion, FindsTheObstacleBetweenTheStatesTheMotionCheckTests) {
  std::unique_ptr<ManipulatorPlanScene> scene = makeArm6Scene(0.01);
  // Two segments of the base joint with the arm stretched out; a voxel where the wrist is halfway
  // through the first one, some 8 cm from the states around it.
  const double segment = scene->getLongestValidSegment();
  const std::vector<double> from{0.0, -1.0, 0.5, 0.0, 0.5, 0.0};
  std::vector<double> to = from;
  to[0] = 2.0 * segment;
  std::vector<double> between = from;
  between[0] = 0.5 * segment;
  auto tree = makeOctree(0.01);
  fillPoint(*tree, linkPosition(*scene, between, "link6"));
  scene->updateWorldOctomap(tree);
  ASSERT_FALSE(scene->isStateValid(between.data()));
  EXPECT_TRUE(scene->checkMotion(from.data(), to.data())) << "the motion check tests no state near the voxel";
  EXPECT_FALSE(scene->checkMotionFinely(from.data(), to.data()));
  EXPECT_FALSE(scene->checkMotionFinely(between.data(), between.data()));
  EXPECT_TRUE(scene->checkMotionFinely(from.data(), from.data()));
}

TEST(SceneLimits, FixedJointAmongTheGroupsFirstJointsHasNoBounds) {
  std::unique_ptr<ManipulatorPlanScene> scene = makeTestRigScene("fixed_first");
  ASSERT_TRUE(scene->hasPlanningGroup());
  std::vector<std::pair<double, double>> bounds;
  EXPECT_EQ(scene->getJointLimits(bounds), -3);
  std::vector<double> vmax;
  std::vector<double> amax;
  EXPECT_EQ(scene->getVmaxAndAmax(vmax, amax), 0);
}

// The rig's continuous wrist with one voxel on its arm at j1 = 0; records the states its checks test.
class WristMotion : public testing::Test, public ManipulatorPlanScene {
 protected:
  WristMotion() : ManipulatorPlanScene(testRigDirectory(), "test_rig.urdf", "test_rig.srdf", "wrist", 0.0, 1.0) {
    auto tree = makeOctree(0.01);
    fillPoint(*tree, Eigen::Vector3d(0.505, 0.305, 0.305));
    updateWorldOctomap(tree);
  }
  bool isStateValid(const double* state) override {
    tested.push_back(*state);
    return ManipulatorPlanScene::isStateValid(state);
  }
  std::vector<double> tested;
};

// -3 to 3 sweeps through 0, where the voxel is; the short way round through pi would miss it. A free motion
// tests its end first, then every interior state on the straight line.
TEST_F(WristMotion, ContinuousJointMovesAlongRawValuesTestingEveryState) {
  const double a = -3.0;
  const double b = 3.0;
  EXPECT_EQ(validSegmentCount(&a, &b), static_cast<int>(std::ceil(6.0 / getLongestValidSegment())));
  EXPECT_FALSE(checkMotion(&a, &b));
  EXPECT_FALSE(checkMotion(&b, &a));
  EXPECT_FALSE(checkMotionWithMargin(&a, &b));
  const double from = 1.0;
  const double to = 2.0;
  tested.clear();
  ASSERT_TRUE(checkMotion(&from, &to));
  const int n = validSegmentCount(&from, &to);
  ASSERT_EQ(static_cast<int>(tested.size()), n);
  EXPECT_DOUBLE_EQ(tested.front(), to);
  std::sort(tested.begin() + 1, tested.end());
  for (int k = 1; k < n; ++k) EXPECT_NEAR(tested[k], from + (to - from) * k / n, 1e-12);
}

}  // namespace
