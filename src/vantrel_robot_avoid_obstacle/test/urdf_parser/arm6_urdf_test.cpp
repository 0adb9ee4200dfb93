// The arm description the whole system uses, as parsed (its tree order is checked on the built robot model).
#include <cmath>

#include <gtest/gtest.h>

#include "robot_model/urdf_parser/urdf_parser.h"
#include "test/support/arm_descriptions.h"
#include "test/support/console_capture.h"

namespace
{
TEST(Arm6Urdf, ParsesQuietlyWithItsMaterialsOriginsAndShapesAsWritten)
{
  ConsoleCapture capture;
  const auto model = urdf::parseURDFFile(arm_descriptions::kArm6Dir + arm_descriptions::kArm6Urdf);
  ASSERT_TRUE(model);
  EXPECT_TRUE(capture.atLeast(console_bridge::CONSOLE_BRIDGE_LOG_WARN).empty());
  EXPECT_EQ(model->links_.size(), 11u);
  EXPECT_EQ(model->joints_.size(), 10u);
  EXPECT_EQ(model->materials_.size(), 3u);
  EXPECT_EQ(model->getLink("link1")->visual->material, model->getMaterial("orange"));
  EXPECT_EQ(model->getRoot()->name, "base_link");
  const auto& children = model->getLink("link6")->child_joints;
  ASSERT_EQ(children.size(), 2u);
  EXPECT_EQ(children[0]->name + " " + children[1]->name, "camera_joint gripper_joint");

  const urdf::Pose& origin = model->getJoint("joint2")->parent_to_joint_origin_transform;
  EXPECT_EQ(origin.position.x, 0.05);
  EXPECT_EQ(origin.rpy.y, -1.5707963267948966);
  // Roll pi/2 about x, then pitch -pi/2 about the fixed y axis.
  const urdf::Rotation& q = origin.rotation;
  EXPECT_LT(std::abs(q.x - 0.5) + std::abs(q.y + 0.5) + std::abs(q.z - 0.5) + std::abs(q.w - 0.5), 1e-15);
  EXPECT_EQ(model->getJoint("joint6")->limits->lower, -6.28);
  EXPECT_EQ(model->getJoint("finger_right_joint")->axis.y, -1.0);
  EXPECT_EQ(model->getJoint("finger_right_joint")->mimic->joint_name, "finger_left_joint");

  const auto link1 = model->getLink("link1");
  ASSERT_EQ(link1->collision_array.size(), 2u);
  EXPECT_EQ(link1->collision_array[1]->name, "shoulder");
  EXPECT_EQ(std::dynamic_pointer_cast<urdf::Cylinder>(link1->collision_array[1]->geometry)->radius, 0.06);
  const auto gripper = std::dynamic_pointer_cast<urdf::Mesh>(model->getLink("gripper_link")->collision->geometry);
  ASSERT_TRUE(gripper);
  EXPECT_EQ(gripper->filename, "package://meshes/gripper_body.stl");
}
}  // namespace
