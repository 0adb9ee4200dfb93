#include <array>
#include <fstream>
#include <sstream>
#include <stdexcept>

#include <gtest/gtest.h>

#include "support/captured_output.h"
#include "support/scene_fixtures.h"

namespace {

const std::string kArm6Urdf = "urdf/arm6_and_whole_gripper_linker_shim_camera.urdf";
const std::string kArm6Srdf = "srdf/arm6_and_whole_gripper_linker.srdf";

struct Built {
  std::unique_ptr<ManipulatorPlanScene> scene;
  std::string output;
  std::string error;  // the message of a set-up error
};

Built build(const std::string& directory, const std::string& urdf, const std::string& srdf, const std::string& group,
            double padding = 0.0) {
  Built built;
  built.output = capturedOutput([&] {
    try {
      built.scene = std::make_unique<ManipulatorPlanScene>(directory, urdf, srdf, group, padding, 1.0);
    } catch (const std::runtime_error& error) {
      built.error = error.what();
    }
  });
  return built;
}

std::size_t countOf(const std::string& text, const std::string& needle) {
  std::size_t count = 0;
  for (std::size_t at = text.find(needle); at != std::string::npos; at = text.find(needle, at + needle.size())) ++count;
  return count;
}

TEST(SceneConstruction, Arm6SettlesTheArmGroupPrintsItsSetUpAndPointsTheDescriptionAtItsDirectory) {
  const Built built = build(arm6Directory(), kArm6Urdf, kArm6Srdf, "arm", 0.01);
  for (const char* line : {"start build robot model...\n", "build robot model success!\n",
                           "we find <arm> joint group.\n", "max_extent_=38.560000\n",
                           "longest_valid_segment_=0.192800\n",
                           // The gripper's padding in the standard world test, not the margin just set.
                           "n_dof=6,n=7,my gripper_link padding:0.01\n"}) {
    EXPECT_NE(built.output.find(line), std::string::npos) << line;
  }
  EXPECT_EQ(built.scene->getPlanningGroupName(), "arm");
  EXPECT_DOUBLE_EQ(built.scene->getMarginSelfCollisionRobot().getLinkPadding("gripper_link"), 0.06);

  std::stringstream raw;
  raw << std::ifstream(arm6Directory() + kArm6Urdf).rdbuf();
  const std::size_t references = countOf(raw.str(), "package://");
  ASSERT_GT(references, 0u);
  const std::string& description = built.scene->getRobotDescription();
  EXPECT_EQ(countOf(description, "package://"), 0u);
  EXPECT_EQ(countOf(description, "file://" + arm6Directory()), references);
  EXPECT_EQ(description.size(), raw.str().size() + references * (arm6Directory().size() + 7 - 10));
}

TEST(SceneConstruction, SingleGroupModelPlansItsGroupWhateverTheConfiguredName) {
  const std::unique_ptr<ManipulatorPlanScene> scene = makeArm5Scene("no_such_group");
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
  using Files = std::array<std::string, 4>;  // directory, URDF, SRDF, group
  for (const Files& files : {Files{arm6Directory(), kArm6Urdf, kArm6Srdf, "elbow"},
                             Files{arm6Directory(), "urdf/missing.urdf", kArm6Srdf, "arm"},
                             Files{testRigDirectory(), "test_rig.urdf", "test_rig_nested_groups.srdf", "wrist"},
                             Files{testRigDirectory(), "test_rig_missing_mesh.urdf", "test_rig.srdf", "wrist"}}) {
    const std::unique_ptr<ManipulatorPlanScene> scene = build(files[0], files[1], files[2], files[3]).scene;
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
  for (const char* group : {"mount_only", "cart"}) {
    const Built built = build(testRigDirectory(), "test_rig.urdf", "test_rig.srdf", group);
    EXPECT_EQ(built.scene, nullptr) << group;
    EXPECT_NE(built.error.find("longest_valid_segment is"), std::string::npos) << group;
  }
}

}  // namespace
