#pragma once

#include <map>
#include <memory>
#include <string>
#include <vector>

#include "collision_detection/allowed_collision_matrix.h"
#include "collision_detection/collision_types.h"

namespace robot_model
{
namespace core
{
class RobotModel;
class RobotState;
}  // namespace core
}  // namespace robot_model

namespace collision_detection
{
// The collision view of a robot model with per-link padding and scale.
class CollisionRobot
{
public:
  CollisionRobot(const std::shared_ptr<const robot_model::core::RobotModel>& model, double padding, double scale);
  CollisionRobot(const CollisionRobot&) = delete;
  CollisionRobot& operator=(const CollisionRobot&) = delete;
  virtual ~CollisionRobot() = default;

  virtual void checkSelfCollision(const CollisionRequest& req, CollisionResult& res,
                                  const robot_model::core::RobotState& state) const = 0;
  virtual void checkSelfCollision(const CollisionRequest& req, CollisionResult& res,
                                  const robot_model::core::RobotState& state,
                                  const AllowedCollisionMatrix& acm) const = 0;
  virtual void checkSelfCollision(const CollisionRequest& req, CollisionResult& res,
                                  const robot_model::core::RobotState& state1,
                                  const robot_model::core::RobotState& state2) const = 0;
  virtual void checkSelfCollision(const CollisionRequest& req, CollisionResult& res,
                                  const robot_model::core::RobotState& state1,
                                  const robot_model::core::RobotState& state2,
                                  const AllowedCollisionMatrix& acm) const = 0;
  virtual void checkOtherCollision(const CollisionRequest& req, CollisionResult& res,
                                   const robot_model::core::RobotState& state, const CollisionRobot& other_robot,
                                   const robot_model::core::RobotState& other_state) const = 0;
  virtual void checkOtherCollision(const CollisionRequest& req, CollisionResult& res,
                                   const robot_model::core::RobotState& state, const CollisionRobot& other_robot,
                                   const robot_model::core::RobotState& other_state,
                                   const AllowedCollisionMatrix& acm) const = 0;
  virtual void checkOtherCollision(const CollisionRequest& req, CollisionResult& res,
                                   const robot_model::core::RobotState& state1,
                                   const robot_model::core::RobotState& state2, const CollisionRobot& other_robot,
                                   const robot_model::core::RobotState& other_state1,
                                   const robot_model::core::RobotState& other_state2) const = 0;
  virtual void checkOtherCollision(const CollisionRequest& req, CollisionResult& res,
                                   const robot_model::core::RobotState& state1,
                                   const robot_model::core::RobotState& state2, const CollisionRobot& other_robot,
                                   const robot_model::core::RobotState& other_state1,
                                   const robot_model::core::RobotState& other_state2,
                                   const AllowedCollisionMatrix& acm) const = 0;
  virtual void distanceSelf(const DistanceRequest& req, DistanceResult& res,
                            const robot_model::core::RobotState& state) const = 0;
  virtual void distanceOther(const DistanceRequest& req, DistanceResult& res,
                             const robot_model::core::RobotState& state, const CollisionRobot& other_robot,
                             const robot_model::core::RobotState& other_state) const = 0;

  const std::shared_ptr<const robot_model::core::RobotModel>& getRobotModel() const { return robot_model_; }

  // A negative or non-finite padding is refused with a message and the old value kept.
  void setLinkPadding(const std::string& link_name, double padding);
  double getLinkPadding(const std::string& link_name) const;
  double getLinkScale(const std::string& link_name) const;

protected:
  // Rebuilds the geometry of the named links after their padding or scale changed.
  virtual void updatedPaddingOrScaling(const std::vector<std::string>& links);

  std::shared_ptr<const robot_model::core::RobotModel> robot_model_;
  std::map<std::string, double> link_padding_;
  std::map<std::string, double> link_scale_;
};
}  // namespace collision_detection
