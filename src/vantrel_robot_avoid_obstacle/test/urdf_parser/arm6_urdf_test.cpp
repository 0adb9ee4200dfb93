// The arm description the whole system uses.
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "robot_model/urdf_parser/urdf_parser.h"
#include "test/support/console_capture.h"
#include "test/urdf_parser/arm6_files.h"

namespace
{
using Names = std::vector<std::string>;

template <typename Range, typename NameOf>
Names names(const Range& range, NameOf name_of)
{
  Names found;
  for (const auto& item : range)
  {
    found.push_back(name_of(item));
  }
  return found;
}

TEST(Arm6Urdf, LinksJointsTreeAndGeometryAsWritten)
{
  ConsoleCapture capture;
  const auto model = urdf::parseURDFFile(kArm6Urdf);
  ASSERT_TRUE(model);
  EXPECT_TRUE(capture.atLeast(console_bridge::CONSOLE_BRIDGE_LOG_WARN).empty());
  const auto key = [](const auto& entry) { return entry.first; };
  EXPECT_EQ(names(model->joints_, key), (Names{"camera_joint", "finger_left_joint", "finger_right_joint",
                                               "gripper_joint", "joint1", "joint2", "joint3", "joint4", "joint5",
                                               "joint6"}));
  EXPECT_EQ(names(model->materials_, key), (Names{"black", "grey", "orange"}));
  EXPECT_EQ(model->getLink("link1")->visual->material, model->getMaterial("orange"));
  // Each link's chain up to the root, and children in joint name order.
  Names chain;
  for (auto link = model->getLink("gripper_link"); link; link = link->getParent())
  {
    chain.insert(chain.begin(), link->name);
  }
  EXPECT_EQ(chain, (Names{"base_link", "link1", "link2", "link3", "link4", "link5", "link6", "gripper_link"}));
  EXPECT_EQ(names(model->getLink("link6")->child_joints, [](const auto& joint) { return joint->name; }),
            (Names{"camera_joint", "gripper_joint"}));

  const urdf::Pose& origin = model->getJoint("joint2")->parent_to_joint_origin_transform;
  EXPECT_EQ(origin.position.x, 0.05);
  EXPECT_EQ(origin.rpy.y, -1.5707963267948966);
  // Roll pi/2 about x, then pitch -pi/2 about the fixed y axis.
  EXPECT_NEAR(origin.rotation.x, 0.5, 1e-15);
  EXPECT_NEAR(origin.rotation.y, -0.5, 1e-15);
  EXPECT_NEAR(origin.rotation.z, 0.5, 1e-15);
  EXPECT_NEAR(origin.rotation.w, 0.5, 1e-15);
  EXPECT_EQ(model->getJoint("joint6")->limits->lower, -6.28);
  const auto finger = model->getJoint("finger_right_joint");
  EXPECT_EQ(finger->mimic->joint_name, "finger_left_joint");
  EXPECT_EQ(finger->axis.y, -1.0);

  const auto link1 = model->getLink("link1");
  ASSERT_EQ(link1->collision_array.size(), 2u);
  EXPECT_EQ(link1->collision_array[1]->name, "shoulder");
  EXPECT_EQ(std::dynamic_pointer_cast<urdf::Cylinder>(link1->collision_array[1]->geometry)->radius, 0.06);
  const auto gripper = std::dynamic_pointer_cast<urdf::Mesh>(model->getLink("gripper_link")->collision->geometry);
  ASSERT_TRUE(gripper);
  EXPECT_EQ(gripper->filename, "package://meshes/gripper_body.stl");
  EXPECT_FALSE(model->getLink("finger_left_link")->collision);
}
}  // namespace
