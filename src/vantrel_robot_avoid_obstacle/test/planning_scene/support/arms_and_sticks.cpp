#include "arms_and_sticks.h"

#include <cmath>

#include "robot_model/core/link_model.h"
#include "robot_model/core/revolute_joint_model.h"
#include "robot_model/shapes/shapes.h"
#include "scene_fixtures.h"

namespace {

constexpr double kStickWidth = 0.02;

}  // namespace

void PrintTo(const ArmAndStick& c, std::ostream* out) { *out << c.name; }

std::vector<ArmAndStick> armsAndSticks(unsigned first_seed) {
  std::vector<ArmAndStick> cases;
  for (const bool arm6 : {true, false}) {
    const std::string arm = arm6 ? "Arm6" : "Arm5";
    cases.push_back({arm + "Bare", arm6, 0.0, false, first_seed + static_cast<unsigned>(cases.size())});
    for (const bool across : {false, true}) {
      for (const int centimetres : {30, 45, 60}) {
        cases.push_back({arm + (across ? "Across" : "Along") + std::to_string(centimetres), arm6, centimetres / 100.0,
                         across, first_seed + static_cast<unsigned>(cases.size())});
      }
    }
  }
  return cases;
}

std::unique_ptr<ManipulatorPlanScene> makeArmScene(const ArmAndStick& c, double robot_padding) {
  return c.arm6 ? makeArm6Scene(robot_padding) : makeArm5Scene("arm", robot_padding);
}

const robot_model::core::LinkModel* toolLink(const ManipulatorPlanScene& scene) {
  return scene.getPlanningGroup()->getLinkModel(scene.getPlanningGroup()->getLinkModelNames().back());
}

std::unique_ptr<robot_model::core::AttachedBody> stick(const ManipulatorPlanScene& scene, double length, bool across) {
  const robot_model::core::LinkModel* tool = toolLink(scene);
  const auto& joint = static_cast<const robot_model::core::RevoluteJointModel&>(
      *scene.getPlanningGroup()->getActiveJointModels().back());
  robot_model::core::RobotState state(scene.getRobotModel());
  state.setToDefaultValues();
  state.updateLinkTransforms();
  const Eigen::Vector3d axis = (state.getGlobalLinkTransform(tool).linear().transpose() *
                                state.getGlobalLinkTransform(joint.getChildLinkModel()).linear() * joint.getAxis())
                                   .normalized();
  Eigen::Isometry3d pose = Eigen::Isometry3d::Identity();
  pose.linear() = Eigen::Quaterniond::FromTwoVectors(Eigen::Vector3d::UnitZ(), axis).toRotationMatrix();
  pose.translation() = axis * (across ? kStickWidth : 0.5 * length);
  auto body = std::make_unique<robot_model::core::AttachedBody>();
  body->id_ = "grab_object";
  body->parent_link_ = tool;
  body->shapes_.push_back(across ? std::make_shared<const shapes::Box>(length, kStickWidth, kStickWidth)
                                 : std::make_shared<const shapes::Box>(kStickWidth, kStickWidth, length));
  body->shape_poses_.push_back(pose);
  body->touch_links_.insert(tool->getName());
  return body;
}

JointBounds jointBounds(ManipulatorPlanScene& scene) {
  JointBounds bounds;
  scene.getJointLimits(bounds);
  return bounds;
}

std::vector<double> drawState(const JointBounds& bounds, bool special, std::mt19937& rng) {
  std::vector<double> q;
  for (const auto& [low, high] : bounds) {
    std::vector<double> values{low, high};
    for (const double value : {0.0, M_PI / 2, -M_PI / 2, M_PI, -M_PI}) {
      if (value >= low && value <= high) values.push_back(value);
    }
    q.push_back(special ? values[std::uniform_int_distribution<std::size_t>(0, values.size() - 1)(rng)]
                        : std::uniform_real_distribution<double>(low, high)(rng));
  }
  return q;
}
