#pragma once

#include <memory>

#include "collision_detection/allowed_collision_matrix.h"
#include "collision_detection/collision_robot.h"
#include "collision_detection/collision_types.h"
#include "collision_detection/world.h"

namespace collision_detection
{
// Checks robots and other worlds against the objects of one observed world.
class CollisionWorld
{
public:
  explicit CollisionWorld(const WorldPtr& world);
  CollisionWorld(const CollisionWorld&) = delete;
  CollisionWorld& operator=(const CollisionWorld&) = delete;
  virtual ~CollisionWorld() = default;

  // Self check first, then the robot against the world while the answer is still open.
  virtual void checkCollision(const CollisionRequest& req, CollisionResult& res, const CollisionRobot& robot,
                              const robot_model::core::RobotState& state) const;
  virtual void checkCollision(const CollisionRequest& req, CollisionResult& res, const CollisionRobot& robot,
                              const robot_model::core::RobotState& state, const AllowedCollisionMatrix& acm) const;
  virtual void checkCollision(const CollisionRequest& req, CollisionResult& res, const CollisionRobot& robot,
                              const robot_model::core::RobotState& state1,
                              const robot_model::core::RobotState& state2) const;
  virtual void checkCollision(const CollisionRequest& req, CollisionResult& res, const CollisionRobot& robot,
                              const robot_model::core::RobotState& state1, const robot_model::core::RobotState& state2,
                              const AllowedCollisionMatrix& acm) const;

  virtual void checkRobotCollision(const CollisionRequest& req, CollisionResult& res, const CollisionRobot& robot,
                                   const robot_model::core::RobotState& state) const = 0;
  virtual void checkRobotCollision(const CollisionRequest& req, CollisionResult& res, const CollisionRobot& robot,
                                   const robot_model::core::RobotState& state,
                                   const AllowedCollisionMatrix& acm) const = 0;
  virtual void checkRobotCollision(const CollisionRequest& req, CollisionResult& res, const CollisionRobot& robot,
                                   const robot_model::core::RobotState& state1,
                                   const robot_model::core::RobotState& state2) const = 0;
  virtual void checkRobotCollision(const CollisionRequest& req, CollisionResult& res, const CollisionRobot& robot,
                                   const robot_model::core::RobotState& state1,
                                   const robot_model::core::RobotState& state2,
                                   const AllowedCollisionMatrix& acm) const = 0;
  virtual void checkWorldCollision(const CollisionRequest& req, CollisionResult& res,
                                   const CollisionWorld& other_world) const = 0;
  virtual void checkWorldCollision(const CollisionRequest& req, CollisionResult& res,
                                   const CollisionWorld& other_world, const AllowedCollisionMatrix& acm) const = 0;
  virtual void distanceRobot(const DistanceRequest& req, DistanceResult& res, const CollisionRobot& robot,
                             const robot_model::core::RobotState& state) const = 0;
  virtual void distanceWorld(const DistanceRequest& req, DistanceResult& res,
                             const CollisionWorld& other_world) const = 0;
  // A null world is replaced by a new empty one.
  virtual void setWorld(const WorldPtr& world);

  const WorldPtr& getWorld() const { return world_; }

protected:
  WorldPtr world_;
  WorldConstPtr world_const_;
};

// Whether a later check can still change the result of a request.
bool stillNeeded(const CollisionRequest& req, const CollisionResult& res);
}  // namespace collision_detection
