#include "collision_detection/collision_world_fcl.h"

#include <cstdio>

#include <fcl/broadphase/broadphase_dynamic_AABB_tree.h>

#include "collision_detection/collision_robot_fcl.h"
#include "robot_model/core/robot_model.h"
#include "robot_model/core/robot_state.h"

namespace collision_detection
{
namespace
{
void buildFCLObject(const World::Object& object, FCLObject& fcl_obj)
{
  for (std::size_t i = 0; i < object.shapes_.size(); ++i)
  {
    FCLGeometryConstPtr geometry = createCollisionGeometry(object.shapes_[i], &object);
    if (!geometry)
      continue;
    fcl_obj.collision_objects_.push_back(
        std::make_shared<fcl::CollisionObjectd>(geometry->collision_geometry_, object.shape_poses_[i]));
    fcl_obj.collision_geometry_.push_back(std::move(geometry));
  }
}
}  // namespace

const std::string CollisionWorldFCL::NAME = "FCL";

CollisionWorldFCL::CollisionWorldFCL(const WorldPtr& world)
  : CollisionWorld(world), manager_(std::make_unique<fcl::DynamicAABBTreeCollisionManagerd>())
{
  observeWorld();
}

CollisionWorldFCL::~CollisionWorldFCL()
{
  world_->removeObserver(observer_handle_);
}

void CollisionWorldFCL::observeWorld()
{
  observer_handle_ = world_->addObserver(
      [this](const World::ObjectConstPtr& object, World::Action action) { updateFCLObject(object, action); });
  world_->notifyObserverAllObjects(observer_handle_, World::CREATE);
}

void CollisionWorldFCL::setWorld(const WorldPtr& world)
{
  if (world == world_)
    return;
  world_->removeObserver(observer_handle_);
  manager_->clear();
  fcl_objs_.clear();
  cleanCollisionGeometryCache();
  CollisionWorld::setWorld(world);
  observeWorld();
}

void CollisionWorldFCL::updateFCLObject(const World::ObjectConstPtr& object, World::Action action)
{
  if (action == World::DESTROY)
  {
    auto it = fcl_objs_.find(object->id_);
    if (it != fcl_objs_.end())
    {
      it->second.unregisterFrom(manager_.get());
      fcl_objs_.erase(it);
    }
    cleanCollisionGeometryCache();
    return;
  }

  puts("CollisionWorldFCL::updateFCLObject");
  auto world_entry = world_->objects_.find(object->id_);
  const bool in_world = world_entry != world_->objects_.end();
  auto it = fcl_objs_.find(object->id_);
  if (it != fcl_objs_.end())
  {
    it->second.unregisterFrom(manager_.get());
    it->second.clear();
    if (in_world)
    {
      buildFCLObject(*world_entry->second, it->second);
      it->second.registerTo(manager_.get());
    }
    else
      fcl_objs_.erase(it);
  }
  else if (in_world)
  {
    FCLObject& fcl_obj = fcl_objs_[object->id_];
    buildFCLObject(*world_entry->second, fcl_obj);
    fcl_obj.registerTo(manager_.get());
  }
  if (action & (World::DESTROY | World::REMOVE_SHAPE))
    cleanCollisionGeometryCache();
}

void CollisionWorldFCL::checkRobotCollision(const CollisionRequest& req, CollisionResult& res,
                                            const CollisionRobot& robot,
                                            const robot_model::core::RobotState& state) const
{
  checkRobotCollisionHelper(req, res, robot, state, nullptr);
}

void CollisionWorldFCL::checkRobotCollision(const CollisionRequest& req, CollisionResult& res,
                                            const CollisionRobot& robot, const robot_model::core::RobotState& state,
                                            const AllowedCollisionMatrix& acm) const
{
  checkRobotCollisionHelper(req, res, robot, state, &acm);
}

void CollisionWorldFCL::checkRobotCollision(const CollisionRequest&, CollisionResult&, const CollisionRobot&,
                                            const robot_model::core::RobotState&,
                                            const robot_model::core::RobotState&) const
{
  printContinuousCheckNotImplemented();
}

void CollisionWorldFCL::checkRobotCollision(const CollisionRequest&, CollisionResult&, const CollisionRobot&,
                                            const robot_model::core::RobotState&, const robot_model::core::RobotState&,
                                            const AllowedCollisionMatrix&) const
{
  printContinuousCheckNotImplemented();
}

void CollisionWorldFCL::checkRobotCollisionHelper(const CollisionRequest& req, CollisionResult& res,
                                                  const CollisionRobot& robot,
                                                  const robot_model::core::RobotState& state,
                                                  const AllowedCollisionMatrix* acm) const
{
  const auto& robot_fcl = dynamic_cast<const CollisionRobotFCL&>(robot);
  if (!manager_->empty())
  {
    const CollisionRobotFCL::PlacedObjects placed(robot_fcl, state);
    CollisionData cd(&req, &res, acm);
    cd.enableGroup(*robot.getRobotModel());
    cd.narrow_phase_result_ = &placed.narrowPhaseResult();
    cd.allowed_pairs_ = &placed.allowedPairs();
    for (std::size_t i = 0; !cd.done_ && i < placed.objects().size(); ++i)
      manager_->collide(placed.objects()[i], &cd, &collisionCallback);
  }
  if (req.distance)
  {
    DistanceResult dres;
    distanceRobot(distanceRequestFor(req, acm, *robot.getRobotModel()), dres, robot, state);
    res.distance = dres.minimum_distance.distance;
  }
}

void CollisionWorldFCL::checkWorldCollision(const CollisionRequest& req, CollisionResult& res,
                                            const CollisionWorld& other_world) const
{
  checkWorldCollisionHelper(req, res, other_world, nullptr);
}

void CollisionWorldFCL::checkWorldCollision(const CollisionRequest& req, CollisionResult& res,
                                            const CollisionWorld& other_world,
                                            const AllowedCollisionMatrix& acm) const
{
  checkWorldCollisionHelper(req, res, other_world, &acm);
}

void CollisionWorldFCL::checkWorldCollisionHelper(const CollisionRequest& req, CollisionResult& res,
                                                  const CollisionWorld& other_world,
                                                  const AllowedCollisionMatrix* acm) const
{
  const auto& other = dynamic_cast<const CollisionWorldFCL&>(other_world);
  CollisionData cd(&req, &res, acm);
  manager_->collide(other.manager_.get(), &cd, &collisionCallback);
  if (req.distance)
  {
    DistanceRequest dreq;
    dreq.group_name = req.group_name;
    dreq.acm = acm;
    DistanceResult dres;
    distanceWorld(dreq, dres, other_world);
    res.distance = dres.minimum_distance.distance;
  }
}

void CollisionWorldFCL::distanceRobot(const DistanceRequest& req, DistanceResult& res, const CollisionRobot& robot,
                                      const robot_model::core::RobotState& state) const
{
  const auto& robot_fcl = dynamic_cast<const CollisionRobotFCL&>(robot);
  const CollisionRobotFCL::PlacedObjects placed(robot_fcl, state);
  DistanceData dd(&req, &res);
  for (std::size_t i = 0; !dd.done && i < placed.objects().size(); ++i)
    manager_->distance(placed.objects()[i], &dd, &distanceCallback);
}

void CollisionWorldFCL::distanceWorld(const DistanceRequest& req, DistanceResult& res,
                                      const CollisionWorld& other_world) const
{
  const auto& other = dynamic_cast<const CollisionWorldFCL&>(other_world);
  DistanceData dd(&req, &res);
  manager_->distance(other.manager_.get(), &dd, &distanceCallback);
}
}  // namespace collision_detection
