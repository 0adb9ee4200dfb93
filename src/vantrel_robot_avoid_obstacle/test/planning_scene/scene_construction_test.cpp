#include <fstream>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

#include "support/scene_fixtures.h"

namespace {

std::size_t countOf(const std::string& text, const std::string& needle) {
  std::size_t count = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size())) ++count;
  return count;
}

TEST(SceneConstruction, Arm6SettlesTheArmGroupAndPrintsItsSetUp) {
  testing::internal::CaptureStdout();
  auto scene = makeArm6Scene(0.01);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("start build robot model...\n"), std::string::npos);
  EXPECT_NE(out.find("build robot model success!\n"), std::string::npos);
  EXPECT_NE(out.find("---------CollisionRobotFCL, CollisionWorldFCL  init success.---------\n"), std::string::npos);
  EXPECT_NE(out.find("---------group_input_state_map_ (size=2) init success.---------\n"), std::string::npos);
  EXPECT_NE(out.find("we find <arm> joint group.\n"), std::string::npos);
  EXPECT_NE(out.find("max_extent_=38.560000\n"), std::string::npos);
  EXPECT_NE(out.find("longest_valid_segment_=0.192800\n"), std::string::npos);
  // The line shows the margin just set on the wider-margin self-check robot.
  EXPECT_NE(out.find("n_dof=6,n=7,my gripper_link padding:0.06\n"), std::string::npos);

  ASSERT_TRUE(scene->hasPlanningGroup());
  EXPECT_EQ(scene->getPlanningGroupName(), "arm");
  EXPECT_DOUBLE_EQ(scene->getPlanningGroupExtent(), 38.56);
  EXPECT_DOUBLE_EQ(scene->getLongestValidSegment(), 38.56 * 0.005);
  EXPECT_DOUBLE_EQ(scene->getMarginSelfCollisionRobot().getLinkPadding("gripper_link"), 0.06);
  EXPECT_DOUBLE_EQ(scene->getMarginSelfCollisionRobot().getLinkPadding("link6"), 0.0);
  EXPECT_DOUBLE_EQ(scene->getPaddedCollisionRobot().getLinkPadding("gripper_link"), 0.01);
}

TEST(SceneConstruction, RobotDescriptionPointsAtTheDescriptionDirectory) {
  testing::internal::CaptureStdout();
  auto scene = makeArm6Scene();
  testing::internal::GetCapturedStdout();
  std::ifstream file(arm6Directory() + "urdf/arm6_and_whole_gripper_linker_shim_camera.urdf");
  std::stringstream raw;
  raw << file.rdbuf();
  const std::size_t references = countOf(raw.str(), "package://");
  ASSERT_GT(references, 0u);

  const std::string& description = scene->getRobotDescription();
  EXPECT_EQ(countOf(description, "package://"), 0u);
  EXPECT_EQ(countOf(description, "file://" + arm6Directory()), references);
  EXPECT_NE(description.find("file://" + arm6Directory() + "meshes/base_link.stl"), std::string::npos);
  EXPECT_EQ(description.size(), raw.str().size() + references * (arm6Directory().size() + 7 - 10));
}

TEST(SceneConstruction, SingleGroupModelPlansItsGroupWhateverTheConfiguredName) {
  testing::internal::CaptureStdout();
  auto scene = makeArm5Scene("no_such_group");
  const std::string out = testing::internal::GetCapturedStdout();
  ASSERT_TRUE(scene->hasPlanningGroup());
  EXPECT_EQ(scene->getPlanningGroupName(), "arm");
  EXPECT_EQ(out.find("we find <"), std::string::npos);
  EXPECT_EQ(out.find("we can not find"), std::string::npos);
  std::vector<std::pair<double, double>> bounds;
  EXPECT_EQ(scene->getJointLimits(bounds), 5);
  const std::vector<double> home(5, 0.0);
  EXPECT_TRUE(scene->isStateValid(home.data()));
}

void expectEveryQueryFails(ManipulatorPlanScene& scene) {
  EXPECT_FALSE(scene.hasPlanningGroup());
  EXPECT_EQ(scene.getPlanningGroup(), nullptr);
  std::vector<std::pair<double, double>> bounds{{1.0, 2.0}};
  EXPECT_EQ(scene.getJointLimits(bounds), -1);
  EXPECT_TRUE(bounds.empty());
  std::vector<double> vmax{7.0};
  std::vector<double> amax;
  EXPECT_EQ(scene.getVmaxAndAmax(vmax, amax), 0);
  EXPECT_EQ(vmax, std::vector<double>{7.0});
  const std::vector<double> q(6, 0.0);
  const std::vector<double> r(6, 0.5);
  testing::internal::CaptureStdout();
  EXPECT_FALSE(scene.isStateValid(q.data()));
  EXPECT_FALSE(scene.isStateValidWithMargin(q.data()));
  EXPECT_FALSE(scene.checkMotion(q.data(), r.data()));
  EXPECT_FALSE(scene.checkMotionWithMargin(q.data(), r.data()));
  EXPECT_EQ(scene.validSegmentCount(q.data(), r.data()), -1);
  EXPECT_TRUE(scene.getLinkTransforms(q.data()).empty());
  scene.setGripperPadding(0.05);
  EXPECT_EQ(testing::internal::GetCapturedStdout(), "");
}

TEST(SceneConstruction, UnknownGroupNameLeavesTheSceneWithoutPlanningGroup) {
  testing::internal::CaptureStdout();
  auto scene = makeArm6Scene(0.0, "elbow");
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("we can not find <elbow> joint group. \nset Planned JointGroup error when initialize!\n"),
            std::string::npos);
  EXPECT_EQ(out.find("max_extent_="), std::string::npos);
  expectEveryQueryFails(*scene);
  EXPECT_GT(scene->getMaximumExtent(), 0.0);
}

TEST(SceneConstruction, MissingUrdfLeavesAnEmptySceneThatRefusesQueries) {
  testing::internal::CaptureStdout();
  ManipulatorPlanScene scene(arm6Directory(), "urdf/missing.urdf", "srdf/arm6_and_whole_gripper_linker.srdf", "arm",
                             0.0, 1.0);
  const std::string out = testing::internal::GetCapturedStdout();
  EXPECT_NE(out.find("File " + arm6Directory() + "urdf/missing.urdf does not exist!\n"), std::string::npos);
  EXPECT_NE(out.find("joint_model_groups_size==0 error.\n"), std::string::npos);
  EXPECT_NE(out.find("joint group size is 0, init error!\nset Planned JointGroup error when initialize!\n"),
            std::string::npos);
  EXPECT_TRUE(scene.getRobotDescription().empty());
  expectEveryQueryFails(scene);
}

void expectSetUpError(const std::string& group, const std::string& message) {
  testing::internal::CaptureStdout();
  try {
    makeTestRigScene(group);
    testing::internal::GetCapturedStdout();
    ADD_FAILURE() << "no set-up error for group " << group;
  } catch (const std::runtime_error& error) {
    testing::internal::GetCapturedStdout();
    EXPECT_EQ(std::string(error.what()), message);
  }
}

TEST(SceneConstruction, SegmentLengthThatIsNotFinitePositiveIsASetUpError) {
  // A group without moving joints has no extent, an unbounded planar joint an infinite one.
  expectSetUpError("mount_only", "longest_valid_segment is too small!\n");
  expectSetUpError("cart", "longest_valid_segment is not finite!\n");
}

}  // namespace
