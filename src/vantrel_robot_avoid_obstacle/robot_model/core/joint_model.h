#pragma once

#include "robot_model/core/joint_origin.h"
#include "robot_model/core/mdh_parameters.h"
#include "robot_model/core/random_number_generator.h"
#include "robot_model/core/variable_bounds.h"

#include <Eigen/Geometry>
#include <cstddef>
#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace robot_model {
namespace core {

class LinkModel;

// One joint of the kinematic tree: its variables with their bounds and every operation on variable
// values that the rest of the system performs without knowing the joint's kind. Value arrays hold
// getVariableCount() values; the bounds passed in hold one entry per variable.
// Filled in by the model builder, read-only afterwards.
class JointModel
{
public:
  enum JointType : std::int32_t
  {
    UNKNOWN = 0,
    REVOLUTE = 1,
    PRISMATIC = 2,
    PLANAR = 3,
    FLOATING = 4,
    FIXED = 5,
  };

  using Bounds = std::vector<VariableBounds>;

  JointModel(const std::string& name, std::size_t joint_index, std::size_t first_variable_index);
  virtual ~JointModel();
  JointModel(const JointModel&) = delete;
  JointModel& operator=(const JointModel&) = delete;

  virtual void getVariableDefaultPositions(double* values, const Bounds& bounds) const = 0;
  virtual void getVariableRandomPositions(RandomNumberGenerator& rng, double* values,
                                          const Bounds& bounds) const = 0;
  virtual void getVariableRandomPositionsNearBy(RandomNumberGenerator& rng, double* values, const Bounds& bounds,
                                                const double* near, double distance) const = 0;
  virtual bool satisfiesPositionBounds(const double* values, const Bounds& bounds, double margin) const = 0;
  // Brings values inside the bounds; true when anything changed.
  virtual bool enforcePositionBounds(double* values, const Bounds& bounds) const = 0;
  // Moves angles by whole turns towards the bounds; true when anything changed.
  virtual bool harmonizePosition(double* values, const Bounds& bounds) const;
  virtual bool satisfiesVelocityBounds(const double* values, const Bounds& bounds, double margin) const;
  virtual bool enforceVelocityBounds(double* values, const Bounds& bounds) const;
  virtual double distance(const double* a, const double* b) const = 0;
  virtual unsigned int getStateSpaceDimension() const = 0;
  virtual void interpolate(const double* from, const double* to, double t, double* state) const = 0;
  virtual double getMaximumExtent(const Bounds& bounds) const = 0;
  // Transform of the child frame relative to the joint origin for the given values.
  virtual void computeTransform(const double* values, Eigen::Isometry3d& transform) const = 0;
  virtual void computeVariablePositions(const Eigen::Isometry3d& transform, double* values) const = 0;

  static std::string getTypeName(JointType type);

  // Copies bounds into the named variable; throws std::runtime_error for a name the joint lacks.
  void setVariableBounds(const std::string& variable, const VariableBounds& bounds);

  // Derives the MDH values from the origin. -1 (values untouched, "Matrix R_zero0 is not ok.") when the
  // origin rotation is not of the form Rx(alpha) Rz(theta); otherwise 0 with the values written.
  // getMdhStatus() tells whether the values also describe the translation and the axis exactly, which
  // an analytic solver needs. Call after setOrigin and, for revolute joints, after setAxis.
  int generateMdhParameters();

  const std::string& getName() const { return name_; }
  JointType getType() const { return type_; }
  std::string getTypeName() const { return getTypeName(type_); }
  std::size_t getJointIndex() const { return joint_index_; }
  std::size_t getFirstVariableIndex() const { return first_variable_index_; }
  std::size_t getVariableCount() const { return variable_names_.size(); }
  const std::vector<std::string>& getLocalVariableNames() const { return local_variable_names_; }
  const std::vector<std::string>& getVariableNames() const { return variable_names_; }
  const Bounds& getVariableBounds() const { return variable_bounds_; }
  const std::map<std::string, std::size_t>& getVariableIndexMap() const { return variable_index_map_; }

  const LinkModel* getParentLinkModel() const { return parent_link_model_; }
  void setParentLinkModel(const LinkModel* link) { parent_link_model_ = link; }
  const LinkModel* getChildLinkModel() const { return child_link_model_; }
  void setChildLinkModel(const LinkModel* link) { child_link_model_ = link; }

  const JointModel* getMimic() const { return mimic_; }
  double getMimicFactor() const { return mimic_factor_; }
  double getMimicOffset() const { return mimic_offset_; }
  void setMimic(const JointModel* source, double factor, double offset);
  const std::vector<const JointModel*>& getMimicRequests() const { return mimic_requests_; }
  void addMimicRequest(const JointModel* joint) { mimic_requests_.push_back(joint); }

  const std::vector<const JointModel*>& getDescendantJointModels() const { return descendant_joint_models_; }
  const std::vector<const JointModel*>& getNonFixedDescendantJointModels() const
  {
    return non_fixed_descendant_joint_models_;
  }
  const std::vector<const LinkModel*>& getDescendantLinkModels() const { return descendant_link_models_; }
  // Also derives the non-fixed descendants, keeping the given order.
  void setDescendantJointModels(std::vector<const JointModel*> joints);
  void setDescendantLinkModels(std::vector<const LinkModel*> links);

  bool isPassive() const { return passive_; }
  void setPassive(bool passive) { passive_ = passive; }
  double getDistanceFactor() const { return distance_factor_; }
  void setDistanceFactor(double factor) { distance_factor_ = factor; }

  const JointOrigin& getOrigin() const { return origin_; }
  void setOrigin(const JointOrigin& origin) { origin_ = origin; }
  const MdhParameters& getMdhParameters() const { return mdh_parameters_; }
  MdhStatus getMdhStatus() const { return mdh_status_; }

protected:
  // Single-variable joints: one variable named after the joint.
  void addVariable();
  // Multi-variable joints: "<joint>/<local name>" per local name, in order.
  void addVariables(const std::vector<std::string>& local_names);

  // Sets unit to axis scaled to length 1; prints and returns false for a zero or non-finite axis.
  bool normalizeAxis(const Eigen::Vector3d& axis, Eigen::Vector3d& unit) const;

  // Whether the joint's motion is about or along its own z axis, as MDH values assume.
  virtual bool hasMdhAxis() const { return true; }

  std::string name_;
  std::size_t joint_index_;
  std::size_t first_variable_index_;
  JointType type_ = UNKNOWN;
  std::vector<std::string> local_variable_names_;
  std::vector<std::string> variable_names_;
  Bounds variable_bounds_;
  std::map<std::string, std::size_t> variable_index_map_;
  const LinkModel* parent_link_model_ = nullptr;
  const LinkModel* child_link_model_ = nullptr;
  const JointModel* mimic_ = nullptr;
  double mimic_factor_ = 1.0;
  double mimic_offset_ = 0.0;
  std::vector<const JointModel*> mimic_requests_;
  std::vector<const JointModel*> descendant_joint_models_;
  std::vector<const LinkModel*> descendant_link_models_;
  std::vector<const JointModel*> non_fixed_descendant_joint_models_;
  bool passive_ = false;
  double distance_factor_ = 1.0;
  JointOrigin origin_;
  MdhParameters mdh_parameters_;
  MdhStatus mdh_status_ = MdhStatus::NOT_COMPUTED;
};

}  // namespace core
}  // namespace robot_model
