// Thousands of damaged copies of the arm's SRDF, and the SRDF against damaged URDFs: every entry that is kept
// names what exists.
#include <algorithm>
#include <cstdio>
#include <fstream>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "robot_model/srdf_parser/model.h"
#include "robot_model/urdf_parser/urdf_parser.h"
#include "test/fuzz/text_mutator.h"
#include "test/support/console_capture.h"
#include "test/support/arm_descriptions.h"

namespace
{
void expectConsistent(const srdf::Model& model, const urdf::ModelInterface& urdf_model)
{
  std::set<std::string> groups;
  for (const auto& group : model.getGroups())
  {
    groups.insert(group.name_);
  }
  const auto link = [&](const std::string& name) { EXPECT_TRUE(urdf_model.getLink(name)) << "link " << name; };
  const auto joint = [&](const std::string& name) { EXPECT_TRUE(model.isValidJoint(urdf_model, name)) << name; };
  const auto group = [&](const std::string& name) { EXPECT_EQ(groups.count(name), 1u) << "group " << name; };
  for (const auto& g : model.getGroups())
  {
    std::for_each(g.links_.begin(), g.links_.end(), link);
    std::for_each(g.joints_.begin(), g.joints_.end(), joint);
    std::for_each(g.subgroups_.begin(), g.subgroups_.end(), group);
    for (const auto& chain : g.chains_)
    {
      link(chain.first);
      link(chain.second);
    }
  }
  for (const auto& state : model.getGroupStates())
  {
    group(state.group_);
    for (const auto& values : state.joint_values_)
    {
      joint(values.first);
      EXPECT_FALSE(values.second.empty());
    }
  }
  for (const auto& virtual_joint : model.getVirtualJoints())
  {
    link(virtual_joint.child_link_);
    EXPECT_TRUE(virtual_joint.type_ == "fixed" || virtual_joint.type_ == "planar" || virtual_joint.type_ == "floating");
  }
  for (const auto& end_effector : model.getEndEffectors())
  {
    group(end_effector.component_group_);
    link(end_effector.parent_link_);
  }
  for (const auto* pairs : {&model.getDisabledCollisionPairs(), &model.getEnabledCollisionPairs()})
  {
    for (const auto& pair : *pairs)
    {
      link(pair.link1_);
      link(pair.link2_);
    }
  }
}

TEST(SrdfMutations, KeepOnlyWhatExists)
{
  using arm_descriptions::kArm6Dir;
  const std::string urdf_text = arm_descriptions::readFile(kArm6Dir + arm_descriptions::kArm6Urdf);
  const std::string srdf_text = arm_descriptions::readFile(kArm6Dir + arm_descriptions::kArm6Srdf);
  const auto arm6 = urdf::parseURDF(urdf_text);
  ASSERT_TRUE(arm6);
  ConsoleCapture capture;
  // 2,500 damaged SRDFs against the arm, then the intact SRDF against 1,000 damaged URDFs.
  TextMutator mutator(7);
  int loaded = 0;
  for (int i = 0; i < 3500 && !HasFailure(); ++i)
  {
    capture.clear();
    const bool damaged_urdf = i >= 2500;
    const auto urdf_model = damaged_urdf ? urdf::parseURDF(mutator.mutate(urdf_text)) : arm6;
    if (!urdf_model)
    {
      continue;
    }
    loaded += damaged_urdf ? 1 : 0;
    const std::string text = damaged_urdf ? srdf_text : mutator.mutate(srdf_text);
    // A fresh file each time: rewriting one file in place is slow on some file systems.
    const std::string path = testing::TempDir() + "srdf_mutation_" + std::to_string(i) + ".srdf";
    std::ofstream(path) << text;
    srdf::Model model;
    model.initFile(*urdf_model, path);
    std::remove(path.c_str());
    expectConsistent(model, *urdf_model);
    if (HasFailure())
    {
      ADD_FAILURE() << "case " << i << ":\n" << text;
    }
  }
  EXPECT_GT(loaded, 100);
}
}  // namespace
