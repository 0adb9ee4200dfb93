// Thousands of damaged copies of the arm's SRDF, and the SRDF against damaged URDFs: every entry that is kept
// names what exists.
#include <cstdio>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "robot_model/srdf_parser/model.h"
#include "robot_model/urdf_parser/urdf_parser.h"
#include "test/fuzz/text_mutator.h"
#include "test/support/console_capture.h"

namespace
{
const std::string kArm6Dir = std::string(RAO_SOURCE_DIR) +
                             "/src/robot_avoid_obstacle/resources/robot_descriptions/"
                             "arm6_description/";

std::string readFile(const std::string& path)
{
  std::ifstream stream(path);
  return std::string((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
}

void expectConsistent(const srdf::Model& model, const urdf::ModelInterface& urdf_model)
{
  const auto known_link = [&](const std::string& name) { return urdf_model.getLink(name) != nullptr; };
  const auto valid_joint = [&](const std::string& name) { return model.isValidJoint(urdf_model, name); };
  std::set<std::string> groups;
  for (const auto& group : model.getGroups())
  {
    groups.insert(group.name_);
  }
  for (const auto& group : model.getGroups())
  {
    for (const auto& link : group.links_)
    {
      EXPECT_TRUE(known_link(link)) << link;
    }
    for (const auto& joint : group.joints_)
    {
      EXPECT_TRUE(valid_joint(joint)) << joint;
    }
    for (const auto& chain : group.chains_)
    {
      EXPECT_TRUE(known_link(chain.first) && known_link(chain.second));
    }
    for (const auto& subgroup : group.subgroups_)
    {
      EXPECT_EQ(groups.count(subgroup), 1u) << subgroup;
    }
  }
  for (const auto& state : model.getGroupStates())
  {
    EXPECT_EQ(groups.count(state.group_), 1u);
    for (const auto& values : state.joint_values_)
    {
      EXPECT_TRUE(valid_joint(values.first));
      EXPECT_FALSE(values.second.empty());
    }
  }
  for (const auto& joint : model.getVirtualJoints())
  {
    EXPECT_TRUE(known_link(joint.child_link_));
    EXPECT_TRUE(joint.type_ == "fixed" || joint.type_ == "planar" || joint.type_ == "floating") << joint.type_;
  }
  for (const auto& end_effector : model.getEndEffectors())
  {
    EXPECT_EQ(groups.count(end_effector.component_group_), 1u);
    EXPECT_TRUE(known_link(end_effector.parent_link_));
  }
  for (const auto& spheres : model.getLinkSphereApproximations())
  {
    EXPECT_TRUE(known_link(spheres.link_));
    EXPECT_FALSE(spheres.spheres_.empty());
  }
  for (const auto* pairs : {&model.getDisabledCollisionPairs(), &model.getEnabledCollisionPairs()})
  {
    for (const auto& pair : *pairs)
    {
      EXPECT_TRUE(known_link(pair.link1_) && known_link(pair.link2_));
    }
  }
  for (const auto& joint : model.getPassiveJoints())
  {
    EXPECT_TRUE(valid_joint(joint.name_));
  }
  for (const auto& properties : model.getJointProperties())
  {
    EXPECT_TRUE(valid_joint(properties.first));
  }
}

class SrdfMutations : public testing::Test
{
protected:
  void SetUp() override
  {
    urdf_text_ = readFile(kArm6Dir + "urdf/arm6_and_whole_gripper_linker_shim_camera.urdf");
    srdf_text_ = readFile(kArm6Dir + "srdf/arm6_and_whole_gripper_linker.srdf");
    urdf_ = urdf::parseURDF(urdf_text_);
    ASSERT_TRUE(urdf_);
    ASSERT_FALSE(srdf_text_.empty());
  }

  void load(const urdf::ModelInterface& urdf_model, const std::string& srdf_text, int index)
  {
    // A fresh file each time: rewriting one file in place is slow on some file systems.
    const std::string path = testing::TempDir() + "srdf_mutation_" + std::to_string(index) + ".srdf";
    std::ofstream(path) << srdf_text;
    srdf::Model model;
    model.initFile(urdf_model, path);
    std::remove(path.c_str());
    expectConsistent(model, urdf_model);
    if (HasFailure())
    {
      FAIL() << "mutation " << index << ":\n" << srdf_text;
    }
  }

  std::string urdf_text_;
  std::string srdf_text_;
  std::shared_ptr<urdf::ModelInterface> urdf_;
};

TEST_F(SrdfMutations, DamagedSrdfKeepsOnlyWhatExists)
{
  ConsoleCapture capture;
  TextMutator mutator(7);
  for (int i = 0; i < 2500 && !HasFailure(); ++i)
  {
    capture.clear();
    load(*urdf_, mutator.mutate(srdf_text_), i);
  }
}

TEST_F(SrdfMutations, SrdfAgainstDamagedUrdfs)
{
  ConsoleCapture capture;
  TextMutator mutator(11);
  int loaded = 0;
  for (int i = 0; i < 1000 && !HasFailure(); ++i)
  {
    capture.clear();
    const auto urdf_model = urdf::parseURDF(mutator.mutate(urdf_text_));
    if (urdf_model)
    {
      ++loaded;
      load(*urdf_model, srdf_text_, i);
    }
  }
  EXPECT_GT(loaded, 100);
}
}  // namespace
