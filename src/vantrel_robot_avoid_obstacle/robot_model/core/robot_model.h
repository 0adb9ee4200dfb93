#pragma once

#include <Eigen/Geometry>
#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "robot_model/core/joint_model.h"
#include "robot_model/core/kinematics_solver_record.h"
#include "robot_model/core/link_model.h"
#include "robot_model/srdf_parser/model.h"

namespace shapes {
class Shape;
}

namespace robot_model {
namespace core {

class JointModelGroup;

// Rigid transform of a URDF pose (translation and unit quaternion).
Eigen::Isometry3d urdfPoseToIsometry(const urdf::Pose& pose);

// The kinematic model of the robot, built once from a description directory, a URDF file name and an
// SRDF file name, read-only afterwards. Problems that make the model unfit for use (unreadable URDF or
// SRDF, collision geometry that cannot be loaded, a virtual joint clashing with a URDF joint) are
// collected as set-up errors: check isValid() before using the model.
class RobotModel {
 public:
  RobotModel(const std::string& description_dir, const std::string& urdf_file, const std::string& srdf_file);
  ~RobotModel();  // defined where JointModelGroup is complete
  RobotModel(const RobotModel&) = delete;
  RobotModel& operator=(const RobotModel&) = delete;

  // Set-up errors, one line each; empty when the model was built from complete, readable input.
  bool isValid() const { return setup_errors_.empty(); }
  const std::vector<std::string>& getSetupErrors() const { return setup_errors_; }

  const std::string& getName() const { return model_name_; }
  const std::string& getModelFrame() const { return model_frame_; }
  const std::string& getDescriptionDirectory() const { return description_dir_; }
  std::shared_ptr<const srdf::Model> getSRDF() const { return srdf_; }
  std::shared_ptr<const urdf::ModelInterface> getURDF() const { return urdf_; }

  const LinkModel* getRootLink() const { return root_link_; }
  const std::string& getRootLinkName() const;
  const JointModel* getRootJoint() const { return root_joint_; }
  const std::string& getRootJointName() const;

  // Null (with a message) when the model has no link of that name.
  const LinkModel* getLinkModel(const std::string& name) const;
  bool hasLinkModel(const std::string& name) const { return link_model_map_.count(name) > 0; }
  const std::vector<const LinkModel*>& getLinkModels() const { return link_model_vector_const_; }
  const std::vector<std::string>& getLinkModelNames() const { return link_model_names_vector_; }
  const std::vector<const LinkModel*>& getLinkModelsWithCollisionGeometry() const {
    return link_models_with_collision_geometry_vector_;
  }
  const std::vector<std::string>& getLinkModelNamesWithCollisionGeometry() const {
    return link_model_names_with_collision_geometry_vector_;
  }
  std::size_t getLinkModelCount() const { return link_model_vector_.size(); }
  std::size_t getLinkGeometryCount() const { return link_geometry_count_; }

  // Null when the model has no joint of that name.
  const JointModel* getJointModel(const std::string& name) const;
  bool hasJointModel(const std::string& name) const { return joint_model_map_.count(name) > 0; }
  const std::vector<const JointModel*>& getJointModels() const { return joint_model_vector_const_; }
  const std::vector<std::string>& getJointModelNames() const { return joint_model_names_vector_; }
  std::size_t getJointModelCount() const { return joint_model_vector_.size(); }
  const std::vector<const JointModel*>& getActiveJointModels() const { return active_joint_model_vector_const_; }
  const std::vector<std::string>& getActiveJointModelNames() const { return active_joint_model_names_vector_; }
  const std::vector<const JointModel*>& getContinuousJointModels() const { return continuous_joint_model_vector_; }
  const std::vector<const JointModel*>& getMimicJointModels() const { return mimic_joints_; }
  const std::vector<const JointModel*>& getSingleDOFJointModels() const { return single_dof_joints_; }
  const std::vector<const JointModel*>& getMultiDOFJointModels() const { return multi_dof_joints_; }
  const std::vector<int>& getActiveJointModelStartIndex() const { return active_joint_model_start_index_; }
  const std::vector<const JointModel::Bounds*>& getActiveJointModelsBounds() const {
    return active_joint_models_bounds_;
  }
  // The joint at the common root of two joints of this model.
  const JointModel* getCommonRoot(const JointModel* a, const JointModel* b) const {
    return joint_model_vector_[common_joint_roots_[a->getJointIndex() * joint_model_vector_.size() +
                                                   b->getJointIndex()]];
  }

  const std::vector<std::string>& getVariableNames() const { return variable_names_; }
  std::size_t getVariableCount() const { return variable_count_; }
  // Index of a variable, or of the first variable of a joint, in a full state; -1 when unknown.
  int getVariableIndex(const std::string& name) const;
  const std::vector<const JointModel*>& getJointsOfVariables() const { return joints_of_variable_; }

  double getMaximumExtent() const { return getMaximumExtent(active_joint_models_bounds_); }
  double getMaximumExtent(const std::vector<const JointModel::Bounds*>& active_joint_bounds) const;

  // Null (with a message) when the model has no group of that name.
  const JointModelGroup* getJointModelGroup(const std::string& name) const;
  bool hasJointModelGroup(const std::string& name) const { return joint_model_group_map_.count(name) > 0; }
  const std::vector<const JointModelGroup*>& getJointModelGroups() const { return joint_model_groups_const_; }
  const std::vector<std::string>& getJointModelGroupNames() const { return joint_model_group_names_; }
  const std::vector<const JointModelGroup*>& getEndEffectors() const { return end_effectors_; }
  const JointModelGroup* getEndEffector(const std::string& name) const;

  const std::vector<KinematicsSolverRecord>& getKinematicsSolvers() const { return kinematics_solvers_; }

 private:
  void initKinematicsSolvers();
  void buildModel(const urdf::ModelInterface& urdf_model, const srdf::Model& srdf_model);
  JointModel* buildRecursive(LinkModel* parent, const urdf::Link* urdf_link, const srdf::Model& srdf_model);
  std::unique_ptr<JointModel> constructJointModel(const urdf::Link* urdf_link, const srdf::Model& srdf_model);
  std::unique_ptr<JointModel> constructRootJointModel(const urdf::Link* urdf_link, const srdf::Model& srdf_model);
  void applyJointProperties(JointModel* joint, const srdf::Model& srdf_model);
  void buildMimic(const urdf::ModelInterface& urdf_model);
  void buildJointInfo();
  void computeFixedTransforms(const LinkModel* link, const Eigen::Isometry3d& transform,
                              LinkTransformMap& associated_transforms);
  void computeCommonRootsHelper(const JointModel* joint);
  void setCommonRootsOf(const JointModel* a, const JointModel* b, int root);

  std::unique_ptr<LinkModel> constructLinkModel(const urdf::Link& urdf_link);
  std::unique_ptr<shapes::Shape> constructShape(const urdf::Geometry& geometry, const std::string& link_name);

  void buildGroups(const srdf::Model& srdf_model);
  bool addJointModelGroup(const srdf::Model::Group& srdf_group);
  void buildGroupsInfoSubgroups();
  void buildGroupsInfoEndEffectors(const srdf::Model& srdf_model);
  void buildGroupStates(const srdf::Model& srdf_model);

  void reportSetupError(const std::string& message);

  std::string description_dir_;
  std::string urdf_file_;
  std::string srdf_file_;
  std::string model_name_;
  std::string model_frame_;
  std::shared_ptr<srdf::Model> srdf_;
  std::shared_ptr<urdf::ModelInterface> urdf_;

  // Owners of every link, joint and group; the maps and vectors below are views. Declared in this order so that
  // groups go first, then joints, then the links they refer to.
  std::vector<std::unique_ptr<LinkModel>> owned_link_models_;
  std::vector<std::unique_ptr<JointModel>> owned_joint_models_;
  std::vector<std::unique_ptr<JointModelGroup>> owned_joint_model_groups_;

  LinkModel* root_link_ = nullptr;
  std::map<std::string, LinkModel*> link_model_map_;
  std::vector<LinkModel*> link_model_vector_;
  std::vector<const LinkModel*> link_model_vector_const_;
  std::vector<std::string> link_model_names_vector_;
  std::vector<const LinkModel*> link_models_with_collision_geometry_vector_;
  std::vector<std::string> link_model_names_with_collision_geometry_vector_;
  std::size_t link_geometry_count_ = 0;

  JointModel* root_joint_ = nullptr;
  std::map<std::string, JointModel*> joint_model_map_;
  std::vector<JointModel*> joint_model_vector_;
  std::vector<const JointModel*> joint_model_vector_const_;
  std::vector<std::string> joint_model_names_vector_;
  std::vector<JointModel*> active_joint_model_vector_;
  std::vector<std::string> active_joint_model_names_vector_;
  std::vector<const JointModel*> active_joint_model_vector_const_;
  std::vector<const JointModel*> continuous_joint_model_vector_;
  std::vector<const JointModel*> mimic_joints_;
  std::vector<const JointModel*> single_dof_joints_;
  std::vector<const JointModel*> multi_dof_joints_;
  std::vector<int> common_joint_roots_;

  std::vector<std::string> variable_names_;
  std::size_t variable_count_ = 0;
  std::map<std::string, int> joint_variables_index_map_;
  std::vector<int> active_joint_model_start_index_;
  std::vector<const JointModel::Bounds*> active_joint_models_bounds_;
  std::vector<const JointModel*> joints_of_variable_;

  std::map<std::string, JointModelGroup*> joint_model_group_map_;
  std::map<std::string, JointModelGroup*> end_effectors_map_;
  std::vector<JointModelGroup*> joint_model_groups_;
  std::vector<const JointModelGroup*> joint_model_groups_const_;
  std::vector<std::string> joint_model_group_names_;
  std::vector<const JointModelGroup*> end_effectors_;

  std::vector<KinematicsSolverRecord> kinematics_solvers_;

  std::vector<std::string> setup_errors_;
};

using RobotModelPtr = std::shared_ptr<RobotModel>;
using RobotModelConstPtr = std::shared_ptr<const RobotModel>;

}  // namespace core
}  // namespace robot_model
