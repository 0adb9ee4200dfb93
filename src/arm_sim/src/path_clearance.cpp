#include "arm_sim/path_clearance.hpp"

#include <algorithm>
#include <cmath>
#include <limits>
#include <stdexcept>
#include <string>
#include <utility>

#include <fcl/geometry/bvh/BVH_model.h>
#include <fcl/geometry/octree/octree.h>
#include <fcl/geometry/shape/box.h>
#include <fcl/geometry/shape/cone.h>
#include <fcl/geometry/shape/cylinder.h>
#include <fcl/geometry/shape/sphere.h>
#include <fcl/math/bv/OBBRSS.h>
#include <fcl/narrowphase/collision.h>
#include <fcl/narrowphase/distance.h>

#include "robot_model/core/link_model.h"
#include "robot_model/shapes/shapes.h"

namespace arm_sim
{

namespace
{

std::shared_ptr<fcl::CollisionGeometryd> meshGeometry(const shapes::Mesh & mesh)
{
  std::vector<fcl::Vector3d> vertices;
  for (std::uint32_t v = 0; v < mesh.vertex_count; ++v) {
    vertices.emplace_back(mesh.vertices[3 * v], mesh.vertices[3 * v + 1], mesh.vertices[3 * v + 2]);
  }
  std::vector<fcl::Triangle> triangles;
  for (std::uint32_t t = 0; t < mesh.triangle_count; ++t) {
    triangles.emplace_back(mesh.triangles[3 * t], mesh.triangles[3 * t + 1], mesh.triangles[3 * t + 2]);
  }
  auto model = std::make_shared<fcl::BVHModel<fcl::OBBRSSd>>();
  if (model->beginModel() != fcl::BVH_OK || model->addSubModel(vertices, triangles) != fcl::BVH_OK ||
    model->endModel() != fcl::BVH_OK)
  {
    throw std::runtime_error("path clearance: a mesh could not be built");
  }
  return model;
}

std::shared_ptr<fcl::CollisionGeometryd> geometryOf(const shapes::Shape & shape)
{
  switch (shape.type) {
    case shapes::SPHERE:
      return std::make_shared<fcl::Sphered>(static_cast<const shapes::Sphere &>(shape).radius);
    case shapes::CYLINDER: {
        const auto & cylinder = static_cast<const shapes::Cylinder &>(shape);
        return std::make_shared<fcl::Cylinderd>(cylinder.radius, cylinder.length);
      }
    case shapes::CONE: {
        const auto & cone = static_cast<const shapes::Cone &>(shape);
        return std::make_shared<fcl::Coned>(cone.radius, cone.length);
      }
    case shapes::BOX: {
        const auto & box = static_cast<const shapes::Box &>(shape);
        return std::make_shared<fcl::Boxd>(box.size[0], box.size[1], box.size[2]);
      }
    case shapes::MESH:
      return meshGeometry(static_cast<const shapes::Mesh &>(shape));
    default:
      throw std::invalid_argument("path clearance: a link has a shape that is no body");
  }
}

}  // namespace

JointPath pathOf(const trajectory_msgs::msg::JointTrajectory & trajectory)
{
  JointPath path;
  for (const auto & point : trajectory.points) {
    path.push_back(point.positions);
  }
  return path;
}

std::shared_ptr<octomap::OcTree> cellsOf(const pcl::PointCloud<pcl::PointXYZ> & cloud, double resolution)
{
  auto tree = std::make_shared<octomap::OcTree>(resolution);
  for (const auto & p : cloud.points) {
    if (std::isfinite(p.x) && std::isfinite(p.y) && std::isfinite(p.z)) {
      tree->updateNode(octomap::point3d(p.x, p.y, p.z), true, false);
    }
  }
  tree->updateInnerOccupancy();
  return tree;
}

PathClearance::PathClearance(
  const robot_model::core::RobotModelConstPtr & model, const robot_model::core::JointModelGroup * group,
  const pcl::PointCloud<pcl::PointXYZ> & cloud, double resolution)
: model_(model), group_(group)
{
  const std::shared_ptr<octomap::OcTree> tree = cellsOf(cloud, resolution);
  if (tree->size() != 0) {
    cells_ = std::make_unique<fcl::CollisionObjectd>(std::make_shared<fcl::OcTreed>(tree));
  }
  for (const robot_model::core::LinkModel * link : model_->getLinkModelsWithCollisionGeometry()) {
    for (size_t i = 0; i < link->getShapes().size(); ++i) {
      bodies_.push_back({link, link->getCollisionOriginTransforms()[i],
          std::make_unique<fcl::CollisionObjectd>(geometryOf(*link->getShapes()[i]))});
    }
  }
}

void PathClearance::carry(const robot_model::core::AttachedBody & body)
{
  for (size_t i = 0; i < body.shapes_.size(); ++i) {
    bodies_.push_back({body.parent_link_, body.shape_poses_[i],
        std::make_unique<fcl::CollisionObjectd>(geometryOf(*body.shapes_[i]))});
  }
}

void PathClearance::place(robot_model::core::RobotState & state, const std::vector<double> & q)
{
  state.setJointGroupPositions(group_, q);
  state.updateLinkTransforms();
  for (Body & body : bodies_) {
    const Eigen::Isometry3d pose = state.getGlobalLinkTransform(body.link) * body.origin;
    body.object->setTransform(pose.linear(), pose.translation());
    body.object->computeAABB();
  }
}

bool PathClearance::touches() const
{
  for (const Body & body : bodies_) {
    fcl::CollisionResultd result;
    if (fcl::collide(body.object.get(), cells_.get(), fcl::CollisionRequestd(), result) != 0) {
      return true;
    }
  }
  return false;
}

double PathClearance::distance() const
{
  double smallest = std::numeric_limits<double>::infinity();
  for (const Body & body : bodies_) {
    fcl::DistanceResultd result;
    fcl::distance(body.object.get(), cells_.get(), fcl::DistanceRequestd(), result);
    smallest = std::min(smallest, result.min_distance);
  }
  return smallest;
}

std::vector<double> PathClearance::firstContact(const JointPath & path)
{
  if (!cells_) {
    return {};
  }
  robot_model::core::RobotState state(model_);
  for (const auto & q : densePath(path)) {
    place(state, q);
    if (touches()) {
      return q;
    }
  }
  return {};
}

double PathClearance::smallestAtConfigurations(const JointPath & path)
{
  double smallest = std::numeric_limits<double>::infinity();
  if (!cells_) {
    return smallest;
  }
  robot_model::core::RobotState state(model_);
  for (const auto & q : path) {
    place(state, q);
    smallest = std::min(smallest, touches() ? 0.0 : distance());
  }
  return smallest;
}

JointPath densePath(const JointPath & path)
{
  JointPath samples(path.begin(), path.begin() + (path.empty() ? 0 : 1));
  for (size_t i = 1; i < path.size(); ++i) {
    const auto & from = path[i - 1];
    const auto & to = path[i];
    double widest = 0.0;
    for (size_t j = 0; j < from.size(); ++j) {
      widest = std::max(widest, std::abs(to[j] - from[j]));
    }
    const int steps = std::max(1, static_cast<int>(std::ceil(widest / PathClearance::kMaxJointStep)));
    for (int s = 1; s <= steps; ++s) {
      const double t = static_cast<double>(s) / steps;
      std::vector<double> q(from.size());
      for (size_t j = 0; j < q.size(); ++j) {
        q[j] = from[j] + t * (to[j] - from[j]);
      }
      samples.push_back(std::move(q));
    }
  }
  return samples;
}

}  // namespace arm_sim
