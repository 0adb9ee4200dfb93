#pragma once

#include <Eigen/Geometry>
#include <boost/function.hpp>
#include <cstddef>
#include <map>
#include <memory>
#include <string>

#include "robot_model/core/attached_body.h"
#include "robot_model/core/robot_model.h"

namespace robot_model {
namespace core {

class JointModelGroup;

// One configuration of the robot: every state variable and, computed lazily from them, the joint
// transforms, the global link poses and the global poses of the links' collision bodies; also the
// bodies attached to links. A state starts at the model's default values with all transforms
// computed. It is not copyable (its transform arrays and attached bodies are owned).
class RobotState {
 public:
  using AttachedBodyCallback = boost::function<void(AttachedBody*, bool)>;

  explicit RobotState(const RobotModelConstPtr& model);
  ~RobotState();
  RobotState(const RobotState&) = delete;
  RobotState& operator=(const RobotState&) = delete;

  const RobotModelConstPtr& getRobotModel() const { return model_; }

  // Default positions, zero velocities and accelerations; everything marked for recomputation.
  void setToDefaultValues();
  // Writes the group's variables (group order), moves the mimic joints that follow them, inside the group or not,
  // and marks the affected transforms stale.
  void setJointGroupPositions(const JointModelGroup* group, const double* values);
  void setJointGroupPositions(const JointModelGroup* group, const std::vector<double>& values) {
    setJointGroupPositions(group, values.data());
  }

  const double* getVariablePositions() const { return positions_; }
  const double* getVariableVelocities() const { return velocities_; }
  const double* getVariableAccelerations() const { return accelerations_; }

  void updateLinkTransforms();
  // Brings link poses and then collision-body poses up to date: ready for a collision query.
  void updateCollisionBodyTransforms();

  // Global pose of a link (by index); current after updateLinkTransforms.
  const Eigen::Isometry3d& getGlobalLinkTransform(std::size_t link_index) const { return link_transforms_[link_index]; }
  const Eigen::Isometry3d& getGlobalLinkTransform(const LinkModel* link) const {
    return link_transforms_[link->getLinkIndex()];
  }
  // Global pose of a collision body (link's first collision-body index + shape index); current after
  // updateCollisionBodyTransforms.
  const Eigen::Isometry3d& getCollisionBodyTransform(std::size_t body_index) const {
    return body_transforms_[body_index];
  }
  const Eigen::Isometry3d& getCollisionBodyTransform(const LinkModel* link, std::size_t shape_index) const {
    return body_transforms_[link->getFirstCollisionBodyIndex() + shape_index];
  }

  // Takes ownership and replaces a body of the same id. Throws std::runtime_error for a body that is
  // not usable on this state ("Invalid link." without a parent link of this model, or shape poses not
  // matching the shapes); an attached body of the same id is then left in place.
  void attachBody(std::unique_ptr<AttachedBody> body);
  void clearAttachedBody(const std::string& id);
  bool hasAttachedBody(const std::string& id) const { return attached_bodies_.count(id) > 0; }
  // Null when no body of that id is attached.
  const AttachedBody* getAttachedBody(const std::string& id) const;
  const std::map<std::string, std::unique_ptr<AttachedBody>>& getAttachedBodies() const { return attached_bodies_; }
  void setAttachedBodyUpdateCallback(const AttachedBodyCallback& callback) { attach_callback_ = callback; }
  // Counts every attachment and removal, so that a reader can tell the attached bodies changed.
  unsigned long getAttachedBodyChangeCount() const { return attached_body_changes_; }

 private:
  void allocMemory();
  void markDirtyJointTransforms(const JointModel* joint);
  void widenDirtyLinksRoot(const JointModel* joint);
  void updateLinkTransformsInternal(const JointModel* start);
  void checkAttachable(const AttachedBody& body) const;
  const Eigen::Isometry3d& getJointTransform(const JointModel* joint);

  RobotModelConstPtr model_;
  void* block_ = nullptr;
  double* positions_ = nullptr;
  double* velocities_ = nullptr;
  double* accelerations_ = nullptr;
  double* efforts_ = nullptr;
  bool velocities_set_ = false;
  bool accelerations_set_ = false;
  bool efforts_set_ = false;
  const JointModel* dirty_links_root_ = nullptr;
  const JointModel* dirty_bodies_root_ = nullptr;
  Eigen::Isometry3d* joint_transforms_ = nullptr;
  Eigen::Isometry3d* link_transforms_ = nullptr;
  Eigen::Isometry3d* body_transforms_ = nullptr;
  unsigned char* dirty_joints_ = nullptr;
  std::map<std::string, std::unique_ptr<AttachedBody>> attached_bodies_;
  AttachedBodyCallback attach_callback_;
  unsigned long attached_body_changes_ = 0;
};

using RobotStatePtr = std::shared_ptr<RobotState>;
using RobotStateConstPtr = std::shared_ptr<const RobotState>;

}  // namespace core
}  // namespace robot_model
