#include <cstdio>
#include <iostream>

#include <fcl/geometry/bvh/BVH_model.h>
#include <fcl/geometry/octree/octree.h>
#include <fcl/math/bv/OBBRSS.h>
#include <fcl/narrowphase/collision.h>
#include <fcl/narrowphase/distance.h>

#include "collision_detection/bounding_volume_test.h"
#include "collision_detection/collision_common.h"
#include "robot_model/core/attached_body.h"
#include "robot_model/core/joint_model_group.h"
#include "robot_model/core/link_model.h"
#include "robot_model/core/robot_model.h"

namespace collision_detection
{
namespace
{
bool outsideActiveComponents(const std::set<const robot_model::core::LinkModel*>* active,
                             const CollisionGeometryData& cd1, const CollisionGeometryData& cd2)
{
  if (active == nullptr)
    return false;
  const robot_model::core::LinkModel* l1 = cd1.getLink();
  const robot_model::core::LinkModel* l2 = cd2.getLink();
  return !(l1 != nullptr && active->count(l1) > 0) && !(l2 != nullptr && active->count(l2) > 0);
}

// A link may touch a body attached with it in the touch links.
bool linkTouchesBody(const CollisionGeometryData& link, const CollisionGeometryData& body)
{
  return link.type == ROBOT_LINK && body.type == ROBOT_ATTACHED &&
         body.ptr.ab->touch_links_.count(link.ptr.link->getName()) > 0;
}

bool allowedToTouch(const CollisionGeometryData& cd1, const CollisionGeometryData& cd2)
{
  return linkTouchesBody(cd1, cd2) || linkTouchesBody(cd2, cd1);
}

// An obstacle octree refilled to nothing has no root, a mesh without triangles no model: neither can
// touch anything, and FCL would walk a whole mesh for the first and crash on the second.
bool holdsNothing(const fcl::CollisionObjectd* object)
{
  const fcl::CollisionGeometryd* geometry = object->collisionGeometry().get();
  if (object->getObjectType() == fcl::OT_OCTREE)
    return static_cast<const fcl::OcTreed*>(geometry)->getRoot() == nullptr;
  if (object->getObjectType() == fcl::OT_BVH && geometry->getNodeType() == fcl::BV_OBBRSS)
    return static_cast<const fcl::BVHModel<fcl::OBBRSSd>*>(geometry)->num_tris == 0;
  return false;
}
}  // namespace

void CollisionData::enableGroup(const robot_model::core::RobotModel& robot_model)
{
  active_components_only_ = robot_model.hasJointModelGroup(req_->group_name) ?
                                &robot_model.getJointModelGroup(req_->group_name)->getUpdatedLinkModelsSet() :
                                nullptr;
}

DistanceRequest distanceRequestFor(const CollisionRequest& req, const AllowedCollisionMatrix* acm,
                                   const robot_model::core::RobotModel& robot_model)
{
  DistanceRequest dreq;
  dreq.group_name = req.group_name;
  dreq.acm = acm;
  if (robot_model.hasJointModelGroup(req.group_name))
    dreq.active_components_only = &robot_model.getJointModelGroup(req.group_name)->getUpdatedLinkModelsSet();
  return dreq;
}

const CollisionGeometryData& ownerOf(const fcl::CollisionObjectd* object)
{
  return *static_cast<const CollisionGeometryData*>(object->collisionGeometry()->getUserData());
}

PairTest pairTest(const fcl::CollisionObjectd& o1, const fcl::CollisionObjectd& o2, const CollisionData& data)
{
  const CollisionGeometryData& cd1 = ownerOf(&o1);
  const CollisionGeometryData& cd2 = ownerOf(&o2);
  if (cd1.sameObject(cd2))
    return PairTest::NONE;
  if (outsideActiveComponents(data.active_components_only_, cd1, cd2))
    return PairTest::NONE;
  // Nothing to touch: no pair lookups either.
  if (holdsNothing(&o1) || holdsNothing(&o2))
    return PairTest::NONE;

  bool always_allowed = false;
  DecideContactFn decide;
  if (data.acm_ != nullptr)
  {
    AllowedCollision::Type type = AllowedCollision::NEVER;
    const bool known = data.allowed_pairs_ != nullptr ?
                           data.allowed_pairs_->getAllowedCollision(*data.acm_, cd1, cd2, type) :
                           data.acm_->getAllowedCollision(cd1.getID(), cd2.getID(), type);
    if (known)
    {
      if (type == AllowedCollision::ALWAYS)
        always_allowed = true;
      else if (type == AllowedCollision::CONDITIONAL)
      {
        data.acm_->getAllowedCollision(cd1.getID(), cd2.getID(), decide);
        if (data.req_->verbose)
          printf("[collision_common]'%s' and '%s' is conditionally allowed\n", cd1.getID().c_str(),
                 cd2.getID().c_str());
      }
    }
  }
  if (allowedToTouch(cd1, cd2))
    return PairTest::NONE;
  if (cd1.type == ROBOT_ATTACHED && cd2.type == ROBOT_ATTACHED && cd1.ptr.ab->parent_link_ == cd2.ptr.ab->parent_link_)
    return PairTest::NONE;
  if (always_allowed)
    return PairTest::NONE;
  return decide.empty() ? PairTest::GEOMETRIC : PairTest::DECIDED;
}

bool inContact(fcl::CollisionObjectd* o1, fcl::CollisionObjectd* o2, const CollisionData& data)
{
  // A pair whose bounding volumes are apart needs no narrow phase.
  if (!mayTouch(*o1, *o2))
    return false;
  fcl::CollisionResultd own_result;
  fcl::CollisionResultd& fcl_result = data.narrow_phase_result_ != nullptr ? *data.narrow_phase_result_ : own_result;
  fcl_result.clear();
  return fcl::collide(o1, o2, data.narrow_phase_request_, fcl_result) > 0;
}

bool collisionCallback(fcl::CollisionObjectd* o1, fcl::CollisionObjectd* o2, void* data)
{
  auto* cdata = static_cast<CollisionData*>(data);
  if (cdata->done_)
    return true;
  const PairTest test = pairTest(*o1, *o2, *cdata);
  if (test == PairTest::NONE)
    return false;

  if (test == PairTest::GEOMETRIC && inContact(o1, o2, *cdata))
  {
    cdata->res_->collision = true;
    if (cdata->req_->verbose)
      std::cout << "\033[41m ******\033[0m" << ownerOf(o1).getID() << " and " << ownerOf(o2).getID()
                << "\033[41m really collision******\033[0m" << std::endl;
  }

  const CollisionRequest& req = *cdata->req_;
  if (cdata->res_->collision && (!req.contacts || cdata->res_->contact_count >= req.max_contacts) && !req.cost)
    cdata->done_ = true;
  return cdata->done_;
}

namespace
{
// The contact of deepest penetration (the first when none is positive) as a signed distance record.
void fillSignedDistance(fcl::CollisionObjectd* o1, fcl::CollisionObjectd* o2, DistanceResultsData& record)
{
  record.nearest_points[0].setZero();
  record.nearest_points[1].setZero();
  record.normal.setZero();
  fcl::CollisionRequestd request(200, true);
  fcl::CollisionResultd result;
  fcl::collide(o1, o2, request, result);
  if (result.numContacts() == 0)
    return;
  std::size_t best = 0;
  double best_depth = 0.0;
  for (std::size_t i = 0; i < result.numContacts(); ++i)
  {
    if (result.getContact(i).penetration_depth > best_depth)
    {
      best_depth = result.getContact(i).penetration_depth;
      best = i;
    }
  }
  const fcl::Contactd& contact = result.getContact(best);
  record.distance = -contact.penetration_depth;
  record.nearest_points[0] = contact.pos;
  record.nearest_points[1] = contact.pos;
  record.normal = contact.normal;
}
}  // namespace

bool distanceCallback(fcl::CollisionObjectd* o1, fcl::CollisionObjectd* o2, void* data, double& /*min_dist*/)
{
  auto* ddata = static_cast<DistanceData*>(data);
  const DistanceRequest& req = *ddata->req;
  DistanceResult& res = *ddata->res;
  const CollisionGeometryData& cd1 = ownerOf(o1);
  const CollisionGeometryData& cd2 = ownerOf(o2);
  if (cd1.sameObject(cd2))
    return false;
  if (outsideActiveComponents(req.active_components_only, cd1, cd2))
    return false;

  bool always_allowed = false;
  if (req.acm != nullptr)
  {
    AllowedCollision::Type type = AllowedCollision::NEVER;
    if (req.acm->getAllowedCollision(cd1.getID(), cd2.getID(), type) && type == AllowedCollision::ALWAYS)
    {
      always_allowed = true;
      if (req.verbose)
        printf("collision_detection.fcl----Collision between '%s' and '%s' is always allowed. ", cd1.getID().c_str(),
               cd2.getID().c_str());
    }
  }
  if (allowedToTouch(cd1, cd2))
  {
    if (req.verbose)
    {
      const CollisionGeometryData& link = cd1.type == ROBOT_LINK ? cd1 : cd2;
      const CollisionGeometryData& body = cd1.type == ROBOT_LINK ? cd2 : cd1;
      printf("Robot link '%s' is allowed to touch attached object '%s'. ", link.getID().c_str(), body.getID().c_str());
    }
    return false;
  }
  if (always_allowed)
    return false;
  if (req.verbose)
    printf("collision_detection.fcl----Actually checking collisions between %s and %s", cd1.getID().c_str(),
           cd2.getID().c_str());

  // A global query keeps no record per pair: no names to copy for a key unless the result came with records.
  std::pair<std::string, std::string> key;
  auto found = res.distances.end();
  if (req.type != GLOBAL || !res.distances.empty())
  {
    key = cd1.getID() < cd2.getID() ? std::make_pair(cd1.getID(), cd2.getID())
                                    : std::make_pair(cd2.getID(), cd1.getID());
    found = res.distances.find(key);
  }
  double threshold = req.distance_threshold;
  if (found != res.distances.end())
  {
    if (req.type == LIMITED && found->second.size() >= req.max_contacts_per_body)
      return ddata->done;
    if (req.type == GLOBAL)
      threshold = res.minimum_distance.distance;
    else if (req.type == SINGLE)
      threshold = found->second.front().distance;
  }
  if (holdsNothing(o1) || holdsNothing(o2))
    return false;

  fcl::DistanceRequestd fcl_request(req.enable_nearest_points, false, 0.0, 0.0, 1e-6, fcl::GST_LIBCCD);
  fcl::DistanceResultd fcl_result;
  fcl_result.min_distance = threshold;
  const double distance = fcl::distance(o1, o2, fcl_request, fcl_result);
  if (!(distance < threshold))
    return ddata->done;

  DistanceResultsData record;
  record.distance = fcl_result.min_distance;
  record.nearest_points[0] = fcl_result.nearest_points[0];
  record.nearest_points[1] = fcl_result.nearest_points[1];
  record.link_names[0] = cd1.getID();
  record.link_names[1] = cd2.getID();
  record.body_types[0] = cd1.type;
  record.body_types[1] = cd2.type;
  if (req.enable_nearest_points)
  {
    record.normal = record.nearest_points[1] - record.nearest_points[0];
    if (record.normal.squaredNorm() > 0.0)
      record.normal.normalize();
  }
  if (distance <= 0.0 && req.enable_signed_distance)
    fillSignedDistance(o1, o2, record);

  if (record.distance < res.minimum_distance.distance)
    res.minimum_distance = record;
  if (record.distance <= 0.0)
    res.collision = true;

  if (req.type != GLOBAL)
  {
    if (found == res.distances.end())
    {
      std::vector<DistanceResultsData> records;
      records.reserve(req.type == SINGLE ? 1 : req.max_contacts_per_body);
      records.push_back(record);
      res.distances.emplace(std::move(key), std::move(records));
    }
    else if (req.type == ALL || req.type == LIMITED)
      found->second.push_back(record);
    else if (record.distance < found->second.front().distance)
      found->second.front() = record;
  }

  if (!req.enable_signed_distance && res.collision)
    ddata->done = true;
  return ddata->done;
}
}  // namespace collision_detection
