// Models built from edited descriptions: missing files, broken set-up, solver choice and a small branching robot.
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <set>
#include <stdexcept>
#include <string>
#include <vector>

#include "robot_model/core/exceptions.h"
#include "robot_model/core/joint_model_group.h"
#include "robot_model/core/link_model.h"
#include "robot_model/core/robot_state.h"
#include "test/robot_model_core/model_fixtures.h"

namespace {

using namespace model_fixtures;
using robot_model::core::JointModelGroup;
using robot_model::core::RobotModel;
using robot_model::core::RobotState;

void replaceOnce(std::string& text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  if (at == std::string::npos) throw std::runtime_error("fixture text not found: " + from);
  text.replace(at, from.size(), to);
}

// A copy of the arm6 description in a fresh temporary directory (removed again on destruction); tests edit its URDF
// or SRDF text before building a model from it.
struct TempDescription {
  TempDescription() : urdf(readFile(kArm6Dir + kArm6Urdf)), srdf(readFile(kArm6Dir + kArm6Srdf)) {
    std::string pattern = (std::filesystem::temp_directory_path() / "rao_description_XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    directory = pattern + "/";
    for (const char* sub : {"urdf", "srdf"}) std::filesystem::create_directories(directory + sub);
    std::filesystem::copy(kArm6Dir + "meshes", directory + "meshes");
  }
  ~TempDescription() { std::error_code ignored; std::filesystem::remove_all(directory, ignored); }
  TempDescription(const TempDescription&) = delete;
  TempDescription& operator=(const TempDescription&) = delete;

  void write() const {
    std::ofstream(directory + kArm6Urdf, std::ios::binary) << urdf;
    std::ofstream(directory + kArm6Srdf, std::ios::binary) << srdf;
  }
  ModelPtr build(std::string* printed = nullptr) const {
    write();
    return buildModel(directory, kArm6Urdf, kArm6Srdf, printed);
  }

  std::string urdf;
  std::string srdf;
  std::string directory;
};

bool mentions(const RobotModel& model, const std::string& text) {
  const auto& errors = model.getSetupErrors();
  return std::any_of(errors.begin(), errors.end(),
                     [&](const std::string& error) { return error.find(text) != std::string::npos; });
}

// A relative description directory loads every mesh; without its URDF, SRDF or a mesh set-up fails naming it.
TEST(ModelSetup, RelativeDirectoryLoadsAndMissingFilesOrPackagesFailSetUpVisibly) {
  std::string printed;
  const std::string relative_dir = "./src/robot_avoid_obstacle/resources/robot_descriptions/arm6_description/";
  const auto relative = buildModel(relative_dir, kArm6Urdf, kArm6Srdf, &printed);
  EXPECT_TRUE(relative->isValid()) << printed;  // with every mesh

  TempDescription description;
  const struct {
    const char *removed, *named;
  } cases[] = {{kArm6Urdf, kArm6Urdf}, {kArm6Srdf, kArm6Srdf}, {"meshes/gripper_body.stl", "gripper_link"}};
  for (const auto& c : cases) {
    description.write();
    std::filesystem::remove(description.directory + c.removed);
    const auto model = buildModel(description.directory, kArm6Urdf, kArm6Srdf);
    EXPECT_FALSE(model->isValid()) << c.removed;
    EXPECT_TRUE(mentions(*model, c.named)) << c.removed;
    RobotState state(model);  // what was built still gives a usable state
    state.updateCollisionBodyTransforms();
  }
  // A package URL without a package name throws, leaking nothing.
  const std::string collision = "<collision>\n      <geometry>\n        <mesh filename=";
  replaceOnce(description.urdf, collision + "\"package://meshes/gripper_body.stl\"/>", collision + "\"package://\"/>");
  EXPECT_THROW(description.build(), robot_model::core::Exception);
}

// Arm chains the six-axis closed form cannot serve stay chains without a solver, and say why once. A virtual joint
// named like a URDF joint fails set-up; joint property values out of range are reported and skipped; each group
// matching the closed form gets its own solver.
TEST(ModelSetup, ArmChainsSemanticNamesValuesAndSolversPerGroup) {
  const struct {
    const char *from, *to, *reason;
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
    TempDescription description;
    replaceOnce(description.urdf, c.from, c.to);
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

  TempDescription named, edited;
  replaceOnce(named.srdf, R"(<virtual_joint name="virtual_joint")", R"(<virtual_joint name="joint1")");
  const auto invalid = named.build();
  EXPECT_FALSE(invalid->isValid());
  EXPECT_TRUE(mentions(*invalid, "joint1"));

  const std::string property = "<joint_property joint_name=\"joint1\" property_name=\"check_motion_max_det_distance\" ";
  replaceOnce(edited.srdf, "</robot>", property + "value=\"1e999\"/>\n" + property + "value=\"0.5mm\"/>\n</robot>");
  replaceOnce(edited.srdf, "<group name=\"gripper\">",
              "<group name=\"arm_copy\"><chain base_link=\"base_link\" tip_link=\"link6\"/></group>\n"
              "<group name=\"gripper\">");
  std::string printed;
  const auto model = edited.build(&printed);
  EXPECT_TRUE(model->isValid());
  EXPECT_NE(printed.find("out of range"), std::string::npos) << printed;
  const auto& arm = model->getJointModelGroup("arm")->kinematics_interface_ptr_;
  const auto& copy = model->getJointModelGroup("arm_copy")->kinematics_interface_ptr_;
  ASSERT_TRUE(arm && copy);
  EXPECT_NE(arm, copy);
}

// base_link -j1-> l1, which carries two fingers: -fa-> fa_link -fa_tip_joint (fixed)-> fa_tip and -fb-> fb_link;
// base_link -p-> pl (prismatic) as a second branch; fa, fb and p may get mimic elements.
std::string branchingUrdf(const std::string& fa_mimic = "", const std::string& fb_mimic = "",
                          const std::string& p_mimic = "") {
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
          "<axis xyz=\"1 0 0\"/><limit lower=\"-1\" upper=\"1\" effort=\"1\" velocity=\"1\"/>" +
          p_mimic + "</joint>\n";
  return text + "</robot>\n";
}

std::shared_ptr<const RobotModel> build(TempDescription& description, const std::string& urdf,
                                        const std::string& srdf_body, std::string* printed = nullptr) {
  description.urdf = urdf;
  description.srdf = "<robot name=\"branching\">\n" + srdf_body + "</robot>\n";
  return description.build(printed);
}

// Group states keep only values of the right count for joints of the group; a floating virtual joint leads the state.
TEST(GroupBuilding, ChainsBranchesSubgroupsStatesAndRootJoint) {
  TempDescription description;
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
  const auto names = [&](const char* group) { return model->getJointModelGroup(group)->getJointModelNames(); };
  EXPECT_EQ(names("inner"), (std::vector<std::string>{"j1", "fa", "fa_tip_joint"}));
  EXPECT_TRUE(model->getJointModelGroup("inner")->isChain());
  EXPECT_EQ(names("fingers"), (std::vector<std::string>{"j1", "fa", "fb"}));
  EXPECT_FALSE(model->getJointModelGroup("fingers")->isChain());
  // Built in a later pass, after the subgroup it names.
  EXPECT_EQ(names("outer"), (std::vector<std::string>{"j1", "fa", "fa_tip_joint", "fb"}));
  EXPECT_EQ(model->getJointModelGroup("outer")->getSubgroupNames(), (std::vector<std::string>{"fingers", "inner"}));

  // Two roots: not a chain; a movable non-member (j1) between fa and p breaks contiguity.
  const JointModelGroup* two = model->getJointModelGroup("two_joints");
  EXPECT_EQ(two->getJointRoots().size(), 2u);
  EXPECT_FALSE(two->isChain());
  EXPECT_FALSE(two->isContiguousWithinState());
  EXPECT_EQ(two->getCommonRoot(), model->getRootJoint());
  EXPECT_EQ(two->getDefaultStates().at("s"), (std::map<std::string, double>{{"p", 0.25}}));
  EXPECT_EQ(model->getModelFrame(), "odom");
  EXPECT_EQ(model->getVariableIndex("j1"), 7);

  // Siblings under l1 meet at j1.
  EXPECT_EQ(model->getCommonRoot(model->getJointModel("fa_tip_joint"), model->getJointModel("fb"))->getName(), "j1");
  // Rigid offsets between links joined by fixed joints, both ways.
  const auto* fa_link = model->getLinkModel("fa_link");
  const auto* fa_tip = model->getLinkModel("fa_tip");
  EXPECT_NEAR(fa_link->getAssociatedFixedTransforms().at(fa_tip).translation().z(), 0.05, 1e-15);
  EXPECT_NEAR(fa_tip->getAssociatedFixedTransforms().at(fa_link).translation().z(), -0.05, 1e-15);
}

TEST(GroupBuilding, MimicChainsAreFlattenedAndCyclesDropped) {
  TempDescription description;
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

  const auto cyclic_model = build(description, branchingUrdf("<mimic joint=\"fb\"/>", "<mimic joint=\"fa\"/>"), "");
  EXPECT_TRUE(cyclic_model->getMimicJointModels().empty());
  EXPECT_EQ(cyclic_model->getJointModel("fa")->getMimic(), nullptr);
}

// Setting a group's variables moves every joint that mimics one of its active joints, in the group or not (fb's chain
// through fa flattened onto j1). A slide mimicking j1 reaches as far as j1's range takes it, past its own limits.
TEST(GroupBuilding, MimicJointsOutsideTheGroupFollowItsVariables) {
  TempDescription description;
  const auto model = build(description,
                           branchingUrdf("<mimic joint=\"j1\" multiplier=\"-3\" offset=\"0.5\"/>",
                                         "<mimic joint=\"fa\" multiplier=\"0.5\" offset=\"0.1\"/>",
                                         "<mimic joint=\"j1\" multiplier=\"2\" offset=\"0.3\"/>"),
                           "<group name=\"hub\"><joint name=\"j1\"/></group>\n"
                           "<group name=\"hub_and_finger\"><joint name=\"j1\"/><joint name=\"fa\"/></group>\n"
                           "<group name=\"finger\"><joint name=\"fb\"/></group>\n");
  const auto* fa = model->getJointModel("fa");
  const auto* fb = model->getJointModel("fb");
  const auto* p = model->getJointModel("p");
  const auto outside = [&](const char* group) {
    return model->getJointModelGroup(group)->getOutsideMimicJointModels();
  };
  using Joints = std::vector<const robot_model::core::JointModel*>;
  EXPECT_EQ(outside("hub"), (Joints{fa, fb, p}));
  EXPECT_EQ(outside("hub_and_finger"), (Joints{fb, p}));
  EXPECT_EQ(model->getJointModelGroup("hub_and_finger")->getMimicJointModels(), Joints{fa});
  EXPECT_TRUE(outside("finger").empty());

  RobotState state(model);
  const double* positions = state.getVariablePositions();
  for (const double j1 : {0.0, 0.4, -1.0}) {
    for (const char* group : {"hub", "hub_and_finger"}) {
      const std::vector<double> values(model->getJointModelGroup(group)->getVariableCount(), j1);
      state.setJointGroupPositions(model->getJointModelGroup(group), values);
      state.updateCollisionBodyTransforms();
      EXPECT_DOUBLE_EQ(positions[fa->getFirstVariableIndex()], -3.0 * j1 + 0.5) << group;
      EXPECT_DOUBLE_EQ(positions[fb->getFirstVariableIndex()], -1.5 * j1 + 0.35) << group;
      EXPECT_DOUBLE_EQ(positions[p->getFirstVariableIndex()], 2.0 * j1 + 0.3) << group;
      // fb_link turns by j1 and fb about the same axis.
      const Eigen::Matrix3d turned =
          Eigen::AngleAxisd(j1 + positions[fb->getFirstVariableIndex()], Eigen::Vector3d::UnitZ()).toRotationMatrix();
      EXPECT_TRUE(state.getGlobalLinkTransform(fb->getChildLinkModel()).linear().isApprox(turned, 1e-12)) << group;
      EXPECT_DOUBLE_EQ(state.getGlobalLinkTransform(p->getChildLinkModel()).translation().x(), 2.0 * j1 + 0.3);
    }
  }

  EXPECT_DOUBLE_EQ(robot_model::core::chainLength(p->getChildLinkModel(), model->getLinkModel("base_link")), 2.3);

  // A finger on j1's branch mimicking the slide on the other: the slide's group moves the finger's links too, and the
  // collision checks limited to what the group moves must test them.
  const auto slide_model = build(description, branchingUrdf("<mimic joint=\"p\" multiplier=\"2\"/>"),
                                 "<group name=\"slide\"><joint name=\"p\"/></group>\n");
  const JointModelGroup* slide = slide_model->getJointModelGroup("slide");
  EXPECT_EQ(slide->getUpdatedLinkModelNamesSet(), (std::set<std::string>{"pl", "fa_link", "fa_tip"}));
  RobotState slide_state(slide_model);
  slide_state.setJointGroupPositions(slide, std::vector<double>{0.25});
  slide_state.updateCollisionBodyTransforms();
  const Eigen::Matrix3d finger_turn = Eigen::AngleAxisd(0.5, Eigen::Vector3d::UnitZ()).toRotationMatrix();
  EXPECT_TRUE(slide_state.getGlobalLinkTransform(slide_model->getLinkModel("fa_tip")).linear().isApprox(finger_turn));
}

}  // namespace
