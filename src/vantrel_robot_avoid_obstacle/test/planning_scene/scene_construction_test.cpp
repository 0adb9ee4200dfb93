#include <array>
#include <fstream>
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
  // An unknown group, a missing description, nested groups only, and a mesh that cannot be loaded, whose link
  // would have no collision geometry and check as free everywhere.
  const std::string arm6_urdf = "urdf/arm6_and_whole_gripper_linker_shim_camera.urdf";
  const std::string arm6_srdf = "srdf/arm6_and_whole_gripper_linker.srdf";
  using Files = std::array<std::string, 4>;  // directory, URDF, SRDF, group
  for (const Files& files : {Files{arm6Directory(), arm6_urdf, arm6_srdf, "elbow"},
                             Files{arm6Directory(), "urdf/missing.urdf", arm6_srdf, "arm"},
                             Files{testRigDirectory(), "test_rig.urdf", "test_rig_nested_groups.srdf", "wrist"},
                             Files{testRigDirectory(), "test_rig_missing_mesh.urdf", "test_rig.srdf", "wrist"}}) {
    std::unique_ptr<ManipulatorPlanScene> scene;
    capturedOutput(
        [&] { scene = std::make_unique<ManipulatorPlanScene>(files[0], files[1], files[2], files[3], 0.0, 1.0); });
    EXPECT_FALSE(scene->hasPlanningGroup()) << files[1] << " " << files[3];
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
