#pragma once

#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <fcl/broadphase/broadphase_collision_manager.h>
#include <fcl/geometry/collision_geometry.h>
#include <fcl/narrowphase/collision_object.h>
#include <fcl/narrowphase/collision_request.h>
#include <fcl/narrowphase/collision_result.h>

#include "collision_detection/allowed_collision_matrix.h"
#include "collision_detection/allowed_pair_cache.h"
#include "collision_detection/collision_types.h"
#include "collision_detection/world.h"

namespace robot_model
{
namespace core
{
class LinkModel;
class RobotModel;
struct AttachedBody;
}  // namespace core
}  // namespace robot_model

namespace collision_detection
{
// The owner of one FCL geometry, kept as the geometry's user data so the broad-phase callbacks
// can tell which link, attached body or world object a candidate object belongs to.
struct CollisionGeometryData
{
  CollisionGeometryData(const robot_model::core::LinkModel* link, int index);
  CollisionGeometryData(const robot_model::core::AttachedBody* body, int index);
  CollisionGeometryData(const World::Object* object, int index);

  // The link's name, the attached body's id or the world object's id.
  const std::string& getID() const;
  // The link itself, an attached body's parent link, none for a world object.
  const robot_model::core::LinkModel* getLink() const;

  bool sameObject(const CollisionGeometryData& other) const
  {
    return type == other.type && ptr.raw == other.ptr.raw;
  }

  BodyType type;
  int shape_index;
  union
  {
    const robot_model::core::LinkModel* link;
    const robot_model::core::AttachedBody* ab;
    const World::Object* obj;
    const void* raw;
  } ptr;
};

struct FCLGeometry
{
  template <typename Owner>
  FCLGeometry(std::shared_ptr<fcl::CollisionGeometryd> geometry, const Owner* owner, int shape_index)
    : collision_geometry_(std::move(geometry))
    , collision_geometry_data_(std::make_shared<CollisionGeometryData>(owner, shape_index))
  {
    collision_geometry_->setUserData(collision_geometry_data_.get());
  }

  template <typename Owner>
  void updateCollisionGeometryData(const Owner* owner, int shape_index)
  {
    collision_geometry_data_ = std::make_shared<CollisionGeometryData>(owner, shape_index);
    collision_geometry_->setUserData(collision_geometry_data_.get());
  }

  std::shared_ptr<fcl::CollisionGeometryd> collision_geometry_;
  std::shared_ptr<CollisionGeometryData> collision_geometry_data_;
};
using FCLGeometryConstPtr = std::shared_ptr<const FCLGeometry>;
using FCLCollisionObjectPtr = std::shared_ptr<fcl::CollisionObjectd>;

// The FCL objects one world object contributes, with the geometries they use.
struct FCLObject
{
  void registerTo(fcl::BroadPhaseCollisionManagerd* manager);
  void unregisterFrom(fcl::BroadPhaseCollisionManagerd* manager);
  void clear();

  std::vector<FCLCollisionObjectPtr> collision_objects_;
  std::vector<FCLGeometryConstPtr> collision_geometry_;
};

// State of one collision query, handed to collisionCallback through the broad phase's void*.
struct CollisionData
{
  CollisionData(const CollisionRequest* req, CollisionResult* res, const AllowedCollisionMatrix* acm)
    : req_(req)
    , res_(res)
    , acm_(acm)
    , narrow_phase_request_(1, false, req->max_cost_sources, req->cost, true, fcl::GST_LIBCCD)
  {
  }

  // Restricts the query to the links moved by the request's group, when the model has that group.
  void enableGroup(const robot_model::core::RobotModel& robot_model);

  const CollisionRequest* req_;
  const std::set<const robot_model::core::LinkModel*>* active_components_only_ = nullptr;
  CollisionResult* res_;
  const AllowedCollisionMatrix* acm_;
  // The same narrow-phase question for every pair of the query.
  const fcl::CollisionRequestd narrow_phase_request_;
  // Reused for each pair's narrow-phase answer when set, so that the check allocates nothing.
  fcl::CollisionResultd* narrow_phase_result_ = nullptr;
  // The matrix's answers kept from earlier checks of the same robot, when set.
  AllowedPairCache* allowed_pairs_ = nullptr;
  bool done_ = false;
};

// State of one distance query, handed to distanceCallback.
struct DistanceData
{
  DistanceData(const DistanceRequest* req, DistanceResult* res) : req(req), res(res) {}

  const DistanceRequest* req;
  DistanceResult* res;
  bool done = false;
};

// The distance query a collision request with its distance flag set asks for.
DistanceRequest distanceRequestFor(const CollisionRequest& req, const AllowedCollisionMatrix* acm,
                                   const robot_model::core::RobotModel& robot_model);

// FCL geometry of a shape, cached per thread and per owner kind; null for a shape FCL cannot take.
FCLGeometryConstPtr createCollisionGeometry(const std::shared_ptr<const shapes::Shape>& shape,
                                            const robot_model::core::LinkModel* link, int shape_index);
FCLGeometryConstPtr createCollisionGeometry(const std::shared_ptr<const shapes::Shape>& shape,
                                            const robot_model::core::AttachedBody* body, int shape_index);
FCLGeometryConstPtr createCollisionGeometry(const std::shared_ptr<const shapes::Shape>& shape,
                                            const World::Object* object);
// Whether a scale and a padding change a shape at all.
bool scalesOrPads(double scale, double padding);
// The link version on a scaled and padded clone of the shape, unless both are neutral.
FCLGeometryConstPtr createCollisionGeometry(const std::shared_ptr<const shapes::Shape>& shape, double scale,
                                            double padding, const robot_model::core::LinkModel* link,
                                            int shape_index);
// The same for a shape of an attached body, padded and scaled as its parent link.
FCLGeometryConstPtr createCollisionGeometry(const std::shared_ptr<const shapes::Shape>& shape, double scale,
                                            double padding, const robot_model::core::AttachedBody* body,
                                            int shape_index);

// Places the object's world box tightly around its geometry's local box at the current transform.
// FCL's own box for a rotated object bounds the sphere around the local box, which lets many more
// pairs through to the callbacks.
void computeTightAABB(fcl::CollisionObjectd& object);

// Drops the cache entries of shapes that no longer exist (world objects, then attached bodies).
void cleanCollisionGeometryCache();

// The owner record of an object's geometry.
const CollisionGeometryData& ownerOf(const fcl::CollisionObjectd* object);

// What a collision check does with a pair of objects.
enum class PairTest
{
  // Nothing: the same object, neither on the data's group links, one holding nothing, a pair the matrix always
  // allows, a link and a body it may touch, or two bodies attached to one link.
  NONE,
  // The matrix allows the pair conditionally, by a decide function: no geometric test.
  DECIDED,
  // The geometric test.
  GEOMETRIC
};
// The pair's test under the data's group links, matrix (through its pair cache when set) and verbosity.
PairTest pairTest(const fcl::CollisionObjectd& o1, const fcl::CollisionObjectd& o2, const CollisionData& data);

// Whether the narrow phase of the data's request finds the two objects in contact.
bool inContact(fcl::CollisionObjectd* o1, fcl::CollisionObjectd* o2, const CollisionData& data);

// Broad-phase callbacks; data is a CollisionData* or a DistanceData*. True lets the manager stop.
bool collisionCallback(fcl::CollisionObjectd* o1, fcl::CollisionObjectd* o2, void* data);
bool distanceCallback(fcl::CollisionObjectd* o1, fcl::CollisionObjectd* o2, void* data, double& min_dist);
}  // namespace collision_detection
