#pragma once

#include <atomic>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include <fcl/narrowphase/collision_result.h>

#include "collision_detection/collision_common.h"
#include "collision_detection/collision_robot.h"

namespace collision_detection
{
// How fast two of a robot's bodies can close in on each other along a motion: the most their distance can
// shrink per unit of the motion's progress.
class PairClosingRate
{
public:
  virtual double operator()(const CollisionGeometryData& first, const CollisionGeometryData& second) const = 0;

protected:
  ~PairClosingRate() = default;
};

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
  // How far a motion can progress from `state` before two bodies that the self check with `req` and `acm` tests
  // could be in contact deeper than `depth`: the least (distance + depth) over closing rate of those pairs, at most
  // `horizon`; a pair that cannot close in counts only when touching. Negative when a pair is in contact as the self
  // check finds it. Once the working storage has grown, allocates nothing beyond what FCL's narrow phase does for
  // each pair it measures.
  double progressToSelfContact(const CollisionRequest& req, const robot_model::core::RobotState& state,
                               const AllowedCollisionMatrix& acm, const PairClosingRate& closing_rate, double horizon,
                               double depth) const;
  void distanceOther(const DistanceRequest& req, DistanceResult& res, const robot_model::core::RobotState& state,
                     const CollisionRobot& other_robot,
                     const robot_model::core::RobotState& other_state) const override;

private:
  // Working storage of the checks, kept from check to check so that a check allocates nothing.
  struct CheckObjects
  {
    // Out of line, so that its default member initialisers are known wherever it is constructed.
    CheckObjects();

    bool links_built_ = false;
    // A copy of each link object with a geometry, in collision body order, moved to each state.
    std::vector<fcl::CollisionObjectd> links_;
    std::vector<std::size_t> link_bodies_;
    // Per link object that is a mesh: a box holding the mesh, with its centre in the mesh's frame; placed only
    // when asked for.
    struct MeshBox
    {
      std::size_t link_object;
      fcl::CollisionObjectd box;
      Eigen::Vector3d centre;
    };
    std::vector<MeshBox> mesh_boxes_;
    // The attached bodies of the state being checked.
    std::vector<fcl::CollisionObjectd> attached_;
    std::vector<FCLGeometryConstPtr> attached_geometry_;
    // Geometry of attached shapes on padded or scaled links. Made from a clone of the shape it is
    // nobody else's, so it is kept while the body keeps the shape and its link the padding.
    struct ScaledGeometry
    {
      const robot_model::core::AttachedBody* body;
      std::size_t shape_index;
      std::weak_ptr<const shapes::Shape> shape;
      double scale;
      double padding;
      FCLGeometryConstPtr geometry;
      bool used;
    };
    std::vector<ScaledGeometry> scaled_geometry_;
    // The links' objects, then the attached bodies'.
    std::vector<fcl::CollisionObjectd*> objects_;
    fcl::CollisionResultd narrow_phase_result_;
    AllowedPairCache allowed_pairs_;
  };

public:
  // The robot's FCL objects at a state (its links' collision bodies, then its attached bodies) for
  // the length of one check. A check that finds the robot's working storage in use, on another
  // thread or for a second state in the same check, works in storage of its own.
  class PlacedObjects
  {
  public:
    PlacedObjects(const CollisionRobotFCL& robot, const robot_model::core::RobotState& state);
    ~PlacedObjects();
    PlacedObjects(const PlacedObjects&) = delete;
    PlacedObjects& operator=(const PlacedObjects&) = delete;

    const std::vector<fcl::CollisionObjectd*>& objects() const { return storage_->objects_; }
    // The record for the narrow phase's answers, reused by every pair of the check.
    fcl::CollisionResultd& narrowPhaseResult() const { return storage_->narrow_phase_result_; }
    // The matrix's answers for this robot's pairs, kept from check to check in the robot's storage.
    AllowedPairCache& allowedPairs() const { return storage_->allowed_pairs_; }
    // The object at `index` of objects(), or for a link's mesh a box that holds it, placed with it.
    fcl::CollisionObjectd& boundingObject(std::size_t index) const;

  private:
    const CollisionRobotFCL& robot_;
    std::optional<CheckObjects> own_;
    CheckObjects* storage_;
  };

  // Geometry per collision body of the model (null where a shape could not be converted).
  const std::vector<FCLGeometryConstPtr>& getCollisionGeometries() const { return geoms_; }

protected:
  void updatedPaddingOrScaling(const std::vector<std::string>& links) override;

private:
  // Builds the geometry of every shape of the link; a shape without one keeps its old slot.
  void buildLinkGeometry(const robot_model::core::LinkModel* link, bool report_failures);
  void placeObjects(const robot_model::core::RobotState& state, CheckObjects& storage) const;
  FCLGeometryConstPtr attachedGeometry(const robot_model::core::AttachedBody& body, std::size_t shape_index,
                                       CheckObjects& storage) const;
  void checkSelfCollisionHelper(const CollisionRequest& req, CollisionResult& res,
                                const robot_model::core::RobotState& state, const AllowedCollisionMatrix* acm) const;
  void checkOtherCollisionHelper(const CollisionRequest& req, CollisionResult& res,
                                 const robot_model::core::RobotState& state, const CollisionRobot& other_robot,
                                 const robot_model::core::RobotState& other_state,
                                 const AllowedCollisionMatrix* acm) const;

  std::vector<FCLGeometryConstPtr> geoms_;
  std::vector<std::shared_ptr<const fcl::CollisionObjectd>> fcl_objs_;
  mutable CheckObjects check_objects_;
  mutable std::atomic_flag check_objects_in_use_ = ATOMIC_FLAG_INIT;
};

// Prints the message continuous checks give instead of an answer.
void printContinuousCheckNotImplemented();
}  // namespace collision_detection
