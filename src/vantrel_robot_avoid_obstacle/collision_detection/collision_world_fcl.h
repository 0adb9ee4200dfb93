#pragma once

#include <map>
#include <memory>
#include <string>

#include "collision_detection/collision_common.h"
#include "collision_detection/collision_world.h"

namespace collision_detection
{
// Mirrors the observed world as FCL objects in one broad-phase manager, kept in step by the
// world's notifications.
class CollisionWorldFCL : public CollisionWorld
{
public:
  // The name of this collision detector.
  static const std::string NAME;

  explicit CollisionWorldFCL(const WorldPtr& world);
  ~CollisionWorldFCL() override;

  void checkRobotCollision(const CollisionRequest& req, CollisionResult& res, const CollisionRobot& robot,
                           const robot_model::core::RobotState& state) const override;
  void checkRobotCollision(const CollisionRequest& req, CollisionResult& res, const CollisionRobot& robot,
                           const robot_model::core::RobotState& state,
                           const AllowedCollisionMatrix& acm) const override;
  void checkRobotCollision(const CollisionRequest& req, CollisionResult& res, const CollisionRobot& robot,
                           const robot_model::core::RobotState& state1,
                           const robot_model::core::RobotState& state2) const override;
  void checkRobotCollision(const CollisionRequest& req, CollisionResult& res, const CollisionRobot& robot,
                           const robot_model::core::RobotState& state1, const robot_model::core::RobotState& state2,
                           const AllowedCollisionMatrix& acm) const override;
  void checkWorldCollision(const CollisionRequest& req, CollisionResult& res,
                           const CollisionWorld& other_world) const override;
  void checkWorldCollision(const CollisionRequest& req, CollisionResult& res, const CollisionWorld& other_world,
                           const AllowedCollisionMatrix& acm) const override;
  void distanceRobot(const DistanceRequest& req, DistanceResult& res, const CollisionRobot& robot,
                     const robot_model::core::RobotState& state) const override;
  void distanceWorld(const DistanceRequest& req, DistanceResult& res,
                     const CollisionWorld& other_world) const override;
  void setWorld(const WorldPtr& world) override;

  // FCL objects per world object id.
  const std::map<std::string, FCLObject>& getFCLObjects() const { return fcl_objs_; }

private:
  void updateFCLObject(const World::ObjectConstPtr& object, World::Action action);
  void observeWorld();
  void checkRobotCollisionHelper(const CollisionRequest& req, CollisionResult& res, const CollisionRobot& robot,
                                 const robot_model::core::RobotState& state, const AllowedCollisionMatrix* acm) const;
  void checkWorldCollisionHelper(const CollisionRequest& req, CollisionResult& res, const CollisionWorld& other_world,
                                 const AllowedCollisionMatrix* acm) const;

  std::unique_ptr<fcl::BroadPhaseCollisionManagerd> manager_;
  std::map<std::string, FCLObject> fcl_objs_;
  World::ObserverHandle observer_handle_;
};
}  // namespace collision_detection
