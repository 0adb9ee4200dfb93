// Model and group building on a small branching robot: chains, branches, subgroups, mimic chains,
// common roots, root joints and group states.
#include <gtest/gtest.h>

#include "description_fixture.h"
#include "robot_model/core/joint_model_group.h"

namespace {

using robot_model::core::JointModelGroup;
using robot_model::core::RobotModel;

// base_link -j1-> l1, which carries two fingers: -fa-> fa_link -fa_tip_joint (fixed)-> fa_tip and -fb-> fb_link;
// base_link -p-> pl (prismatic) as a second branch; fa and fb may get mimic elements.
std::string branchingUrdf(const std::string& fa_mimic = "", const std::string& fb_mimic = "") {
  auto revolute = [&](const std::string& name, const std::string& parent, const std::string& child) {
    return "<joint name=\"" + name + "\" type=\"revolute\"><parent link=\"" + parent + "\"/><child link=\"" + child +
           "\"/><origin xyz=\"0 0 0.1\" rpy=\"0 0 0\"/><axis xyz=\"0 0 1\"/>"
           "<limit lower=\"-1\" upper=\"1\" effort=\"1\" velocity=\"1\"/>" +
           (name == "fa" ? fa_mimic : name == "fb" ? fb_mimic : std::string()) + "</joint>\n";
  };
  std::string text = "<robot name=\"branching\">\n";
  for (const char* link : {"base_link", "l1", "fa_link", "fa_tip", "fb_link", "pl"}) {
    text += std::string("<link name=\"") + link +
            "\"><collision><geometry><sphere radius=\"0.01\"/></geometry></collision></link>\n";
  }
  text += revolute("j1", "base_link", "l1") + revolute("fa", "l1", "fa_link") + revolute("fb", "l1", "fb_link");
  text += "<joint name=\"fa_tip_joint\" type=\"fixed\"><parent link=\"fa_link\"/><child link=\"fa_tip\"/>"
          "<origin xyz=\"0 0 0.05\" rpy=\"0 0 0\"/></joint>\n";
  text += "<joint name=\"p\" type=\"prismatic\"><parent link=\"base_link\"/><child link=\"pl\"/>"
          "<axis xyz=\"1 0 0\"/><limit lower=\"-1\" upper=\"1\" effort=\"1\" velocity=\"1\"/></joint>\n";
  return text + "</robot>\n";
}

std::shared_ptr<const RobotModel> build(rao_test::TempDescription& description, const std::string& urdf,
                                        const std::string& srdf_body, std::string* printed = nullptr) {
  description.urdf = urdf;
  description.srdf = "<robot name=\"branching\">\n" + srdf_body + "</robot>\n";
  return description.build(printed);
}

// Group states keep only values of the right count for joints of the group; a floating virtual joint leads the state.
TEST(GroupBuilding, ChainsBranchesSubgroupsStatesAndRootJoint) {
  rao_test::TempDescription description;
  const auto model = build(description, branchingUrdf(),
                           "<virtual_joint name=\"float\" type=\"floating\" parent_frame=\"odom\" "
                           "child_link=\"base_link\"/>\n"
                           "<group_state name=\"s\" group=\"two_joints\"><joint name=\"fa\" value=\"0.5 1.5\"/>"
                           "<joint name=\"p\" value=\"0.25\"/><joint name=\"fb\" value=\"0.1\"/></group_state>\n"
                           "<group name=\"outer\"><group name=\"inner\"/><joint name=\"fb\"/></group>\n"
                           "<group name=\"inner\"><chain base_link=\"base_link\" tip_link=\"fa_tip\"/></group>\n"
                           "<group name=\"fingers\"><chain base_link=\"fa_link\" tip_link=\"fb_link\"/></group>\n"
                           "<group name=\"fingers\"><joint name=\"j1\"/></group>\n"
                           "<group name=\"two_joints\"><joint name=\"fa\"/><joint name=\"p\"/></group>\n");
  const JointModelGroup* inner = model->getJointModelGroup("inner");
  EXPECT_EQ(inner->getJointModelNames(), (std::vector<std::string>{"j1", "fa", "fa_tip_joint"}));
  EXPECT_TRUE(inner->isChain());

  const JointModelGroup* fingers = model->getJointModelGroup("fingers");
  EXPECT_EQ(fingers->getJointModelNames(), (std::vector<std::string>{"j1", "fa", "fb"}));
  EXPECT_FALSE(fingers->isChain());

  // Built in a later pass, after the subgroup it names.
  const JointModelGroup* outer = model->getJointModelGroup("outer");
  EXPECT_EQ(outer->getJointModelNames(), (std::vector<std::string>{"j1", "fa", "fa_tip_joint", "fb"}));
  EXPECT_EQ(outer->getSubgroupNames(), (std::vector<std::string>{"fingers", "inner"}));

  // Two roots: not a chain; a movable non-member (j1) between fa and p breaks contiguity.
  const JointModelGroup* two = model->getJointModelGroup("two_joints");
  EXPECT_EQ(two->getJointRoots().size(), 2u);
  EXPECT_FALSE(two->isChain());
  EXPECT_FALSE(two->isContiguousWithinState());
  EXPECT_EQ(two->getCommonRoot(), model->getRootJoint());
  EXPECT_EQ(two->getDefaultStates().at("s"), (std::map<std::string, double>{{"p", 0.25}}));
  EXPECT_EQ(model->getModelFrame(), "odom");
  EXPECT_EQ(model->getVariableIndex("j1"), 7);
  EXPECT_DOUBLE_EQ(model->getRootJoint()->getDistanceFactor(), 7.0);

  // Siblings under l1 meet at j1.
  EXPECT_EQ(model->getCommonRoot(model->getJointModel("fa_tip_joint"), model->getJointModel("fb"))->getName(), "j1");
  // Rigid offsets between links joined by fixed joints, both ways.
  const auto* fa_link = model->getLinkModel("fa_link");
  const auto* fa_tip = model->getLinkModel("fa_tip");
  EXPECT_NEAR(fa_link->getAssociatedFixedTransforms().at(fa_tip).translation().z(), 0.05, 1e-15);
  EXPECT_NEAR(fa_tip->getAssociatedFixedTransforms().at(fa_link).translation().z(), -0.05, 1e-15);
}

TEST(GroupBuilding, MimicChainsAreFlattenedAndCyclesDropped) {
  rao_test::TempDescription description;
  // fb mimics fa, which mimics j1.
  const auto model = build(description,
                           branchingUrdf("<mimic joint=\"j1\" multiplier=\"3\" offset=\"0.5\"/>",
                                         "<mimic joint=\"fa\" multiplier=\"2\" offset=\"0.1\"/>"),
                           "");
  const auto* fb = model->getJointModel("fb");
  EXPECT_EQ(fb->getMimic(), model->getJointModel("j1"));
  EXPECT_DOUBLE_EQ(fb->getMimicFactor(), 6.0);
  EXPECT_DOUBLE_EQ(fb->getMimicOffset(), 0.1 + 2.0 * 0.5);
  EXPECT_EQ(model->getJointModel("j1")->getMimicRequests().size(), 2u);

  rao_test::TempDescription cyclic;
  const auto cyclic_model = build(cyclic, branchingUrdf("<mimic joint=\"fb\"/>", "<mimic joint=\"fa\"/>"), "");
  EXPECT_TRUE(cyclic_model->getMimicJointModels().empty());
  EXPECT_EQ(cyclic_model->getJointModel("fa")->getMimic(), nullptr);
}

}  // namespace
