#include <fstream>
#include <functional>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

#include "support/captured_output.h"
#include "support/scene_fixtures.h"

namespace {

std::size_t countOf(const std::string& text, const std::string& needle) {
  std::size_t count = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size())) ++count;
  return count;
}

TEST(SceneConstruction, Arm6SettlesTheArmGroupPrintsItsSetUpAndPointsTheDescriptionAtItsDirectory) {
  std::unique_ptr<ManipulatorPlanScene> scene;
  const std::string out = capturedOutput([&] { scene = makeArm6Scene(0.01); });
  for (const char* line : {"start build robot model...\n", "build robot model success!\n",
                           "we find <arm> joint group.\n", "max_extent_=38.560000\n",
                           "longest_valid_segment_=0.192800\n",
                           // The gripper's padding in the standard world test, not the margin just set.
                           "n_dof=6,n=7,my gripper_link padding:0.01\n"}) {
    EXPECT_NE(out.find(line), std::string::npos) << line;
  }
  EXPECT_EQ(scene->getPlanningGroupName(), "arm");
  EXPECT_DOUBLE_EQ(scene->getMarginSelfCollisionRobot().getLinkPadding("gripper_link"), 0.06);

  std::ifstream file(arm6Directory() + "urdf/arm6_and_whole_gripper_linker_shim_camera.urdf");
  std::stringstream raw;
  raw << file.rdbuf();
  const std::size_t references = countOf(raw.str(), "package://");
  ASSERT_GT(references, 0u);
  const std::string& description = scene->getRobotDescription();
  EXPECT_EQ(countOf(description, "package://"), 0u);
  EXPECT_EQ(countOf(description, "file://" + arm6Directory()), references);
  EXPECT_EQ(description.size(), raw.str().size() + references * (arm6Directory().size() + 7 - 10));
}

TEST(SceneConstruction, SingleGroupModelPlansItsGroupWhateverTheConfiguredName) {
  std::unique_ptr<ManipulatorPlanScene> scene;
  const std::string out = capturedOutput([&] { scene = makeArm5Scene("no_such_group"); });
  EXPECT_EQ(out.find("we can not find"), std::string::npos);
  ASSERT_TRUE(scene->hasPlanningGroup());
  EXPECT_EQ(scene->getPlanningGroupName(), "arm");
  std::vector<std::pair<double, double>> bounds;
  EXPECT_EQ(scene->getJointLimits(bounds), 5);
  const std::vector<double> home(5, 0.0);
  EXPECT_TRUE(scene->isStateValid(home.data()));
}

TEST(SceneConstruction, WithoutAPlanningGroupEveryQueryFails) {
  const std::vector<std::pair<std::function<std::unique_ptr<ManipulatorPlanScene>()>, std::string>> cases{
      {[] { return makeArm6Scene(0.0, "elbow"); },
       "we can not find <elbow> joint group. \nset Planned JointGroup error when initialize!\n"},
      {[] {
         return std::make_unique<ManipulatorPlanScene>(arm6Directory(), "urdf/missing.urdf",
                                                       "srdf/arm6_and_whole_gripper_linker.srdf", "arm", 0.0, 1.0);
       },
       "joint group size is 0, init error!\nset Planned JointGroup error when initialize!\n"},
      {[] {
         return std::make_unique<ManipulatorPlanScene>(testRigDirectory(), "test_rig.urdf",
                                                       "test_rig_nested_groups.srdf", "wrist", 0.0, 1.0);
       },
       "(size=1) init success.---------\nGroup '' not found in model 'test_rig'\n"},
      // The mesh's link would have no collision geometry and check as free everywhere.
      {[] {
         return std::make_unique<ManipulatorPlanScene>(testRigDirectory(), "test_rig_missing_mesh.urdf",
                                                       "test_rig.srdf", "wrist", 0.0, 1.0);
       },
       "The robot model has set-up errors, no planning group is set!\n"},
  };
  for (const auto& [make, message] : cases) {
    std::unique_ptr<ManipulatorPlanScene> scene;
    EXPECT_NE(capturedOutput([&] { scene = make(); }).find(message), std::string::npos) << message;
    EXPECT_FALSE(scene->hasPlanningGroup());
    std::vector<std::pair<double, double>> bounds{{1.0, 2.0}};
    EXPECT_EQ(scene->getJointLimits(bounds), -1);
    EXPECT_TRUE(bounds.empty());
    std::vector<double> vmax;
    std::vector<double> amax;
    EXPECT_EQ(scene->getVmaxAndAmax(vmax, amax), 0);
    const std::vector<double> q(6, 0.0);
    const std::vector<double> r(6, 0.5);
    EXPECT_FALSE(scene->isStateValid(q.data()));
    EXPECT_FALSE(scene->isStateValidWithMargin(q.data()));
    EXPECT_FALSE(scene->checkMotion(q.data(), r.data()));
    EXPECT_FALSE(scene->checkMotionWithMargin(q.data(), r.data()));
    EXPECT_TRUE(scene->getLinkTransforms(q.data()).empty());
    EXPECT_EQ(capturedOutput([&] { scene->setGripperPadding(0.05); }), "");
  }
}

TEST(SceneConstruction, SegmentLengthThatIsNotFinitePositiveIsASetUpError) {
  // A group without moving joints has no extent, an unbounded planar joint an infinite one.
  using Case = std::pair<const char*, const char*>;
  for (const auto& [group, message] : {Case{"mount_only", "longest_valid_segment is too small!\n"},
                                       Case{"cart", "longest_valid_segment is not finite!\n"}}) {
    std::string error;
    capturedOutput([&] {
      try {
        makeTestRigScene(group);
      } catch (const std::runtime_error& set_up_error) {
        error = set_up_error.what();
      }
    });
    EXPECT_EQ(error, message) << group;
  }
}

}  // namespace
