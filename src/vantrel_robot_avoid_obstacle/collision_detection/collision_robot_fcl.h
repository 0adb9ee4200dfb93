#pragma once

#include <memory>
#include <string>
#include <vector>

#include "collision_detection/collision_common.h"
#include "collision_detection/collision_robot.h"

namespace collision_detection
{
// FCL geometry of every collision shape of the model's links, padded and scaled per link; each
// check places copies of it at a robot state.
class CollisionRobotFCL : public CollisionRobot
{
public:
  CollisionRobotFCL(const std::shared_ptr<const robot_model::core::RobotModel>& model, double padding = 0.0,
                    double scale = 1.0);

  void checkSelfCollision(const CollisionRequest& req, CollisionResult& res,
                          const robot_model::core::RobotState& state) const override;
  void checkSelfCollision(const CollisionRequest& req, CollisionResult& res, const robot_model::core::RobotState& state,
                          const AllowedCollisionMatrix& acm) const override;
  void checkSelfCollision(const CollisionRequest& req, CollisionResult& res,
                          const robot_model::core::RobotState& state1,
                          const robot_model::core::RobotState& state2) const override;
  void checkSelfCollision(const CollisionRequest& req, CollisionResult& res,
                          const robot_model::core::RobotState& state1, const robot_model::core::RobotState& state2,
                          const AllowedCollisionMatrix& acm) const override;
  void checkOtherCollision(const CollisionRequest& req, CollisionResult& res,
                           const robot_model::core::RobotState& state, const CollisionRobot& other_robot,
                           const robot_model::core::RobotState& other_state) const override;
  void checkOtherCollision(const CollisionRequest& req, CollisionResult& res,
                           const robot_model::core::RobotState& state, const CollisionRobot& other_robot,
                           const robot_model::core::RobotState& other_state,
                           const AllowedCollisionMatrix& acm) const override;
  void checkOtherCollision(const CollisionRequest& req, CollisionResult& res,
                           const robot_model::core::RobotState& state1, const robot_model::core::RobotState& state2,
                           const CollisionRobot& other_robot, const robot_model::core::RobotState& other_state1,
                           const robot_model::core::RobotState& other_state2) const override;
  void checkOtherCollision(const CollisionRequest& req, CollisionResult& res,
                           const robot_model::core::RobotState& state1, const robot_model::core::RobotState& state2,
                           const CollisionRobot& other_robot, const robot_model::core::RobotState& other_state1,
                           const robot_model::core::RobotState& other_state2,
                           const AllowedCollisionMatrix& acm) const override;
  void distanceSelf(const DistanceRequest& req, DistanceResult& res,
                    const robot_model::core::RobotState& state) const override;
  void distanceOther(const DistanceRequest& req, DistanceResult& res, const robot_model::core::RobotState& state,
                     const CollisionRobot& other_robot,
                     const robot_model::core::RobotState& other_state) const override;

  // The robot's FCL objects at a state: its links' collision bodies, then its attached bodies.
  void constructFCLObject(const robot_model::core::RobotState& state, FCLObject& fcl_obj) const;
  void allocSelfCollisionManager(const robot_model::core::RobotState& state, FCLManager& manager) const;

  // Geometry per collision body of the model (null where a shape could not be converted).
  const std::vector<FCLGeometryConstPtr>& getCollisionGeometries() const { return geoms_; }

protected:
  void updatedPaddingOrScaling(const std::vector<std::string>& links) override;

private:
  // Builds the geometry of every shape of the link; a shape without one keeps its old slot.
  void buildLinkGeometry(const robot_model::core::LinkModel* link, bool report_failures);
  void checkSelfCollisionHelper(const CollisionRequest& req, CollisionResult& res,
                                const robot_model::core::RobotState& state, const AllowedCollisionMatrix* acm) const;
  void checkOtherCollisionHelper(const CollisionRequest& req, CollisionResult& res,
                                 const robot_model::core::RobotState& state, const CollisionRobot& other_robot,
                                 const robot_model::core::RobotState& other_state,
                                 const AllowedCollisionMatrix* acm) const;

  std::vector<FCLGeometryConstPtr> geoms_;
  std::vector<std::shared_ptr<const fcl::CollisionObjectd>> fcl_objs_;
};

// Prints the message continuous checks give instead of an answer.
void printContinuousCheckNotImplemented();
}  // namespace collision_detection
