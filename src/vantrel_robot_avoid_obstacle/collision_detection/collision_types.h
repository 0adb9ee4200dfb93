#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <limits>
#include <map>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <Eigen/Core>
#include <boost/function.hpp>

namespace robot_model
{
namespace core
{
class LinkModel;
}
}  // namespace robot_model

namespace collision_detection
{
class AllowedCollisionMatrix;

enum BodyType : std::int32_t
{
  ROBOT_LINK = 0,
  ROBOT_ATTACHED = 1,
  WORLD_OBJECT = 2,
};

// One contact point between two bodies; the argument of the matrix's decide functions.
struct Contact
{
  EIGEN_MAKE_ALIGNED_OPERATOR_NEW

  Eigen::Vector3d pos = Eigen::Vector3d::Zero();
  Eigen::Vector3d normal = Eigen::Vector3d::Zero();
  double depth = 0.0;
  std::string body_name_1;
  BodyType body_type_1 = WORLD_OBJECT;
  std::string body_name_2;
  BodyType body_type_2 = WORLD_OBJECT;
};

// An axis-aligned box of contact cost.
struct CostSource
{
  double aabb_min[3] = { 0.0, 0.0, 0.0 };
  double aabb_max[3] = { 0.0, 0.0, 0.0 };
  double cost = 0.0;

  bool operator<(const CostSource& other) const
  {
    if (cost != other.cost)
      return cost < other.cost;
    if (!std::equal(aabb_min, aabb_min + 3, other.aabb_min))
      return std::lexicographical_compare(aabb_min, aabb_min + 3, other.aabb_min, other.aabb_min + 3);
    return std::lexicographical_compare(aabb_max, aabb_max + 3, other.aabb_max, other.aabb_max + 3);
  }
};

struct CollisionResult;

struct CollisionRequest
{
  virtual ~CollisionRequest() = default;

  std::string group_name;
  bool distance = false;
  bool cost = false;
  bool contacts = false;
  std::size_t max_contacts = 1;
  std::size_t max_contacts_per_pair = 1;
  std::size_t max_cost_sources = 1;
  double min_cost_density = 0.2;
  boost::function<bool(const CollisionResult&)> is_done;
  bool verbose = false;
};

struct CollisionResult
{
  using ContactMap = std::map<std::pair<std::string, std::string>, std::vector<Contact>>;

  bool collision = false;
  double distance = std::numeric_limits<double>::max();
  std::size_t contact_count = 0;
  ContactMap contacts;
  std::set<CostSource> cost_sources;
};

enum DistanceRequestType : std::int32_t
{
  GLOBAL = 0,
  SINGLE = 1,
  LIMITED = 2,
  ALL = 3,
};

struct DistanceRequest
{
  bool enable_nearest_points = false;
  bool enable_signed_distance = false;
  DistanceRequestType type = GLOBAL;
  std::size_t max_contacts_per_body = 1;
  std::string group_name;
  const std::set<const robot_model::core::LinkModel*>* active_components_only = nullptr;
  const AllowedCollisionMatrix* acm = nullptr;
  double distance_threshold = std::numeric_limits<double>::max();
  bool verbose = false;
};

struct DistanceResultsData
{
  EIGEN_MAKE_ALIGNED_OPERATOR_NEW

  double distance = std::numeric_limits<double>::max();
  Eigen::Vector3d nearest_points[2] = { Eigen::Vector3d::Zero(), Eigen::Vector3d::Zero() };
  std::string link_names[2];
  BodyType body_types[2] = { WORLD_OBJECT, WORLD_OBJECT };
  Eigen::Vector3d normal = Eigen::Vector3d::Zero();
};

struct DistanceResult
{
  using DistanceMap = std::map<std::pair<std::string, std::string>, std::vector<DistanceResultsData>>;

  bool collision = false;
  DistanceResultsData minimum_distance;
  DistanceMap distances;
};
}  // namespace collision_detection
