#pragma once

#include <Eigen/Geometry>
#include <cstddef>
#include <map>
#include <memory>
#include <string>
#include <vector>

namespace shapes {
class Shape;
}

namespace robot_model {
namespace core {

class JointModel;
class LinkModel;

using LinkTransformMap = std::map<const LinkModel*, Eigen::Isometry3d, std::less<const LinkModel*>,
                                  Eigen::aligned_allocator<std::pair<const LinkModel* const, Eigen::Isometry3d>>>;

// One link of the robot model: its place in the tree, the fixed transform from its parent link,
// its collision shapes with their origins and their bounding box. Filled while the model is built,
// read-only afterwards.
class LinkModel {
 public:
  LinkModel(const std::string& name, std::size_t link_index);
  ~LinkModel();
  LinkModel(const LinkModel&) = delete;
  LinkModel& operator=(const LinkModel&) = delete;

  const std::string& getName() const { return name_; }
  std::size_t getLinkIndex() const { return link_index_; }

  const JointModel* getParentJointModel() const { return parent_joint_model_; }
  void setParentJointModel(const JointModel* joint);
  const LinkModel* getParentLinkModel() const { return parent_link_model_; }
  void setParentLinkModel(const LinkModel* link) { parent_link_model_ = link; }
  const std::vector<const JointModel*>& getChildJointModels() const { return child_joint_models_; }
  void addChildJointModel(const JointModel* joint) { child_joint_models_.push_back(joint); }
  bool parentJointIsFixed() const { return is_parent_joint_fixed_; }

  const Eigen::Isometry3d& getJointOriginTransform() const { return joint_origin_transform_; }
  bool jointOriginTransformIsIdentity() const { return joint_origin_transform_is_identity_; }
  void setJointOriginTransform(const Eigen::Isometry3d& transform);

  // Shapes and origins are indexed together; origins.size() must equal shapes.size().
  void setGeometry(const std::vector<std::shared_ptr<const shapes::Shape>>& shapes,
                   const std::vector<Eigen::Isometry3d, Eigen::aligned_allocator<Eigen::Isometry3d>>& origins);
  const std::vector<std::shared_ptr<const shapes::Shape>>& getShapes() const { return shapes_; }
  const std::vector<Eigen::Isometry3d, Eigen::aligned_allocator<Eigen::Isometry3d>>& getCollisionOriginTransforms()
      const {
    return collision_origin_transforms_;
  }
  const std::vector<int>& areCollisionOriginTransformsIdentity() const {
    return collision_origin_transform_is_identity_;
  }
  const Eigen::Vector3d& getShapeExtentsAtOrigin() const { return shape_extents_; }
  const Eigen::Vector3d& getCenteredBoundingBoxOffset() const { return centered_bounding_box_offset_; }

  const LinkTransformMap& getAssociatedFixedTransforms() const { return associated_fixed_transforms_; }
  void addAssociatedFixedTransform(const LinkModel* link, const Eigen::Isometry3d& transform) {
    associated_fixed_transforms_[link] = transform;
  }

  int getFirstCollisionBodyIndex() const { return first_collision_body_index_; }
  void setFirstCollisionBodyIndex(int index) { first_collision_body_index_ = index; }

  const std::string& getVisualMeshFilename() const { return visual_mesh_filename_; }
  const Eigen::Isometry3d& getVisualMeshOrigin() const { return visual_mesh_origin_; }
  const Eigen::Vector3d& getVisualMeshScale() const { return visual_mesh_scale_; }
  void setVisualMesh(const std::string& filename, const Eigen::Isometry3d& origin, const Eigen::Vector3d& scale);

  EIGEN_MAKE_ALIGNED_OPERATOR_NEW

 private:
  std::string name_;
  std::size_t link_index_;
  const JointModel* parent_joint_model_ = nullptr;
  const LinkModel* parent_link_model_ = nullptr;
  std::vector<const JointModel*> child_joint_models_;
  bool is_parent_joint_fixed_ = false;
  bool joint_origin_transform_is_identity_ = true;
  Eigen::Isometry3d joint_origin_transform_ = Eigen::Isometry3d::Identity();
  std::vector<Eigen::Isometry3d, Eigen::aligned_allocator<Eigen::Isometry3d>> collision_origin_transforms_;
  std::vector<int> collision_origin_transform_is_identity_;
  LinkTransformMap associated_fixed_transforms_;
  std::vector<std::shared_ptr<const shapes::Shape>> shapes_;
  Eigen::Vector3d shape_extents_ = Eigen::Vector3d::Zero();
  Eigen::Vector3d centered_bounding_box_offset_ = Eigen::Vector3d::Zero();
  std::string visual_mesh_filename_;
  Eigen::Isometry3d visual_mesh_origin_ = Eigen::Isometry3d::Identity();
  Eigen::Vector3d visual_mesh_scale_ = Eigen::Vector3d::Ones();
  int first_collision_body_index_ = -1;
};

// True when the rotation is the identity within 1e-12 and the translation shorter than the double epsilon.
bool isIdentityTransform(const Eigen::Isometry3d& transform);

// Farthest the origin of `link` can be from the origin of `ancestor` (null: the model's root): the joint offsets
// and prismatic travels in between (a mimic joint's over its source's range), added up.
double chainLength(const LinkModel* link, const LinkModel* ancestor);

}  // namespace core
}  // namespace robot_model
