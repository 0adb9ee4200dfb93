#include <cfloat>
#include <cmath>
#include <cstdio>
#include <stdexcept>

#include "robot_model/core/fixed_joint_model.h"
#include "robot_model/core/floating_joint_model.h"
#include "robot_model/core/planar_joint_model.h"
#include "robot_model/core/prismatic_joint_model.h"
#include "robot_model/core/revolute_joint_model.h"
#include "robot_model/core/robot_model.h"
#include "robot_model/srdf_parser/model.h"
#include "robot_model/urdf_parser/urdf_parser.h"

namespace robot_model {
namespace core {

namespace {

VariableBounds boundsFromUrdf(const urdf::Joint& joint) {
  VariableBounds bounds;
  if (joint.safety) {
    bounds.position_bounded_ = true;
    bounds.min_position_ = joint.safety->soft_lower_limit;
    bounds.max_position_ = joint.safety->soft_upper_limit;
    if (joint.limits) {
      bounds.min_position_ = std::max(joint.limits->lower, joint.safety->soft_lower_limit);
      bounds.max_position_ = std::min(joint.limits->upper, joint.safety->soft_upper_limit);
    }
  } else if (joint.limits) {
    bounds.position_bounded_ = true;
    bounds.min_position_ = joint.limits->lower;
    bounds.max_position_ = joint.limits->upper;
  }
  if (joint.limits) {
    const double velocity = std::fabs(joint.limits->velocity);
    bounds.max_velocity_ = velocity;
    bounds.min_velocity_ = -velocity;
    bounds.velocity_bounded_ = velocity > DBL_EPSILON;
  }
  return bounds;
}

void copyOriginAndMdh(JointModel* joint, const urdf::Joint& urdf_joint, const char* failure_message) {
  const urdf::Pose& origin = urdf_joint.parent_to_joint_origin_transform;
  joint->setOrigin(
      JointOrigin{origin.position.x, origin.position.y, origin.position.z, origin.rpy.x, origin.rpy.y, origin.rpy.z});
  if (joint->generateMdhParameters() < 0) puts(failure_message);
}

// Parses a property value as a double; false (with a message for an out-of-range value) when it holds none.
bool parsePropertyValue(const srdf::Model::JointProperty& property, double& value, std::size_t* consumed) {
  try {
    value = std::stod(property.value_, consumed);
    return true;
  } catch (const std::invalid_argument&) {
    return false;
  } catch (const std::out_of_range&) {
    printf("Value of property %s is out of range\n", property.property_name_.c_str());
    return false;
  }
}

}  // namespace

std::unique_ptr<JointModel> RobotModel::constructJointModel(const urdf::Link* urdf_link, const srdf::Model& srdf_model) {
  const std::size_t index = joint_model_vector_.size();
  const std::size_t first_variable =
      joint_model_vector_.empty()
          ? 0
          : joint_model_vector_.back()->getFirstVariableIndex() + joint_model_vector_.back()->getVariableCount();

  std::unique_ptr<JointModel> joint;
  const std::shared_ptr<urdf::Joint>& urdf_joint = urdf_link->parent_joint;
  if (urdf_joint) {
    const std::string& name = urdf_joint->name;
    switch (urdf_joint->type) {
      case urdf::Joint::REVOLUTE:
      case urdf::Joint::CONTINUOUS: {
        const bool continuous = urdf_joint->type == urdf::Joint::CONTINUOUS;
        auto revolute = std::make_unique<RevoluteJointModel>(name, index, first_variable);
        VariableBounds bounds = boundsFromUrdf(*urdf_joint);
        bounds.position_bounded_ = !continuous;
        if (continuous) {
          bounds.min_position_ = -M_PI;
          bounds.max_position_ = M_PI;
        }
        revolute->setVariableBounds(name, bounds);
        revolute->setContinuous(continuous);
        if (!revolute->setAxis(Eigen::Vector3d(urdf_joint->axis.x, urdf_joint->axis.y, urdf_joint->axis.z))) {
          reportSetupError("joint '" + name + "' has no usable axis");
        }
        copyOriginAndMdh(revolute.get(), *urdf_joint,
                         continuous ? "CONTINUOUS joint generate Mdh Para failed!!!"
                                    : "REVOLUTE joint generate Mdh Para failed!!!");
        joint = std::move(revolute);
        break;
      }
      case urdf::Joint::PRISMATIC: {
        auto prismatic = std::make_unique<PrismaticJointModel>(name, index, first_variable);
        prismatic->setVariableBounds(name, boundsFromUrdf(*urdf_joint));
        if (!prismatic->setAxis(Eigen::Vector3d(urdf_joint->axis.x, urdf_joint->axis.y, urdf_joint->axis.z))) {
          reportSetupError("joint '" + name + "' has no usable axis");
        }
        copyOriginAndMdh(prismatic.get(), *urdf_joint, "PRISMATIC joint generate Mdh Para failed!!!");
        joint = std::move(prismatic);
        break;
      }
      case urdf::Joint::FLOATING:
        joint = std::make_unique<FloatingJointModel>(name, index, first_variable);
        break;
      case urdf::Joint::PLANAR:
        joint = std::make_unique<PlanarJointModel>(name, index, first_variable);
        break;
      case urdf::Joint::FIXED:
        joint = std::make_unique<FixedJointModel>(name, index, first_variable);
        copyOriginAndMdh(joint.get(), *urdf_joint, "Fixed joint generate Mdh Para failed!!!");
        break;
      default:
        printf("Unknown joint type: %d", static_cast<int>(urdf_joint->type));
        return nullptr;
    }
  } else {
    joint = constructRootJointModel(urdf_link, srdf_model);
  }

  joint->setDistanceFactor(static_cast<double>(joint->getStateSpaceDimension()));
  for (const srdf::Model::PassiveJoint& passive : srdf_model.getPassiveJoints()) {
    if (passive.name_ == joint->getName()) joint->setPassive(true);
  }
  applyJointProperties(joint.get(), srdf_model);
  return joint;
}

std::unique_ptr<JointModel> RobotModel::constructRootJointModel(const urdf::Link* urdf_link, const srdf::Model& srdf_model) {
  const std::size_t index = joint_model_vector_.size();
  std::unique_ptr<JointModel> joint;
  for (const srdf::Model::VirtualJoint& virtual_joint : srdf_model.getVirtualJoints()) {
    if (virtual_joint.child_link_ != urdf_link->name) {
      if (urdf_link->name == "world" && !urdf_link->visual && !urdf_link->collision &&
          virtual_joint.type_ == "fixed") {
        joint = std::make_unique<FixedJointModel>(virtual_joint.name_, index, 0);
      } else {
        printf("Skipping virtual joint '%s' because its child frame '%s' does not match the URDF frame '%s'",
               virtual_joint.name_.c_str(), virtual_joint.child_link_.c_str(), urdf_link->name.c_str());
      }
      continue;
    }
    if (virtual_joint.parent_frame_.empty()) {
      printf("Skipping virtual joint '%s' because its parent frame is empty", virtual_joint.name_.c_str());
      continue;
    }
    if (virtual_joint.type_ == "fixed") {
      joint = std::make_unique<FixedJointModel>(virtual_joint.name_, index, 0);
      break;
    }
    if (virtual_joint.type_ == "planar" || virtual_joint.type_ == "floating") {
      if (virtual_joint.type_ == "planar") {
        joint = std::make_unique<PlanarJointModel>(virtual_joint.name_, index, 0);
      } else {
        joint = std::make_unique<FloatingJointModel>(virtual_joint.name_, index, 0);
      }
      model_frame_ = virtual_joint.parent_frame_;
      break;
    }
    if (joint) {
      model_frame_ = virtual_joint.parent_frame_;
      break;
    }
  }
  if (!joint) {
    puts("No root/virtual joint specified in SRDF. Assuming fixed joint");
    joint = std::make_unique<FixedJointModel>("ASSUMED_FIXED_ROOT_JOINT", index, 0);
  }
  return joint;
}

void RobotModel::applyJointProperties(JointModel* joint, const srdf::Model& srdf_model) {
  for (const srdf::Model::JointProperty& property : srdf_model.getJointProperties(joint->getName())) {
    const std::string& name = property.property_name_;
    double value = 0.0;
    std::size_t consumed = 0;
    if (name == "angular_distance_weight") {
      if (!parsePropertyValue(property, value, &consumed)) continue;
      if (joint->getType() == JointModel::PLANAR) {
        static_cast<PlanarJointModel*>(joint)->setAngularDistanceWeight(value);
      } else if (joint->getType() == JointModel::FLOATING) {
        static_cast<FloatingJointModel*>(joint)->setAngularDistanceWeight(value);
      }
    } else if (name == "motion_model") {
      if (joint->getType() != JointModel::PLANAR) {
        printf("Cannot apply property %s to joint type: %s", name.c_str(), joint->getTypeName().c_str());
      } else if (property.value_ == "holonomic") {
        static_cast<PlanarJointModel*>(joint)->setMotionModel(PlanarJointModel::HOLONOMIC);
      } else if (property.value_ == "diff_drive") {
        static_cast<PlanarJointModel*>(joint)->setMotionModel(PlanarJointModel::DIFF_DRIVE);
      } else {
        printf("Valid values are 'holonomic' and 'diff_drive'");
      }
    } else if (name == "min_translational_distance") {
      if (joint->getType() != JointModel::PLANAR) {
        printf("Cannot apply property %s to joint type: %s", name.c_str(), joint->getTypeName().c_str());
      } else if (parsePropertyValue(property, value, &consumed)) {
        static_cast<PlanarJointModel*>(joint)->setMinTranslationalDistance(value);
      }
    } else if (name == "check_motion_max_det_distance") {
      if (parsePropertyValue(property, value, &consumed) && consumed != property.value_.size()) {
        printf("Extra characters after property %s\n", name.c_str());
      }
    } else {
      printf("Unknown joint property: %s", name.c_str());
    }
  }
}

}  // namespace core
}  // namespace robot_model
