// Placing a robot's FCL objects at the state of one check, in storage reused from check to check.
#include <algorithm>

#include <fcl/geometry/shape/box.h>

#include "collision_detection/collision_robot_fcl.h"
#include "robot_model/core/attached_body.h"
#include "robot_model/core/link_model.h"
#include "robot_model/core/robot_state.h"

namespace collision_detection
{
CollisionRobotFCL::CheckObjects::CheckObjects() = default;

CollisionRobotFCL::PlacedObjects::PlacedObjects(const CollisionRobotFCL& robot,
                                                const robot_model::core::RobotState& state)
  : robot_(robot), storage_(&robot.check_objects_)
{
  if (robot.check_objects_in_use_.test_and_set(std::memory_order_acquire))
    storage_ = &own_.emplace();
  robot.placeObjects(state, *storage_);
}

CollisionRobotFCL::PlacedObjects::~PlacedObjects()
{
  // The geometry caches hand a geometry to a new owner only while nobody else holds it.
  storage_->attached_geometry_.clear();
  storage_->attached_.clear();
  if (!own_)
    robot_.check_objects_in_use_.clear(std::memory_order_release);
}

void CollisionRobotFCL::placeObjects(const robot_model::core::RobotState& state, CheckObjects& storage) const
{
  if (!storage.links_built_)
  {
    storage.links_.clear();
    storage.link_bodies_.clear();
    for (std::size_t i = 0; i < geoms_.size(); ++i)
    {
      if (!geoms_[i] || !geoms_[i]->collision_geometry_)
        continue;
      storage.links_.push_back(*fcl_objs_[i]);
      storage.link_bodies_.push_back(i);
    }
    storage.mesh_boxes_.clear();
    for (std::size_t k = 0; k < storage.links_.size(); ++k)
    {
      const fcl::CollisionGeometryd& geometry = *storage.links_[k].collisionGeometry();
      const fcl::AABBd& box = geometry.aabb_local;
      // A mesh without vertices has no box.
      if (geometry.getObjectType() != fcl::OT_BVH || !(box.min_.array() <= box.max_.array()).all())
        continue;
      storage.mesh_boxes_.push_back(
          { k, fcl::CollisionObjectd(std::make_shared<fcl::Boxd>(box.max_ - box.min_)), box.center() });
    }
    storage.links_built_ = true;
  }

  storage.objects_.clear();
  for (std::size_t k = 0; k < storage.links_.size(); ++k)
  {
    fcl::CollisionObjectd& object = storage.links_[k];
    object.setTransform(state.getCollisionBodyTransform(storage.link_bodies_[k]));
    computeTightAABB(object);
    storage.objects_.push_back(&object);
  }

  storage.attached_.clear();
  storage.attached_geometry_.clear();
  for (const auto& entry : state.getAttachedBodies())
  {
    const robot_model::core::AttachedBody& body = *entry.second;
    for (std::size_t k = 0; k < body.shapes_.size(); ++k)
    {
      FCLGeometryConstPtr geometry = attachedGeometry(body, k, storage);
      if (!geometry || !geometry->collision_geometry_)
        continue;
      storage.attached_.emplace_back(geometry->collision_geometry_, body.global_shape_poses_[k]);
      storage.attached_geometry_.push_back(std::move(geometry));
    }
  }
  auto& scaled = storage.scaled_geometry_;
  scaled.erase(std::remove_if(scaled.begin(), scaled.end(), [](const auto& entry) { return !entry.used; }),
               scaled.end());
  for (auto& entry : scaled)
    entry.used = false;
  // Taken after the last insertion, which may have moved the attached objects.
  for (fcl::CollisionObjectd& object : storage.attached_)
    storage.objects_.push_back(&object);
}

fcl::CollisionObjectd& CollisionRobotFCL::PlacedObjects::boundingObject(std::size_t index) const
{
  for (CheckObjects::MeshBox& mesh_box : storage_->mesh_boxes_)
  {
    if (mesh_box.link_object != index)
      continue;
    const fcl::CollisionObjectd& mesh = storage_->links_[index];
    mesh_box.box.setTransform(mesh.getTransform() * Eigen::Translation3d(mesh_box.centre));
    mesh_box.box.computeAABB();
    return mesh_box.box;
  }
  return *storage_->objects_[index];
}

FCLGeometryConstPtr CollisionRobotFCL::attachedGeometry(const robot_model::core::AttachedBody& body,
                                                        std::size_t shape_index, CheckObjects& storage) const
{
  const std::shared_ptr<const shapes::Shape>& shape = body.shapes_[shape_index];
  const std::string& parent = body.parent_link_->getName();
  const double scale = getLinkScale(parent);
  const double padding = getLinkPadding(parent);
  const int index = static_cast<int>(shape_index);
  if (!scalesOrPads(scale, padding))
    return createCollisionGeometry(shape, &body, index);

  for (auto& entry : storage.scaled_geometry_)
  {
    if (entry.body == &body && entry.shape_index == shape_index && !entry.shape.owner_before(shape) &&
        !shape.owner_before(entry.shape) && entry.scale == scale && entry.padding == padding)
    {
      entry.used = true;
      return entry.geometry;
    }
  }
  FCLGeometryConstPtr geometry = createCollisionGeometry(shape, scale, padding, &body, index);
  if (geometry)
    storage.scaled_geometry_.push_back({ &body, shape_index, shape, scale, padding, geometry, true });
  return geometry;
}
}  // namespace collision_detection
