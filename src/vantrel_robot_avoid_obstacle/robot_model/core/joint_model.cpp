#include "robot_model/core/joint_model.h"

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <stdexcept>
#include <utility>

namespace robot_model {
namespace core {

namespace {
constexpr double kMdhTolerance = 1e-5;
}

JointModel::JointModel(const std::string& name, std::size_t joint_index, std::size_t first_variable_index)
  : name_(name), joint_index_(joint_index), first_variable_index_(first_variable_index)
{
}

JointModel::~JointModel() = default;

bool JointModel::normalizeAxis(const Eigen::Vector3d& axis, Eigen::Vector3d& unit) const
{
  const double norm = axis.norm();
  if (!(norm > 0.0) || !std::isfinite(norm)) {
    std::printf("Joint '%s' needs a finite non-zero axis\n", name_.c_str());
    return false;
  }
  unit = axis / norm;
  return true;
}

std::string JointModel::getTypeName(JointType type)
{
  switch (type) {
    case UNKNOWN:
      return "Unknown";
    case REVOLUTE:
      return "Revolute";
    case PRISMATIC:
      return "Prismatic";
    case PLANAR:
      return "Planar";
    case FLOATING:
      return "Floating";
    case FIXED:
      return "Fixed";
  }
  return "[Unknown]";
}

void JointModel::addVariable()
{
  variable_names_.push_back(name_);
  variable_bounds_.resize(1);
  variable_index_map_[name_] = 0;
}

void JointModel::addVariables(const std::vector<std::string>& local_names)
{
  local_variable_names_ = local_names;
  variable_bounds_.resize(local_names.size());
  for (std::size_t i = 0; i < local_names.size(); ++i) {
    variable_names_.push_back(name_ + "/" + local_names[i]);
    variable_index_map_[variable_names_.back()] = i;
  }
}

void JointModel::setVariableBounds(const std::string& variable, const VariableBounds& bounds)
{
  const auto it = variable_index_map_.find(variable);
  if (it == variable_index_map_.end()) {
    std::printf("Could not find variable %s to get bounds for within joint %s \n", variable.c_str(), name_.c_str());
    throw std::runtime_error("this is a runtime_error.");
  }
  variable_bounds_[it->second] = bounds;
}

bool JointModel::harmonizePosition(double* /*values*/, const Bounds& /*bounds*/) const
{
  return false;
}

bool JointModel::satisfiesVelocityBounds(const double* values, const Bounds& bounds, double margin) const
{
  for (std::size_t i = 0; i < bounds.size(); ++i) {
    if (values[i] < bounds[i].min_velocity_ - margin || values[i] > bounds[i].max_velocity_ + margin) {
      return false;
    }
  }
  return true;
}

bool JointModel::enforceVelocityBounds(double* values, const Bounds& bounds) const
{
  bool changed = false;
  for (std::size_t i = 0; i < bounds.size(); ++i) {
    if (values[i] < bounds[i].min_velocity_) {
      values[i] = bounds[i].min_velocity_;
      changed = true;
    } else if (values[i] > bounds[i].max_velocity_) {
      values[i] = bounds[i].max_velocity_;
      changed = true;
    }
  }
  return changed;
}

void JointModel::setMimic(const JointModel* source, double factor, double offset)
{
  mimic_ = source;
  mimic_factor_ = factor;
  mimic_offset_ = offset;
}

void JointModel::setDescendantJointModels(std::vector<const JointModel*> joints)
{
  descendant_joint_models_ = std::move(joints);
  non_fixed_descendant_joint_models_.clear();
  for (const JointModel* joint : descendant_joint_models_) {
    if (joint->getType() != FIXED) {
      non_fixed_descendant_joint_models_.push_back(joint);
    }
  }
}

void JointModel::setDescendantLinkModels(std::vector<const LinkModel*> links)
{
  descendant_link_models_ = std::move(links);
}

int JointModel::generateMdhParameters()
{
  const double cr = std::cos(origin_.roll_), sr = std::sin(origin_.roll_);
  const Eigen::Matrix3d rotation = (Eigen::AngleAxisd(origin_.yaw_, Eigen::Vector3d::UnitZ()) *
                                    Eigen::AngleAxisd(origin_.pitch_, Eigen::Vector3d::UnitY()) *
                                    Eigen::AngleAxisd(origin_.roll_, Eigen::Vector3d::UnitX()))
                                       .toRotationMatrix();
  // An MDH joint frame is Rx(alpha) Rz(theta): with the roll taken off, a pure rotation about z must remain.
  const Eigen::Matrix3d m = Eigen::AngleAxisd(origin_.roll_, Eigen::Vector3d::UnitX()).toRotationMatrix().transpose() *
                            rotation;
  const double residuals[] = { std::fabs(m(0, 2)),         std::fabs(m(2, 0)),
                               std::fabs(m(2, 1)),         std::fabs(m(1, 2)),
                               std::fabs(m(2, 2) - 1.0),   std::fabs(m(0, 0) - m(1, 1)),
                               std::fabs(m(0, 1) + m(1, 0)) };
  if (!std::all_of(std::begin(residuals), std::end(residuals), [](double r) { return r < kMdhTolerance; })) {
    std::puts("Matrix R_zero0 is not ok.");
    mdh_status_ = MdhStatus::ROTATION_NOT_MDH;
    return -1;
  }

  mdh_parameters_.xa_ = origin_.x_;
  mdh_parameters_.alpha_ = origin_.roll_;
  mdh_parameters_.qzero_ = std::atan2(m(1, 0), m(0, 0));
  mdh_parameters_.zd_ = origin_.z_ * cr - origin_.y_ * sr;

  // The MDH translation (xa, -sin(alpha) zd, cos(alpha) zd) has no component across the roll.
  if (!(std::fabs(origin_.y_ * cr + origin_.z_ * sr) < kMdhTolerance)) {
    mdh_status_ = MdhStatus::TRANSLATION_NOT_MDH;
  } else if (!hasMdhAxis()) {
    mdh_status_ = MdhStatus::AXIS_NOT_Z;
  } else {
    mdh_status_ = MdhStatus::VALID;
  }
  return 0;
}

}  // namespace core
}  // namespace robot_model
