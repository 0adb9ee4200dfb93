// A hand-like rig whose second finger, below a spread joint, flexes with the first: link poses after setting any
// group's variables match the description's own kinematics, and every link a group's variables move is one the
// group reports moving, whichever way the model's walk first reaches the follower.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <set>
#include <sstream>
#include <stdexcept>
#include <string>
#include <utility>
#include <vector>

#include "robot_model/core/joint_model_group.h"
#include "robot_model/core/link_model.h"
#include "robot_model/core/robot_state.h"
#include "robot_model/urdf_parser/urdf_parser.h"
#include "test/robot_model_core/model_fixtures.h"

namespace {

using namespace model_fixtures;
using robot_model::core::RobotState;

const char* const kGroups[] = {"branch", "chain", "source", "both"};

struct HandRig {
  // The model walks a link's joints in name order: after "index_flex" the follower is first reached from its source.
  std::string spread_joint;
  double multiplier;
  double offset;
};

void PrintTo(const HandRig& rig, std::ostream* out) {
  *out << rig.spread_joint << " x" << rig.multiplier << " +" << rig.offset;
}

std::string box(const std::string& link) {
  return "<link name=\"" + link +
         "\"><collision><origin xyz=\"0.02 0 0.01\" rpy=\"0.1 0 0.2\"/>"
         "<geometry><box size=\"0.04 0.01 0.02\"/></geometry></collision></link>\n";
}

std::string joint(const std::string& name, const std::string& type, const std::string& parent, const std::string& child,
                  const std::string& origin, const std::string& more = "") {
  return "<joint name=\"" + name + "\" type=\"" + type + "\"><parent link=\"" + parent + "\"/><child link=\"" + child +
         "\"/><origin " + origin + "/>" + more + "</joint>\n";
}

std::string limits(double lower, double upper) {
  return "<limit lower=\"" + std::to_string(lower) + "\" upper=\"" + std::to_string(upper) +
         "\" effort=\"1\" velocity=\"1\"/>";
}

// base -> post (fixed); base -index_flex-> index_link; base -spread-> palm -ring_flex (mimics index_flex)-> ring_link
// -> ring_tip (fixed) -ring_slide-> ring_slider. Origins turned and axes not of unit length.
std::string handUrdf(const HandRig& rig) {
  std::ostringstream mimic;
  mimic.precision(17);
  mimic << "<mimic joint=\"index_flex\" multiplier=\"" << rig.multiplier << "\" offset=\"" << rig.offset << "\"/>";
  std::string text = "<robot name=\"hand\">\n";
  for (const char* link : {"base_link", "post", "index_link", "palm", "ring_link", "ring_tip", "ring_slider"}) {
    text += box(link);
  }
  text += joint("post_joint", "fixed", "base_link", "post", "xyz=\"0.1 0 0.05\" rpy=\"0 0 0\"");
  text += joint("index_flex", "revolute", "base_link", "index_link", "xyz=\"0 0.1 0.05\" rpy=\"0.3 0 0\"",
                "<axis xyz=\"0 2 0\"/>" + limits(-2.0, 2.0));
  text += joint(rig.spread_joint, "revolute", "base_link", "palm", "xyz=\"0 -0.1 0.05\" rpy=\"0 0.2 0\"",
                "<axis xyz=\"0 0 1\"/>" + limits(-3.2, 3.2));
  text += joint("ring_flex", "revolute", "palm", "ring_link", "xyz=\"0.05 0 0.02\" rpy=\"0.1 -0.3 0.4\"",
                "<axis xyz=\"0 1 0.5\"/>" + limits(-100.0, 100.0) + mimic.str());
  text += joint("ring_tip_joint", "fixed", "ring_link", "ring_tip", "xyz=\"0.04 0 0\" rpy=\"0 0 0.5\"");
  text += joint("ring_slide", "prismatic", "ring_tip", "ring_slider", "xyz=\"0.01 0.01 0\" rpy=\"0.2 0 0\"",
                "<axis xyz=\"1 1 0\"/>" + limits(-0.1, 0.3));
  return text + "</robot>\n";
}

std::string handSrdf(const HandRig& rig) {
  const std::string spread = "<joint name=\"" + rig.spread_joint + "\"/>";
  return "<robot name=\"hand\">\n<group name=\"branch\">" + spread + "</group>\n<group name=\"chain\">" + spread +
         "<joint name=\"ring_flex\"/><joint name=\"ring_slide\"/></group>\n"
         "<group name=\"source\"><joint name=\"index_flex\"/></group>\n"
         "<group name=\"both\"><joint name=\"index_flex\"/>" +
         spread + "</group>\n</robot>\n";
}

ModelPtr buildHand(const HandRig& rig) {
  std::string folder = (std::filesystem::temp_directory_path() / "hand_rig_XXXXXX").string();
  if (!mkdtemp(folder.data())) throw std::runtime_error("mkdtemp failed");
  std::ofstream(folder + "/hand.urdf") << handUrdf(rig);
  std::ofstream(folder + "/hand.srdf") << handSrdf(rig);
  const ModelPtr model = buildModel(folder + "/", "hand.urdf", "hand.srdf");
  std::filesystem::remove_all(folder);
  return model;
}

Eigen::Isometry3d isometry(const urdf::Pose& pose) {
  Eigen::Isometry3d result = Eigen::Isometry3d::Identity();
  result.translation() = Eigen::Vector3d(pose.position.x, pose.position.y, pose.position.z);
  result.linear() = Eigen::Quaterniond(pose.rotation.w, pose.rotation.x, pose.rotation.y, pose.rotation.z)
                        .normalized()
                        .toRotationMatrix();
  return result;
}

// The description's own kinematics: a link sits at its parent, moved by its joint's origin and then by the joint's
// value about or along the joint's axis; a mimic joint's value is its source's times the multiplier plus the offset.
// Independent joints take `value_of` their name.
class DescriptionKinematics {
 public:
  DescriptionKinematics(const urdf::ModelInterface& urdf, std::function<double(const std::string&)> value_of)
      : urdf_(urdf), value_of_(std::move(value_of)) {}

  double value(const urdf::Joint& joint) const {
    if (!joint.mimic) return value_of_(joint.name);
    return value(*urdf_.getJoint(joint.mimic->joint_name)) * joint.mimic->multiplier + joint.mimic->offset;
  }

  Eigen::Isometry3d linkPose(const std::string& name) const {
    const urdf::Joint* joint = urdf_.getLink(name)->parent_joint.get();
    if (!joint) return Eigen::Isometry3d::Identity();
    const Eigen::Vector3d axis = Eigen::Vector3d(joint->axis.x, joint->axis.y, joint->axis.z).normalized();
    Eigen::Isometry3d motion = Eigen::Isometry3d::Identity();
    if (joint->type == urdf::Joint::REVOLUTE || joint->type == urdf::Joint::CONTINUOUS) {
      motion.linear() = Eigen::AngleAxisd(value(*joint), axis).toRotationMatrix();
    } else if (joint->type == urdf::Joint::PRISMATIC) {
      motion.translation() = value(*joint) * axis;
    }
    return linkPose(joint->parent_link_name) * isometry(joint->parent_to_joint_origin_transform) * motion;
  }

 private:
  const urdf::ModelInterface& urdf_;
  std::function<double(const std::string&)> value_of_;
};

DescriptionKinematics kinematicsOf(const RobotState& state) {
  const auto& model = *state.getRobotModel();
  return DescriptionKinematics(*model.getURDF(), [&model, &state](const std::string& name) {
    return state.getVariablePositions()[model.getVariableIndex(name)];
  });
}

// Every value from 0, +-pi/2, +-pi and the bounds within them when `special`, else uniform within the bounds.
std::vector<double> drawValues(const robot_model::core::JointModelGroup& group, bool special, std::mt19937& rng) {
  std::vector<double> values;
  for (const robot_model::core::JointModel* joint : group.getJointModels()) {
    const auto& bounds = joint->getVariableBounds()[0];
    std::vector<double> choices{bounds.min_position_, bounds.max_position_};
    for (const double value : {0.0, M_PI / 2, -M_PI / 2, M_PI, -M_PI}) {
      if (value >= bounds.min_position_ && value <= bounds.max_position_) choices.push_back(value);
    }
    values.push_back(special ? choices[rng() % choices.size()]
                             : std::uniform_real_distribution<double>(bounds.min_position_, bounds.max_position_)(rng));
  }
  return values;
}

double poseError(const Eigen::Isometry3d& a, const Eigen::Isometry3d& b) {
  return std::max((a.translation() - b.translation()).norm(), (a.linear() - b.linear()).cwiseAbs().maxCoeff());
}

const std::vector<HandRig>& handRigs() {
  static const std::vector<HandRig> rigs{
      {"palm_spread", -2.0, 0.3}, {"palm_spread", 0.5, -0.4}, {"palm_spread", 3.0, 1.2},
      {"a_spread", -2.0, 0.3},    {"a_spread", 0.5, -0.4},    {"a_spread", 3.0, 1.2},
  };
  return rigs;
}

using HandRigTest = testing::TestWithParam<HandRig>;

// One state through the groups in turn, a second group's values often set before the transforms are brought up to
// date: every link and collision body stands where the description puts it.
TEST_P(HandRigTest, LinkPosesFollowTheDescriptionForEveryGroup) {
  const ModelPtr model = buildHand(GetParam());
  RobotState state(model);
  const DescriptionKinematics kinematics = kinematicsOf(state);
  std::mt19937 rng(7);
  double worst = 0.0;
  for (int draw = 0; draw < 400; ++draw) {
    std::vector<const char*> groups{kGroups[draw % 4]};
    if (draw % 2 != 0) groups.push_back(kGroups[rng() % 4]);
    for (const char* name : groups) {
      const auto* group = model->getJointModelGroup(name);
      state.setJointGroupPositions(group, drawValues(*group, draw / 4 % 2 == 0, rng));
    }
    state.updateCollisionBodyTransforms();
    for (const robot_model::core::LinkModel* link : model->getLinkModels()) {
      const Eigen::Isometry3d pose = kinematics.linkPose(link->getName());
      worst = std::max(worst, poseError(state.getGlobalLinkTransform(link), pose));
      const urdf::Link& described = *model->getURDF()->getLink(link->getName());
      worst = std::max(
          worst, poseError(state.getCollisionBodyTransform(link, 0), pose * isometry(described.collision->origin)));
    }
  }
  EXPECT_LT(worst, 1e-9);
}

// A joint's descendants hold its whole subtree and what mimics any of it; a group reports moving every link that
// any of its variables moves.
TEST_P(HandRigTest, GroupsReportEveryLinkTheirVariablesMove) {
  const ModelPtr model = buildHand(GetParam());
  std::set<std::string> missing;
  for (const robot_model::core::JointModel* joint : model->getJointModels()) {
    std::vector<const robot_model::core::JointModel*> below(joint->getDescendantJointModels());
    below.push_back(joint);
    const auto& links = joint->getDescendantLinkModels();
    const auto expect_below = [&](const robot_model::core::JointModel* other) {
      if (std::find(below.begin(), below.end(), other) == below.end()) {
        missing.insert(joint->getName() + ": " + other->getName());
      }
    };
    for (const robot_model::core::JointModel* member : below) {
      if (std::find(links.begin(), links.end(), member->getChildLinkModel()) == links.end()) {
        missing.insert(joint->getName() + ": " + member->getChildLinkModel()->getName());
      }
      for (const auto* child : member->getChildLinkModel()->getChildJointModels()) expect_below(child);
      for (const auto* follower : member->getMimicRequests()) expect_below(follower);
    }
  }
  EXPECT_TRUE(missing.empty()) << "descendants missing, the first " << *missing.begin();
  missing.clear();

  RobotState state(model);
  std::mt19937 rng(11);
  for (const char* name : kGroups) {
    const auto* group = model->getJointModelGroup(name);
    for (int draw = 0; draw < 20; ++draw) {
      std::vector<double> values = drawValues(*group, draw % 2 == 0, rng);
      for (std::size_t moved = 0; moved < values.size(); ++moved) {
        state.setJointGroupPositions(group, values);
        std::vector<Eigen::Isometry3d> before;
        for (const auto* link : model->getLinkModels()) before.push_back(kinematicsOf(state).linkPose(link->getName()));
        values[moved] += 0.25;
        state.setJointGroupPositions(group, values);
        for (const auto* link : model->getLinkModels()) {
          if (poseError(before[link->getLinkIndex()], kinematicsOf(state).linkPose(link->getName())) < 1e-12) continue;
          if (!group->getUpdatedLinkModelsSet().count(link) ||
              !group->getUpdatedLinkModelsWithGeometrySet().count(link)) {
            missing.insert(std::string(name) + " moves " + link->getName());
          }
        }
        values[moved] -= 0.25;
      }
    }
  }
  EXPECT_TRUE(missing.empty()) << missing.size() << " moved links unreported, the first " << *missing.begin();
}

INSTANTIATE_TEST_SUITE_P(FollowerOnAnotherBranch, HandRigTest, testing::ValuesIn(handRigs()));

}  // namespace
