#include <cstdio>

#include "robot_model/core/exceptions.h"
#include "robot_model/core/robot_model.h"
#include "robot_model/shapes/mesh_operations.h"
#include "robot_model/shapes/mesh_resource.h"
#include "robot_model/shapes/shapes.h"
#include "robot_model/urdf_parser/urdf_parser.h"

namespace robot_model {
namespace core {

Eigen::Isometry3d urdfPoseToIsometry(const urdf::Pose& pose) {
  const Eigen::Quaterniond q(pose.rotation.w, pose.rotation.x, pose.rotation.y, pose.rotation.z);
  Eigen::Isometry3d transform = Eigen::Isometry3d::Identity();
  transform.translation() = Eigen::Vector3d(pose.position.x, pose.position.y, pose.position.z);
  transform.linear() = q.toRotationMatrix();
  return transform;
}

std::unique_ptr<LinkModel> RobotModel::constructLinkModel(const urdf::Link& urdf_link) {
  auto link = std::make_unique<LinkModel>(urdf_link.name, link_model_vector_.size());

  std::vector<std::shared_ptr<urdf::Collision>> collisions = urdf_link.collision_array;
  if (collisions.empty()) collisions.push_back(urdf_link.collision);
  std::vector<std::shared_ptr<const shapes::Shape>> shapes;
  std::vector<Eigen::Isometry3d, Eigen::aligned_allocator<Eigen::Isometry3d>> origins;
  for (const std::shared_ptr<urdf::Collision>& collision : collisions) {
    if (!collision || !collision->geometry) continue;
    std::shared_ptr<const shapes::Shape> shape = constructShape(*collision->geometry, urdf_link.name);
    if (!shape) continue;
    shapes.push_back(shape);
    origins.push_back(urdfPoseToIsometry(collision->origin));
  }
  link->setGeometry(shapes, origins);

  const urdf::Geometry* visual_geometry = nullptr;
  const urdf::Pose* visual_origin = nullptr;
  if (urdf_link.visual && urdf_link.visual->geometry) {
    visual_geometry = urdf_link.visual->geometry.get();
    visual_origin = &urdf_link.visual->origin;
  } else if (urdf_link.collision && urdf_link.collision->geometry) {
    visual_geometry = urdf_link.collision->geometry.get();
    visual_origin = &urdf_link.collision->origin;
  }
  if (visual_geometry && visual_geometry->type == urdf::Geometry::MESH) {
    const auto& mesh = static_cast<const urdf::Mesh&>(*visual_geometry);
    if (!mesh.filename.empty()) {
      link->setVisualMesh(mesh.filename, urdfPoseToIsometry(*visual_origin),
                          Eigen::Vector3d(mesh.scale.x, mesh.scale.y, mesh.scale.z));
    }
  }

  if (urdf_link.parent_joint) {
    link->setJointOriginTransform(urdfPoseToIsometry(urdf_link.parent_joint->parent_to_joint_origin_transform));
  }
  return link;
}

std::unique_ptr<shapes::Shape> RobotModel::constructShape(const urdf::Geometry& geometry, const std::string& link_name) {
  switch (geometry.type) {
    case urdf::Geometry::SPHERE:
      return std::make_unique<shapes::Sphere>(static_cast<const urdf::Sphere&>(geometry).radius);
    case urdf::Geometry::BOX: {
      const urdf::Vector3& dim = static_cast<const urdf::Box&>(geometry).dim;
      return std::make_unique<shapes::Box>(dim.x, dim.y, dim.z);
    }
    case urdf::Geometry::CYLINDER: {
      const auto& cylinder = static_cast<const urdf::Cylinder&>(geometry);
      return std::make_unique<shapes::Cylinder>(cylinder.length, cylinder.radius);
    }
    case urdf::Geometry::MESH: {
      const auto& mesh = static_cast<const urdf::Mesh&>(geometry);
      if (mesh.filename.empty()) return nullptr;
      const std::string resource = shapes::meshResourceUrl(mesh.filename, description_dir_);
      if (resource.empty()) throw Exception("Error retrieving file []: Package name must not be empty");
      printf("mesh path is :%s\n", resource.c_str());
      std::unique_ptr<shapes::Shape> shape =
          shapes::createMeshFromResource(resource, Eigen::Vector3d(mesh.scale.x, mesh.scale.y, mesh.scale.z));
      // A link that silently lost its collision mesh would let the planner drive through obstacles.
      if (!shape) reportSetupError("collision mesh '" + mesh.filename + "' of link '" + link_name + "' could not be loaded");
      return shape;
    }
    default:
      printf("Unknown geometry type: %d", static_cast<int>(geometry.type));
      reportSetupError("collision geometry of link '" + link_name + "' has an unknown type");
      return nullptr;
  }
}

}  // namespace core
}  // namespace robot_model
