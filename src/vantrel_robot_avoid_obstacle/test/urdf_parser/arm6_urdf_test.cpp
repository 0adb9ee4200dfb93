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

const auto key = [](const auto& entry) { return entry.first; };
const auto name = [](const auto& element) { return element->name; };

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

TEST_F(Arm6Urdf, LinksJointsMaterialsAndTree)
{
  EXPECT_EQ(model_->name_, "arm6");
  EXPECT_EQ(names(model_->links_, key), (Names{"base_link", "camera_link", "finger_left_link", "finger_right_link",
                                               "gripper_link", "link1", "link2", "link3", "link4", "link5", "link6"}));
  EXPECT_EQ(names(model_->joints_, key), (Names{"camera_joint", "finger_left_joint", "finger_right_joint",
                                                "gripper_joint", "joint1", "joint2", "joint3", "joint4", "joint5",
                                                "joint6"}));
  EXPECT_EQ(names(model_->materials_, key), (Names{"black", "grey", "orange"}));
  EXPECT_EQ(model_->getLink("link1")->visual->material, model_->getMaterial("orange"));

  ASSERT_EQ(model_->getRoot()->name, "base_link");
  const auto link6 = model_->getLink("link6");
  EXPECT_EQ(names(link6->child_joints, name), (Names{"camera_joint", "gripper_joint"}));
  EXPECT_EQ(link6->child_links[1]->name, "gripper_link");
  EXPECT_EQ(names(model_->getLink("gripper_link")->child_joints, name),
            (Names{"finger_left_joint", "finger_right_joint"}));
  Names chain;
  for (auto link = model_->getLink("gripper_link"); link; link = link->getParent())
  {
    chain.insert(chain.begin(), link->name);
  }
  EXPECT_EQ(chain, (Names{"base_link", "link1", "link2", "link3", "link4", "link5", "link6", "gripper_link"}));
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
  // Roll pi/2 about x, then pitch -pi/2 about the fixed y axis.
  EXPECT_NEAR(origin.rotation.x, 0.5, 1e-15);
  EXPECT_NEAR(origin.rotation.y, -0.5, 1e-15);
  EXPECT_NEAR(origin.rotation.z, 0.5, 1e-15);
  EXPECT_NEAR(origin.rotation.w, 0.5, 1e-15);
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

  const auto finger = model_->getJoint("finger_right_joint");
  ASSERT_TRUE(finger->mimic);
  EXPECT_EQ(finger->mimic->joint_name, "finger_left_joint");
  EXPECT_EQ(finger->mimic->multiplier, 1.0);
  EXPECT_EQ(finger->axis.y, -1.0);
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
