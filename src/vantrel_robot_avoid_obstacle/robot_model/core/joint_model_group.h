#pragma once

#include <Eigen/Core>
#include <cstdint>
#include <map>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include "robot_model/core/joint_model.h"
#include "robot_model/core/kinematics_solver_record.h"
#include "robot_model/srdf_parser/model.h"

class KinematicsInterface;

namespace robot_model {
namespace core {

class LinkModel;
class RobotModel;

// A mimic joint of a group whose source is in the same group: group-local variable indices.
struct GroupMimicUpdate {
  int src;
  int dest;
  double factor;
  double offset;
};

// A named set of joints of the robot model, made from one SRDF group, with everything the rest of the
// system asks of it precomputed. Owned by the robot model; read-only once the model is built.
class JointModelGroup {
 public:
  JointModelGroup(const std::string& name, const srdf::Model::Group& config,
                  const std::vector<const JointModel*>& joints, const RobotModel* parent_model);
  JointModelGroup(const JointModelGroup&) = delete;
  JointModelGroup& operator=(const JointModelGroup&) = delete;

  const RobotModel& getParentModel() const { return *parent_model_; }
  const std::string& getName() const { return name_; }
  const srdf::Model::Group& getConfig() const { return config_; }

  const std::vector<const JointModel*>& getJointModels() const { return joint_model_vector_; }
  const std::vector<std::string>& getJointModelNames() const { return joint_model_name_vector_; }
  const std::vector<const JointModel*>& getActiveJointModels() const { return active_joint_model_vector_; }
  const std::vector<std::string>& getActiveJointModelNames() const { return active_joint_model_name_vector_; }
  const std::vector<const JointModel*>& getFixedJointModels() const { return fixed_joints_; }
  const std::vector<const JointModel*>& getMimicJointModels() const { return mimic_joints_; }
  // Mimic joints outside the group whose source is one of its active joints: setting the group's variables moves
  // them too.
  const std::vector<const JointModel*>& getOutsideMimicJointModels() const { return outside_mimic_joints_; }
  const std::vector<const JointModel*>& getContinuousJointModels() const { return continuous_joint_model_vector_; }
  const std::vector<const JointModel*>& getJointRoots() const { return joint_roots_; }
  const JointModel* getCommonRoot() const { return common_root_; }
  bool hasJointModel(const std::string& joint) const { return joint_model_map_.count(joint) > 0; }
  // Null (with a message) when the joint is not in the group.
  const JointModel* getJointModel(const std::string& name) const;

  const std::vector<std::string>& getVariableNames() const { return variable_names_; }
  const std::set<std::string>& getVariableNamesSet() const { return variable_names_set_; }
  unsigned int getVariableCount() const { return variable_count_; }
  unsigned int getActiveVariableCount() const { return active_variable_count_; }
  // Group-local index of a variable or of a joint's first variable; -1 when unknown.
  int getVariableGroupIndex(const std::string& variable) const;
  const std::vector<int>& getVariableIndexList() const { return variable_index_list_; }
  const std::vector<int>& getActiveJointModelStartIndex() const { return active_joint_model_start_index_; }
  const std::vector<const JointModel::Bounds*>& getActiveJointModelsBounds() const {
    return active_joint_models_bounds_;
  }
  bool isContiguousWithinState() const { return is_contiguous_index_list_; }
  const std::vector<GroupMimicUpdate>& getMimicUpdates() const { return group_mimic_update_; }

  const std::vector<const LinkModel*>& getLinkModels() const { return link_model_vector_; }
  const std::vector<std::string>& getLinkModelNames() const { return link_model_name_vector_; }
  bool hasLinkModel(const std::string& link) const { return link_model_map_.count(link) > 0; }
  // Null (with a message) when the link is not in the group.
  const LinkModel* getLinkModel(const std::string& name) const;
  const std::vector<const LinkModel*>& getLinkModelsWithCollisionGeometry() const {
    return link_model_with_geometry_vector_;
  }
  const std::vector<std::string>& getLinkModelNamesWithCollisionGeometry() const {
    return link_model_with_geometry_name_vector_;
  }
  const std::vector<const LinkModel*>& getUpdatedLinkModels() const { return updated_link_model_vector_; }
  const std::set<const LinkModel*>& getUpdatedLinkModelsSet() const { return updated_link_model_set_; }
  const std::vector<std::string>& getUpdatedLinkModelNames() const { return updated_link_model_name_vector_; }
  const std::set<std::string>& getUpdatedLinkModelNamesSet() const { return updated_link_model_name_set_; }
  const std::vector<const LinkModel*>& getUpdatedLinkModelsWithGeometry() const {
    return updated_link_model_with_geometry_vector_;
  }
  const std::set<const LinkModel*>& getUpdatedLinkModelsWithGeometrySet() const {
    return updated_link_model_with_geometry_set_;
  }
  const std::vector<std::string>& getUpdatedLinkModelsWithGeometryNames() const {
    return updated_link_model_with_geometry_name_vector_;
  }
  const std::set<std::string>& getUpdatedLinkModelsWithGeometryNamesSet() const {
    return updated_link_model_with_geometry_name_set_;
  }

  bool isChain() const { return is_chain_; }
  bool isSingleDOFJoints() const { return is_single_dof_; }
  bool isSubgroup(const std::string& group) const { return subgroup_names_set_.count(group) > 0; }
  const std::vector<std::string>& getSubgroupNames() const { return subgroup_names_; }
  bool isEndEffector() const { return !end_effector_name_.empty(); }
  const std::string& getEndEffectorName() const { return end_effector_name_; }
  const std::pair<std::string, std::string>& getEndEffectorParentGroup() const { return end_effector_parent_; }
  const std::vector<std::string>& getAttachedEndEffectorNames() const { return attached_end_effector_names_; }

  // Named default states: variable name -> value.
  const std::map<std::string, std::map<std::string, double>>& getDefaultStates() const { return default_states_; }
  const std::vector<std::string>& getDefaultStateNames() const { return default_states_names_; }

  // Sum over the active joints of each joint's extent for the given bounds times its distance factor.
  double getMaximumExtent(const std::vector<const JointModel::Bounds*>& active_joint_bounds) const;
  double getMaximumExtent() const { return getMaximumExtent(active_joint_models_bounds_); }

  // All arrays in the group's variable order.
  void interpolate(const double* from, const double* to, double t, double* state) const;

  // Chooses the solver whose dof and alpha sequence fit this chain, creates its own instance and
  // keeps it only when it accepts this chain's MDH values.
  void assignKinematicsSolver(const std::vector<KinematicsSolverRecord>& solvers);

  // Pose of the chain's tip (flange) for the given joint values, through the group's solver.
  void forwardKinematics(const std::vector<double>& joints, Eigen::MatrixXd& pose) const;
  void forwardKinematicsMatrix(std::vector<double> joints, Eigen::Matrix4d& pose) const;

  std::shared_ptr<KinematicsInterface> kinematics_interface_ptr_;

 private:
  friend class RobotModel;

  bool computeIsChain() const;
  void setDefaultState(const std::string& name, const std::map<std::string, double>& values);
  void setSubgroupNames(const std::vector<std::string>& names);
  void setEndEffectorName(const std::string& name) { end_effector_name_ = name; }
  void setEndEffectorParent(const std::string& group, const std::string& link) {
    end_effector_parent_ = std::make_pair(group, link);
  }
  void attachEndEffector(const std::string& name) { attached_end_effector_names_.push_back(name); }

  const RobotModel* parent_model_;
  std::string name_;
  std::vector<const JointModel*> joint_model_vector_;
  std::vector<std::string> joint_model_name_vector_;
  std::vector<const JointModel*> active_joint_model_vector_;
  std::vector<std::string> active_joint_model_name_vector_;
  std::vector<const JointModel*> fixed_joints_;
  std::vector<const JointModel*> mimic_joints_;
  std::vector<const JointModel*> outside_mimic_joints_;
  std::vector<const JointModel*> continuous_joint_model_vector_;
  std::vector<std::string> variable_names_;
  std::set<std::string> variable_names_set_;
  std::map<std::string, const JointModel*> joint_model_map_;
  std::vector<const JointModel*> joint_roots_;
  const JointModel* common_root_ = nullptr;
  std::map<std::string, std::uint64_t> joint_variables_index_map_;
  std::vector<const JointModel::Bounds*> active_joint_models_bounds_;
  std::vector<int> variable_index_list_;
  std::vector<int> active_joint_model_start_index_;
  std::vector<const LinkModel*> link_model_vector_;
  std::map<std::string, const LinkModel*> link_model_map_;
  std::vector<std::string> link_model_name_vector_;
  std::vector<const LinkModel*> link_model_with_geometry_vector_;
  std::vector<std::string> link_model_with_geometry_name_vector_;
  std::vector<const LinkModel*> updated_link_model_vector_;
  std::set<const LinkModel*> updated_link_model_set_;
  std::vector<std::string> updated_link_model_name_vector_;
  std::set<std::string> updated_link_model_name_set_;
  std::vector<const LinkModel*> updated_link_model_with_geometry_vector_;
  std::set<const LinkModel*> updated_link_model_with_geometry_set_;
  std::vector<std::string> updated_link_model_with_geometry_name_vector_;
  std::set<std::string> updated_link_model_with_geometry_name_set_;
  std::uint32_t variable_count_ = 0;
  std::uint32_t active_variable_count_ = 0;
  bool is_contiguous_index_list_ = true;
  std::vector<std::string> subgroup_names_;
  std::set<std::string> subgroup_names_set_;
  std::vector<std::string> attached_end_effector_names_;
  std::pair<std::string, std::string> end_effector_parent_;
  std::string end_effector_name_;
  bool is_chain_ = false;
  bool is_single_dof_ = true;
  std::vector<GroupMimicUpdate> group_mimic_update_;
  srdf::Model::Group config_;
  std::map<std::string, std::map<std::string, double>> default_states_;
  std::vector<std::string> default_states_names_;
};

}  // namespace core
}  // namespace robot_model
