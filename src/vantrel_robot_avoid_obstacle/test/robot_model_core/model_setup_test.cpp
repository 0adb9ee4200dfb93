// Broken or unusual descriptions: each fails set-up visibly or degrades as designed, never crashes.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>

#include "description_fixture.h"
#include "robot_model/core/exceptions.h"
#include "robot_model/core/joint_model_group.h"
#include "robot_model/core/robot_state.h"

namespace {

using robot_model::core::RobotModel;
using robot_model::core::RobotState;

bool mentions(const RobotModel& model, const std::string& text) {
  const auto& errors = model.getSetupErrors();
  return std::any_of(errors.begin(), errors.end(),
                     [&](const std::string& error) { return error.find(text) != std::string::npos; });
}

// The arm6 description built after one of its files was removed.
std::shared_ptr<const RobotModel> buildWithout(const rao_test::TempDescription& description, const std::string& file) {
  description.write();
  std::filesystem::remove(description.directory() + file);
  return rao_test::buildModel(description.directory(), rao_test::kArm6Urdf, rao_test::kArm6Srdf);
}

TEST(ModelSetup, MissingFilesFailSetUpVisibly) {
  rao_test::TempDescription description;
  const auto without_urdf = buildWithout(description, rao_test::kArm6Urdf);
  EXPECT_FALSE(without_urdf->isValid());
  EXPECT_TRUE(mentions(*without_urdf, rao_test::kArm6Urdf));
  EXPECT_EQ(without_urdf->getJointModelCount(), 0u);
  RobotState state(without_urdf);  // an empty model still gives a usable, empty state
  state.updateCollisionBodyTransforms();

  const auto without_srdf = buildWithout(description, rao_test::kArm6Srdf);
  EXPECT_FALSE(without_srdf->isValid());
  EXPECT_TRUE(mentions(*without_srdf, rao_test::kArm6Srdf));
  EXPECT_EQ(without_srdf->getRootJointName(), "ASSUMED_FIXED_ROOT_JOINT");
  EXPECT_TRUE(without_srdf->getJointModelGroups().empty());

  const auto without_mesh = buildWithout(description, "meshes/gripper_body.stl");
  EXPECT_FALSE(without_mesh->isValid());
  EXPECT_TRUE(mentions(*without_mesh, "gripper_link"));
  EXPECT_EQ(without_mesh->getLinkModel("gripper_link")->getShapes().size(), 0u);
}

TEST(ModelSetup, PackageUrlWithoutPackageNameThrowsWithoutLeaking) {
  rao_test::TempDescription description;
  const std::string collision = "<collision>\n      <geometry>\n        <mesh filename=";
  rao_test::replaceOnce(description.urdf, collision + "\"package://meshes/gripper_body.stl\"/>",
                        collision + "\"package://\"/>");
  EXPECT_THROW(description.build(), robot_model::core::Exception);
}

TEST(ModelSetup, RelativeDescriptionDirectoryLoadsEveryMesh) {
  std::string printed;
  const auto model = rao_test::buildModel("./src/robot_avoid_obstacle/resources/robot_descriptions/arm6_description/",
                                          rao_test::kArm6Urdf, rao_test::kArm6Srdf, &printed);
  EXPECT_TRUE(model->isValid()) << printed;
  EXPECT_EQ(model->getLinkModel("gripper_link")->getShapes().size(), 1u);
}

// Arm chains the six-axis closed form cannot serve stay chains without a solver, and say why once.
TEST(ModelSetup, ArmChainsOutsideTheClosedFormGetNoSolver) {
  const struct {
    const char* from;
    const char* to;
    const char* reason;
  } cases[] = {
      // joint3 pitched: no MDH form at all.
      {R"(<origin xyz="0.4 0 0.1" rpy="0 0 0"/>)", R"(<origin xyz="0.4 0 0.1" rpy="0 0.1 0"/>)",
       "Mdh Para failed"},
      // joint4 with alpha -pi/2 instead of +pi/2: a valid MDH origin, the wrong arm type.
      {R"(<origin xyz="0.03 -0.35 0" rpy="1.5707963267948966 0 0"/>)",
       R"(<origin xyz="0.03 0.35 0" rpy="-1.5707963267948966 0 0"/>)", "alpha sequence not equal"},
      // joint2 with an offset along its axis: a valid MDH chain outside the closed form's assumptions.
      {R"(<origin xyz="0.05 0 0" rpy="1.5707963267948966 -1.5707963267948966 0"/>)",
       R"(<origin xyz="0.05 -0.02 0" rpy="1.5707963267948966 -1.5707963267948966 0"/>)", nullptr},
  };
  for (const auto& c : cases) {
    rao_test::TempDescription description;
    rao_test::replaceOnce(description.urdf, c.from, c.to);
    std::string printed;
    const auto model = description.build(&printed);
    const auto* arm = model->getJointModelGroup("arm");
    ASSERT_NE(arm, nullptr);
    EXPECT_TRUE(arm->isChain());
    EXPECT_EQ(arm->kinematics_interface_ptr_, nullptr) << c.to;
    if (c.reason != nullptr) {
      EXPECT_NE(printed.find(c.reason), std::string::npos) << printed;
      EXPECT_EQ(printed.find(c.reason), printed.rfind(c.reason)) << printed;
    }
  }
}

TEST(ModelSetup, EachMatchingGroupGetsItsOwnSolver) {
  rao_test::TempDescription description;
  rao_test::replaceOnce(description.srdf, "<group name=\"gripper\">",
                        "<group name=\"arm_copy\"><chain base_link=\"base_link\" tip_link=\"link6\"/></group>\n"
                        "  <group name=\"gripper\">");
  const auto model = description.build();
  const auto& arm = model->getJointModelGroup("arm")->kinematics_interface_ptr_;
  const auto& copy = model->getJointModelGroup("arm_copy")->kinematics_interface_ptr_;
  ASSERT_TRUE(arm && copy);
  EXPECT_NE(arm, copy);
}

TEST(ModelSetup, VirtualJointNamedLikeAUrdfJointFailsSetUp) {
  rao_test::TempDescription description;
  rao_test::replaceOnce(description.srdf, R"(<virtual_joint name="virtual_joint")", R"(<virtual_joint name="joint1")");
  const auto model = description.build();
  EXPECT_FALSE(model->isValid());
  EXPECT_TRUE(mentions(*model, "joint1"));
}

TEST(ModelSetup, JointPropertyValuesOutOfRangeAreReportedAndSkipped) {
  rao_test::TempDescription description;
  const std::string property = "<joint_property joint_name=\"joint1\" property_name=\"check_motion_max_det_distance\" ";
  rao_test::replaceOnce(description.srdf, "</robot>",
                        property + "value=\"1e999\"/>\n" + property + "value=\"0.5mm\"/>\n</robot>");
  std::shared_ptr<const RobotModel> model;
  std::string printed;
  EXPECT_NO_THROW(model = description.build(&printed));
  EXPECT_NE(printed.find("out of range"), std::string::npos) << printed;
  EXPECT_TRUE(model->isValid());
}

}  // namespace
