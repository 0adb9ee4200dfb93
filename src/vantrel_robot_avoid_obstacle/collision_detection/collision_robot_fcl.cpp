#include "collision_detection/collision_robot_fcl.h"

#include <cstdio>

#include <fcl/broadphase/broadphase_dynamic_AABB_tree.h>

#include "robot_model/core/attached_body.h"
#include "robot_model/core/link_model.h"
#include "robot_model/core/robot_model.h"
#include "robot_model/core/robot_state.h"

namespace collision_detection
{
namespace
{
// A broad-phase manager holding the placed objects, for the distance queries.
std::unique_ptr<fcl::BroadPhaseCollisionManagerd> managerOf(const CollisionRobotFCL::PlacedObjects& placed)
{
  auto manager = std::make_unique<fcl::DynamicAABBTreeCollisionManagerd>();
  if (!placed.objects().empty())
    manager->registerObjects(placed.objects());
  return manager;
}
}  // namespace

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
  check_objects_.links_built_ = false;
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
  {
    const PlacedObjects placed(*this, state);
    CollisionData cd(&req, &res, acm);
    cd.enableGroup(*robot_model_);
    cd.narrow_phase_result_ = &placed.narrowPhaseResult();
    cd.allowed_pairs_ = &placed.allowedPairs();
    // A robot has a few dozen bodies at most: offering every pair whose boxes overlap costs less
    // than building a broad-phase tree for each check, and offers the same pairs.
    const std::vector<fcl::CollisionObjectd*>& objects = placed.objects();
    for (std::size_t i = 0; i < objects.size() && !cd.done_; ++i)
      for (std::size_t j = i + 1; j < objects.size(); ++j)
        if (objects[i]->getAABB().overlap(objects[j]->getAABB()) && collisionCallback(objects[i], objects[j], &cd))
          break;
  }
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
  {
    const PlacedObjects placed(*this, state);
    const auto manager = managerOf(placed);
    const PlacedObjects other_placed(dynamic_cast<const CollisionRobotFCL&>(other_robot), other_state);
    CollisionData cd(&req, &res, acm);
    cd.enableGroup(*robot_model_);
    cd.narrow_phase_result_ = &placed.narrowPhaseResult();
    for (std::size_t i = 0; !cd.done_ && i < other_placed.objects().size(); ++i)
      manager->collide(other_placed.objects()[i], &cd, &collisionCallback);
  }
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
  const PlacedObjects placed(*this, state);
  DistanceData dd(&req, &res);
  managerOf(placed)->distance(&dd, &distanceCallback);
}

void CollisionRobotFCL::distanceOther(const DistanceRequest& req, DistanceResult& res,
                                      const robot_model::core::RobotState& state, const CollisionRobot& other_robot,
                                      const robot_model::core::RobotState& other_state) const
{
  const PlacedObjects placed(*this, state);
  const auto manager = managerOf(placed);
  const PlacedObjects other_placed(dynamic_cast<const CollisionRobotFCL&>(other_robot), other_state);
  DistanceData dd(&req, &res);
  for (std::size_t i = 0; !dd.done && i < other_placed.objects().size(); ++i)
    manager->distance(other_placed.objects()[i], &dd, &distanceCallback);
}
}  // namespace collision_detection
