#include "collision_detection/collision_world.h"

namespace collision_detection
{
bool stillNeeded(const CollisionRequest& req, const CollisionResult& res)
{
  return !res.collision || (req.contacts && res.contacts.size() < req.max_contacts);
}

CollisionWorld::CollisionWorld(const WorldPtr& world) : world_(world), world_const_(world)
{
}

void CollisionWorld::checkCollision(const CollisionRequest& req, CollisionResult& res, const CollisionRobot& robot,
                                    const robot_model::core::RobotState& state) const
{
  robot.checkSelfCollision(req, res, state);
  if (stillNeeded(req, res))
    checkRobotCollision(req, res, robot, state);
}

void CollisionWorld::checkCollision(const CollisionRequest& req, CollisionResult& res, const CollisionRobot& robot,
                                    const robot_model::core::RobotState& state,
                                    const AllowedCollisionMatrix& acm) const
{
  robot.checkSelfCollision(req, res, state, acm);
  if (stillNeeded(req, res))
    checkRobotCollision(req, res, robot, state, acm);
}

void CollisionWorld::checkCollision(const CollisionRequest& req, CollisionResult& res, const CollisionRobot& robot,
                                    const robot_model::core::RobotState& state1,
                                    const robot_model::core::RobotState& state2) const
{
  robot.checkSelfCollision(req, res, state1, state2);
  if (stillNeeded(req, res))
    checkRobotCollision(req, res, robot, state1, state2);
}

void CollisionWorld::checkCollision(const CollisionRequest& req, CollisionResult& res, const CollisionRobot& robot,
                                    const robot_model::core::RobotState& state1,
                                    const robot_model::core::RobotState& state2,
                                    const AllowedCollisionMatrix& acm) const
{
  robot.checkSelfCollision(req, res, state1, state2, acm);
  if (stillNeeded(req, res))
    checkRobotCollision(req, res, robot, state1, state2, acm);
}

void CollisionWorld::setWorld(const WorldPtr& world)
{
  world_ = world ? world : std::make_shared<World>();
  world_const_ = world;
}
}  // namespace collision_detection
