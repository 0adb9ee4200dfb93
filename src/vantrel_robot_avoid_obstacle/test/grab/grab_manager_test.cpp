#include <gtest/gtest.h>

#include "grab/grab_manager.h"
#include "support/scene_fixtures.h"

TEST(GrabManager, TakesTheGroupsLimitsAndTheToolMatrixOfEachArm)
{
  Eigen::Matrix4d tool = Eigen::Matrix4d::Identity();
  tool(2, 3) = 0.16;
  for (const auto& make_scene : {+[] { return makeArm6Scene(); }, +[] { return makeArm5Scene(); }})
  {
    testing::internal::CaptureStdout();
    const std::unique_ptr<ManipulatorPlanScene> scene = make_scene();
    const GrabManager manager(scene.get(), tool);
    testing::internal::GetCapturedStdout();

    std::vector<std::pair<double, double>> limits;
    const int n = scene->getJointLimits(limits);
    ASSERT_GT(n, 0);
    EXPECT_EQ(manager.getDof(), n);
    EXPECT_EQ(manager.getJointLimits(), limits);
    EXPECT_EQ(manager.getToolMatrix(), tool);
  }
}
