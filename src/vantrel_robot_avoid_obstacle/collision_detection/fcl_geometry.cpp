#include <cmath>
#include <cstdint>
#include <cstdio>
#include <iterator>
#include <limits>
#include <map>
#include <new>
#include <type_traits>

#include <fcl/geometry/bvh/BVH_model.h>
#include <fcl/geometry/shape/box.h>
#include <fcl/geometry/shape/cone.h>
#include <fcl/geometry/shape/cylinder.h>
#include <fcl/geometry/shape/plane.h>
#include <fcl/geometry/shape/sphere.h>
#include <fcl/math/bv/OBBRSS.h>

#include "collision_detection/bounding_volume_test.h"
#include "collision_detection/collision_common.h"
#include "robot_model/core/attached_body.h"
#include "robot_model/core/link_model.h"
#include "robot_model/shapes/shapes.h"

namespace collision_detection
{
namespace
{
// Geometries by the shape they were made from. Keyed by ownership, so a clone is a new key and
// an entry of a released shape can be told and dropped.
struct GeometryCache
{
  using ShapeKey = std::weak_ptr<const shapes::Shape>;
  std::map<ShapeKey, FCLGeometryConstPtr, std::owner_less<ShapeKey>> map_;
  std::uint32_t clean_count_ = 0;

  void bumpUseCount()
  {
    if (++clean_count_ > 100)
    {
      clean_count_ = 0;
      clean();
    }
  }

  void clean()
  {
    for (auto it = map_.begin(); it != map_.end();)
      it = it->first.expired() ? map_.erase(it) : std::next(it);
  }
};

template <typename Owner>
GeometryCache& cacheOf()
{
  thread_local GeometryCache cache;
  return cache;
}

template <typename Owner>
struct OtherMovableKind
{
  using type = void;
};
template <>
struct OtherMovableKind<robot_model::core::AttachedBody>
{
  using type = World::Object;
};
template <>
struct OtherMovableKind<World::Object>
{
  using type = robot_model::core::AttachedBody;
};

std::shared_ptr<fcl::CollisionGeometryd> buildMesh(const shapes::Mesh& mesh)
{
  auto model = std::make_shared<fcl::BVHModel<fcl::OBBRSSd>>();
  if (mesh.vertex_count > 0 && mesh.triangle_count > 0)
  {
    std::vector<fcl::Triangle> triangles(mesh.triangle_count);
    for (unsigned i = 0; i < mesh.triangle_count; ++i)
      triangles[i] = fcl::Triangle(mesh.triangles[3 * i], mesh.triangles[3 * i + 1], mesh.triangles[3 * i + 2]);
    std::vector<fcl::Vector3d> points(mesh.vertex_count);
    for (unsigned i = 0; i < mesh.vertex_count; ++i)
      points[i] = fcl::Vector3d(mesh.vertices[3 * i], mesh.vertices[3 * i + 1], mesh.vertices[3 * i + 2]);
    // FCL allocates without throwing and reports a failed allocation only in these codes; a model
    // left half built must not be used.
    if (model->beginModel() != fcl::BVH_OK || model->addSubModel(points, triangles) != fcl::BVH_OK ||
        model->endModel() != fcl::BVH_OK)
      throw std::bad_alloc();
  }
  return model;
}

std::shared_ptr<fcl::CollisionGeometryd> buildGeometry(const shapes::Shape& shape)
{
  switch (shape.type)
  {
    case shapes::SPHERE:
      return std::make_shared<fcl::Sphered>(static_cast<const shapes::Sphere&>(shape).radius);
    case shapes::CYLINDER:
    {
      const auto& cylinder = static_cast<const shapes::Cylinder&>(shape);
      return std::make_shared<fcl::Cylinderd>(cylinder.radius, cylinder.length);
    }
    case shapes::CONE:
    {
      const auto& cone = static_cast<const shapes::Cone&>(shape);
      return std::make_shared<fcl::Coned>(cone.radius, cone.length);
    }
    case shapes::BOX:
    {
      const double* size = static_cast<const shapes::Box&>(shape).size;
      return std::make_shared<fcl::Boxd>(size[0], size[1], size[2]);
    }
    case shapes::PLANE:
    {
      const auto& plane = static_cast<const shapes::Plane&>(shape);
      return std::make_shared<fcl::Planed>(plane.a, plane.b, plane.c, plane.d);
    }
    case shapes::MESH:
      return buildMesh(static_cast<const shapes::Mesh&>(shape));
    case shapes::OCTREE:
      return std::make_shared<OcTreeGeometry>(static_cast<const shapes::OcTree&>(shape).octree);
    default:
      printf("collision_common[887]:This shape type (%d) is not supported using FCL yet", static_cast<int>(shape.type));
      return nullptr;
  }
}

// Moves a geometry held by nobody else from the cache of the other movable kind (an object
// grasped from the world or released into it) instead of building it again.
template <typename Owner>
FCLGeometryConstPtr takeFromOtherKind(const std::shared_ptr<const shapes::Shape>& shape, const Owner* owner,
                                      int shape_index)
{
  using Other = typename OtherMovableKind<Owner>::type;
  if constexpr (std::is_void_v<Other>)
    return nullptr;
  else
  {
    GeometryCache& other = cacheOf<Other>();
    auto it = other.map_.find(shape);
    if (it == other.map_.end() || it->second.use_count() != 1)
      return nullptr;
    FCLGeometryConstPtr geometry = it->second;
    other.map_.erase(it);
    std::const_pointer_cast<FCLGeometry>(geometry)->updateCollisionGeometryData(owner, shape_index);
    GeometryCache& own = cacheOf<Owner>();
    own.map_[shape] = geometry;
    own.bumpUseCount();
    return geometry;
  }
}

template <typename Owner>
FCLGeometryConstPtr createGeometry(const std::shared_ptr<const shapes::Shape>& shape, const Owner* owner,
                                   int shape_index)
{
  GeometryCache& cache = cacheOf<Owner>();
  auto it = cache.map_.find(shape);
  if (it != cache.map_.end())
  {
    if (it->second->collision_geometry_data_->ptr.raw == static_cast<const void*>(owner))
      return it->second;
    if (it->second.use_count() == 1)
    {
      std::const_pointer_cast<FCLGeometry>(it->second)->updateCollisionGeometryData(owner, shape_index);
      return it->second;
    }
  }
  if (FCLGeometryConstPtr moved = takeFromOtherKind(shape, owner, shape_index))
    return moved;

  std::shared_ptr<fcl::CollisionGeometryd> geometry = buildGeometry(*shape);
  if (!geometry)
    return nullptr;
  geometry->computeLocalAABB();
  auto result = std::make_shared<const FCLGeometry>(std::move(geometry), owner, shape_index);
  cache.map_[shape] = result;
  cache.bumpUseCount();
  return result;
}

template <typename Owner>
FCLGeometryConstPtr createScaledGeometry(const std::shared_ptr<const shapes::Shape>& shape, double scale,
                                         double padding, const Owner* owner, int shape_index)
{
  if (!scalesOrPads(scale, padding))
    return createGeometry(shape, owner, shape_index);
  std::shared_ptr<shapes::Shape> scaled(shape->clone());
  scaled->scaleAndPad(scale, padding);
  return createGeometry(std::shared_ptr<const shapes::Shape>(scaled), owner, shape_index);
}
}  // namespace

bool scalesOrPads(double scale, double padding)
{
  const double eps = std::numeric_limits<double>::epsilon();
  return !(std::fabs(scale - 1.0) <= eps && std::fabs(padding) <= eps);
}

CollisionGeometryData::CollisionGeometryData(const robot_model::core::LinkModel* link, int index)
  : type(ROBOT_LINK), shape_index(index)
{
  ptr.link = link;
}

CollisionGeometryData::CollisionGeometryData(const robot_model::core::AttachedBody* body, int index)
  : type(ROBOT_ATTACHED), shape_index(index)
{
  ptr.ab = body;
}

CollisionGeometryData::CollisionGeometryData(const World::Object* object, int index)
  : type(WORLD_OBJECT), shape_index(index)
{
  ptr.obj = object;
}

const std::string& CollisionGeometryData::getID() const
{
  switch (type)
  {
    case ROBOT_LINK:
      return ptr.link->getName();
    case ROBOT_ATTACHED:
      return ptr.ab->id_;
    default:
      return ptr.obj->id_;
  }
}

const robot_model::core::LinkModel* CollisionGeometryData::getLink() const
{
  switch (type)
  {
    case ROBOT_LINK:
      return ptr.link;
    case ROBOT_ATTACHED:
      return ptr.ab->parent_link_;
    default:
      return nullptr;
  }
}

FCLGeometryConstPtr createCollisionGeometry(const std::shared_ptr<const shapes::Shape>& shape,
                                            const robot_model::core::LinkModel* link, int shape_index)
{
  return createGeometry(shape, link, shape_index);
}

FCLGeometryConstPtr createCollisionGeometry(const std::shared_ptr<const shapes::Shape>& shape,
                                            const robot_model::core::AttachedBody* body, int shape_index)
{
  return createGeometry(shape, body, shape_index);
}

FCLGeometryConstPtr createCollisionGeometry(const std::shared_ptr<const shapes::Shape>& shape,
                                            const World::Object* object)
{
  return createGeometry(shape, object, 0);
}

FCLGeometryConstPtr createCollisionGeometry(const std::shared_ptr<const shapes::Shape>& shape, double scale,
                                            double padding, const robot_model::core::LinkModel* link,
                                            int shape_index)
{
  return createScaledGeometry(shape, scale, padding, link, shape_index);
}

FCLGeometryConstPtr createCollisionGeometry(const std::shared_ptr<const shapes::Shape>& shape, double scale,
                                            double padding, const robot_model::core::AttachedBody* body,
                                            int shape_index)
{
  return createScaledGeometry(shape, scale, padding, body, shape_index);
}

void cleanCollisionGeometryCache()
{
  for (GeometryCache* cache : { &cacheOf<World::Object>(), &cacheOf<robot_model::core::AttachedBody>() })
  {
    cache->clean_count_ = 0;
    cache->clean();
  }
}

void computeTightAABB(fcl::CollisionObjectd& object)
{
  // The box is a cache FCL keeps mutable for exactly this kind of update.
  const_cast<fcl::AABBd&>(object.getAABB()) = boxAround(object.collisionGeometry()->aabb_local, object.getTransform());
}

void FCLObject::registerTo(fcl::BroadPhaseCollisionManagerd* manager)
{
  if (collision_objects_.empty())
    return;
  std::vector<fcl::CollisionObjectd*> objects;
  objects.reserve(collision_objects_.size());
  for (const FCLCollisionObjectPtr& object : collision_objects_)
    objects.push_back(object.get());
  manager->registerObjects(objects);
}

void FCLObject::unregisterFrom(fcl::BroadPhaseCollisionManagerd* manager)
{
  for (const FCLCollisionObjectPtr& object : collision_objects_)
    manager->unregisterObject(object.get());
}

void FCLObject::clear()
{
  collision_objects_.clear();
  collision_geometry_.clear();
}
}  // namespace collision_detection
