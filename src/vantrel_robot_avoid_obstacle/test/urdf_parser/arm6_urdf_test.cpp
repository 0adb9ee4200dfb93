// The arm description the whole system uses.
#include <cmath>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "robot_model/urdf_parser/urdf_parser.h"
#include "test/support/console_capture.h"

namespace
{
const std::string kArm6Urdf = std::string(RAO_SOURCE_DIR) +
                              "/src/robot_avoid_obstacle/resources/robot_descriptions/arm6_description/urdf/"
                              "arm6_and_whole_gripper_linker_shim_camera.urdf";

template <typename Map>
std::vector<std::string> keys(const Map& map)
{
  std::vector<std::string> names;
  for (const auto& entry : map)
  {
    names.push_back(entry.first);
  }
  return names;
}

std::vector<std::string> childJointNames(const urdf::Link& link)
{
  std::vector<std::string> names;
  for (const auto& joint : link.child_joints)
  {
    names.push_back(joint->name);
  }
  return names;
}

class Arm6Urdf : public testing::Test
{
protected:
  void SetUp() override
  {
    ConsoleCapture capture;
    model_ = urdf::parseURDFFile(kArm6Urdf);
    ASSERT_TRUE(model_);
    EXPECT_TRUE(capture.atLeast(console_bridge::CONSOLE_BRIDGE_LOG_WARN).empty());
  }

  std::shared_ptr<urdf::ModelInterface> model_;
};

TEST_F(Arm6Urdf, LinksJointsAndMaterials)
{
  EXPECT_EQ(model_->name_, "arm6");
  EXPECT_EQ(keys(model_->links_),
            (std::vector<std::string>{"base_link", "camera_link", "finger_left_link", "finger_right_link",
                                      "gripper_link", "link1", "link2", "link3", "link4", "link5", "link6"}));
  EXPECT_EQ(keys(model_->joints_),
            (std::vector<std::string>{"camera_joint", "finger_left_joint", "finger_right_joint", "gripper_joint",
                                      "joint1", "joint2", "joint3", "joint4", "joint5", "joint6"}));
  EXPECT_EQ(keys(model_->materials_), (std::vector<std::string>{"black", "grey", "orange"}));
  EXPECT_EQ(model_->getLink("link1")->visual->material, model_->getMaterial("orange"));
}

TEST_F(Arm6Urdf, TreeFromBaseLinkWithChildrenInJointNameOrder)
{
  ASSERT_EQ(model_->getRoot()->name, "base_link");
  EXPECT_EQ(childJointNames(*model_->getLink("link6")), (std::vector<std::string>{"camera_joint", "gripper_joint"}));
  EXPECT_EQ(model_->getLink("link6")->child_links[1]->name, "gripper_link");
  EXPECT_EQ(childJointNames(*model_->getLink("gripper_link")),
            (std::vector<std::string>{"finger_left_joint", "finger_right_joint"}));

  // The arm chain, root to tool centre point.
  std::vector<std::string> chain;
  for (auto link = model_->getLink("gripper_link"); link; link = link->getParent())
  {
    chain.insert(chain.begin(), link->name);
  }
  EXPECT_EQ(chain, (std::vector<std::string>{"base_link", "link1", "link2", "link3", "link4", "link5", "link6",
                                             "gripper_link"}));
}

TEST_F(Arm6Urdf, JointsAsWritten)
{
  const auto joint2 = model_->getJoint("joint2");
  EXPECT_EQ(joint2->type, urdf::Joint::REVOLUTE);
  const urdf::Pose& origin = joint2->parent_to_joint_origin_transform;
  EXPECT_EQ(origin.position.x, 0.05);
  EXPECT_EQ(origin.rpy.x, 1.5707963267948966);
  EXPECT_EQ(origin.rpy.y, -1.5707963267948966);
  EXPECT_EQ(origin.rpy.z, 0.0);
  urdf::Rotation expected;
  expected.setFromRPY(1.5707963267948966, -1.5707963267948966, 0.0);
  EXPECT_EQ(origin.rotation.x, expected.x);
  EXPECT_EQ(origin.rotation.w, expected.w);
  EXPECT_NEAR(
      std::hypot(std::hypot(origin.rotation.x, origin.rotation.y), std::hypot(origin.rotation.z, origin.rotation.w)),
      1.0, 1e-15);
  EXPECT_EQ(joint2->axis.z, 1.0);

  EXPECT_EQ(model_->getJoint("joint6")->limits->lower, -6.28);
  EXPECT_EQ(model_->getJoint("joint6")->limits->upper, 6.28);
  for (const auto& entry : model_->joints_)
  {
    if (entry.second->type != urdf::Joint::FIXED)
    {
      ASSERT_TRUE(entry.second->limits) << entry.first;
      EXPECT_GT(entry.second->limits->velocity, 0.0) << entry.first;
    }
  }

  const auto mimic = model_->getJoint("finger_right_joint")->mimic;
  ASSERT_TRUE(mimic);
  EXPECT_EQ(mimic->joint_name, "finger_left_joint");
  EXPECT_EQ(mimic->multiplier, 1.0);
  EXPECT_EQ(model_->getJoint("finger_right_joint")->axis.y, -1.0);
  EXPECT_EQ(model_->getJoint("camera_joint")->type, urdf::Joint::FIXED);
}

TEST_F(Arm6Urdf, CollisionGeometry)
{
  const auto link1 = model_->getLink("link1");
  ASSERT_EQ(link1->collision_array.size(), 2u);
  EXPECT_EQ(link1->collision, link1->collision_array[0]);
  EXPECT_EQ(link1->collision_array[1]->name, "shoulder");
  const auto shoulder = std::dynamic_pointer_cast<urdf::Cylinder>(link1->collision_array[1]->geometry);
  ASSERT_TRUE(shoulder);
  EXPECT_EQ(shoulder->radius, 0.06);

  const auto gripper = std::dynamic_pointer_cast<urdf::Mesh>(model_->getLink("gripper_link")->collision->geometry);
  ASSERT_TRUE(gripper);
  EXPECT_EQ(gripper->filename, "package://meshes/gripper_body.stl");
  EXPECT_FALSE(model_->getLink("finger_left_link")->collision);
  EXPECT_TRUE(model_->getLink("finger_left_link")->visual);
}
}  // namespace
