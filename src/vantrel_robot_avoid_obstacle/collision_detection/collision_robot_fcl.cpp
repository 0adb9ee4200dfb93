#include "collision_detection/collision_robot_fcl.h"

#include <cstdio>

#include <fcl/broadphase/broadphase_dynamic_AABB_tree.h>

#include "robot_model/core/attached_body.h"
#include "robot_model/core/link_model.h"
#include "robot_model/core/robot_model.h"
#include "robot_model/core/robot_state.h"

namespace collision_detection
{
void printContinuousCheckNotImplemented()
{
  printf("collision_detection.fcl----FCL continuous collision checking not yet implemented");
}

CollisionRobotFCL::CollisionRobotFCL(const std::shared_ptr<const robot_model::core::RobotModel>& model,
                                     double padding, double scale)
  : CollisionRobot(model, padding, scale)
{
  geoms_.resize(robot_model_->getLinkGeometryCount());
  fcl_objs_.resize(robot_model_->getLinkGeometryCount());
  for (const robot_model::core::LinkModel* link : robot_model_->getLinkModelsWithCollisionGeometry())
    buildLinkGeometry(link, true);
}

void CollisionRobotFCL::buildLinkGeometry(const robot_model::core::LinkModel* link, bool report_failures)
{
  const double scale = getLinkScale(link->getName());
  const double padding = getLinkPadding(link->getName());
  const auto& shapes = link->getShapes();
  for (std::size_t j = 0; j < shapes.size(); ++j)
  {
    FCLGeometryConstPtr geometry = createCollisionGeometry(shapes[j], scale, padding, link, static_cast<int>(j));
    if (!geometry)
    {
      if (report_failures)
        printf("collision_detection.fcl----Unable to construct collision geometry for link '%s'",
               link->getName().c_str());
      continue;
    }
    const std::size_t slot = link->getFirstCollisionBodyIndex() + j;
    geoms_[slot] = geometry;
    fcl_objs_[slot] = std::make_shared<const fcl::CollisionObjectd>(geometry->collision_geometry_);
  }
}

void CollisionRobotFCL::updatedPaddingOrScaling(const std::vector<std::string>& links)
{
  for (const std::string& name : links)
  {
    const robot_model::core::LinkModel* link = robot_model_->getLinkModel(name);
    if (link == nullptr)
    {
      printf("collision_detection.fcl----Updating padding or scaling for unknown link: '%s'", name.c_str());
      continue;
    }
    buildLinkGeometry(link, false);
  }
}

void CollisionRobotFCL::constructFCLObject(const robot_model::core::RobotState& state, FCLObject& fcl_obj) const
{
  fcl_obj.collision_objects_.reserve(geoms_.size());
  // One allocation for all link objects of this check; each entry shares its ownership.
  auto block = std::make_shared<std::vector<fcl::CollisionObjectd>>();
  block->reserve(geoms_.size());
  for (std::size_t i = 0; i < geoms_.size(); ++i)
  {
    if (!geoms_[i] || !geoms_[i]->collision_geometry_)
      continue;
    fcl::CollisionObjectd& object = block->emplace_back(*fcl_objs_[i]);
    object.setTransform(state.getCollisionBodyTransform(i));
    computeTightAABB(object);
    fcl_obj.collision_objects_.emplace_back(block, &object);
  }

  for (const auto& entry : state.getAttachedBodies())
  {
    const robot_model::core::AttachedBody& body = *entry.second;
    const std::string& parent = body.parent_link_->getName();
    const double scale = getLinkScale(parent);
    const double padding = getLinkPadding(parent);
    for (std::size_t k = 0; k < body.shapes_.size(); ++k)
    {
      FCLGeometryConstPtr geometry = createCollisionGeometry(body.shapes_[k], scale, padding, &body, static_cast<int>(k));
      if (!geometry || !geometry->collision_geometry_)
        continue;
      fcl_obj.collision_objects_.push_back(
          std::make_shared<fcl::CollisionObjectd>(geometry->collision_geometry_, body.global_shape_poses_[k]));
      fcl_obj.collision_geometry_.push_back(std::move(geometry));
    }
  }
}

void CollisionRobotFCL::allocSelfCollisionManager(const robot_model::core::RobotState& state,
                                                  FCLManager& manager) const
{
  manager.manager_ = std::make_shared<fcl::DynamicAABBTreeCollisionManagerd>();
  constructFCLObject(state, manager.object_);
  manager.object_.registerTo(manager.manager_.get());
}

void CollisionRobotFCL::checkSelfCollision(const CollisionRequest& req, CollisionResult& res,
                                           const robot_model::core::RobotState& state) const
{
  checkSelfCollisionHelper(req, res, state, nullptr);
}

void CollisionRobotFCL::checkSelfCollision(const CollisionRequest& req, CollisionResult& res,
                                           const robot_model::core::RobotState& state,
                                           const AllowedCollisionMatrix& acm) const
{
  checkSelfCollisionHelper(req, res, state, &acm);
}

void CollisionRobotFCL::checkSelfCollision(const CollisionRequest&, CollisionResult&, const robot_model::core::RobotState&,
                                           const robot_model::core::RobotState&) const
{
  printContinuousCheckNotImplemented();
}

void CollisionRobotFCL::checkSelfCollision(const CollisionRequest&, CollisionResult&, const robot_model::core::RobotState&,
                                           const robot_model::core::RobotState&, const AllowedCollisionMatrix&) const
{
  printContinuousCheckNotImplemented();
}

void CollisionRobotFCL::checkSelfCollisionHelper(const CollisionRequest& req, CollisionResult& res,
                                                 const robot_model::core::RobotState& state,
                                                 const AllowedCollisionMatrix* acm) const
{
  FCLObject fcl_obj;
  constructFCLObject(state, fcl_obj);
  CollisionData cd(&req, &res, acm);
  cd.enableGroup(*robot_model_);
  // A robot has a few dozen bodies at most: offering every pair whose boxes overlap costs less
  // than building a broad-phase tree for each check, and offers the same pairs.
  const std::vector<FCLCollisionObjectPtr>& objects = fcl_obj.collision_objects_;
  for (std::size_t i = 0; i < objects.size() && !cd.done_; ++i)
    for (std::size_t j = i + 1; j < objects.size(); ++j)
      if (objects[i]->getAABB().overlap(objects[j]->getAABB()) &&
          collisionCallback(objects[i].get(), objects[j].get(), &cd))
        break;
  if (req.distance)
  {
    DistanceResult dres;
    distanceSelf(distanceRequestFor(req, acm, *robot_model_), dres, state);
    res.distance = dres.minimum_distance.distance;
  }
}

void CollisionRobotFCL::checkOtherCollision(const CollisionRequest& req, CollisionResult& res,
                                            const robot_model::core::RobotState& state,
                                            const CollisionRobot& other_robot,
                                            const robot_model::core::RobotState& other_state) const
{
  checkOtherCollisionHelper(req, res, state, other_robot, other_state, nullptr);
}

void CollisionRobotFCL::checkOtherCollision(const CollisionRequest& req, CollisionResult& res,
                                            const robot_model::core::RobotState& state,
                                            const CollisionRobot& other_robot,
                                            const robot_model::core::RobotState& other_state,
                                            const AllowedCollisionMatrix& acm) const
{
  checkOtherCollisionHelper(req, res, state, other_robot, other_state, &acm);
}

void CollisionRobotFCL::checkOtherCollision(const CollisionRequest&, CollisionResult&,
                                            const robot_model::core::RobotState&, const robot_model::core::RobotState&,
                                            const CollisionRobot&, const robot_model::core::RobotState&,
                                            const robot_model::core::RobotState&) const
{
  printContinuousCheckNotImplemented();
}

void CollisionRobotFCL::checkOtherCollision(const CollisionRequest&, CollisionResult&,
                                            const robot_model::core::RobotState&, const robot_model::core::RobotState&,
                                            const CollisionRobot&, const robot_model::core::RobotState&,
                                            const robot_model::core::RobotState&, const AllowedCollisionMatrix&) const
{
  printContinuousCheckNotImplemented();
}

void CollisionRobotFCL::checkOtherCollisionHelper(const CollisionRequest& req, CollisionResult& res,
                                                  const robot_model::core::RobotState& state,
                                                  const CollisionRobot& other_robot,
                                                  const robot_model::core::RobotState& other_state,
                                                  const AllowedCollisionMatrix* acm) const
{
  FCLManager manager;
  allocSelfCollisionManager(state, manager);
  const auto& other = dynamic_cast<const CollisionRobotFCL&>(other_robot);
  FCLObject other_object;
  other.constructFCLObject(other_state, other_object);
  CollisionData cd(&req, &res, acm);
  cd.enableGroup(*robot_model_);
  for (std::size_t i = 0; !cd.done_ && i < other_object.collision_objects_.size(); ++i)
    manager.manager_->collide(other_object.collision_objects_[i].get(), &cd, &collisionCallback);
  if (req.distance)
  {
    DistanceResult dres;
    distanceOther(distanceRequestFor(req, acm, *robot_model_), dres, state, other_robot, other_state);
    res.distance = dres.minimum_distance.distance;
  }
}

void CollisionRobotFCL::distanceSelf(const DistanceRequest& req, DistanceResult& res,
                                     const robot_model::core::RobotState& state) const
{
  FCLManager manager;
  allocSelfCollisionManager(state, manager);
  DistanceData dd(&req, &res);
  manager.manager_->distance(&dd, &distanceCallback);
}

void CollisionRobotFCL::distanceOther(const DistanceRequest& req, DistanceResult& res,
                                      const robot_model::core::RobotState& state, const CollisionRobot& other_robot,
                                      const robot_model::core::RobotState& other_state) const
{
  FCLManager manager;
  allocSelfCollisionManager(state, manager);
  const auto& other = dynamic_cast<const CollisionRobotFCL&>(other_robot);
  FCLObject other_object;
  other.constructFCLObject(other_state, other_object);
  DistanceData dd(&req, &res);
  for (std::size_t i = 0; !dd.done && i < other_object.collision_objects_.size(); ++i)
    manager.manager_->distance(other_object.collision_objects_[i].get(), &dd, &distanceCallback);
}
}  // namespace collision_detection
