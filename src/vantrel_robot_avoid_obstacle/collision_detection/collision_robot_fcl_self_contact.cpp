// How far a motion can go before the robot could touch itself: the distances of the pairs the self check tests,
// each measured only as far as it could still limit the progress.
#include <algorithm>

#include <fcl/narrowphase/distance.h>

#include "collision_detection/collision_robot_fcl.h"

namespace collision_detection
{
namespace
{
// Nearer than this, a pair that cannot close in is taken as touching.
constexpr double kTouching = 1e-12;

// The distance of the two objects where it is below `limiting`, else `limiting`.
double distanceBelow(fcl::CollisionObjectd* first, fcl::CollisionObjectd* second, double limiting)
{
  static const fcl::DistanceRequestd request(false, false, 0.0, 0.0, 1e-6, fcl::GST_LIBCCD);
  fcl::DistanceResultd result;
  result.min_distance = limiting;
  return std::min(fcl::distance(first, second, request, result), limiting);
}
}  // namespace

double CollisionRobotFCL::progressToSelfContact(const CollisionRequest& req, const robot_model::core::RobotState& state,
                                                const AllowedCollisionMatrix& acm, const PairClosingRate& closing_rate,
                                                double horizon, double depth) const
{
  const PlacedObjects placed(*this, state);
  CollisionData rules(&req, nullptr, &acm);
  rules.enableGroup(*robot_model_);
  rules.allowed_pairs_ = &placed.allowedPairs();
  rules.narrow_phase_result_ = &placed.narrowPhaseResult();
  double progress = horizon;
  const std::vector<fcl::CollisionObjectd*>& objects = placed.objects();
  for (std::size_t i = 0; i < objects.size(); ++i)
  {
    for (std::size_t j = i + 1; j < objects.size(); ++j)
    {
      fcl::CollisionObjectd* first = objects[i];
      fcl::CollisionObjectd* second = objects[j];
      if (pairTest(*first, *second, rules) != PairTest::GEOMETRIC)
        continue;
      const double rate = closing_rate(ownerOf(first), ownerOf(second));
      // Farther than this, the pair does not limit the progress: each pair limits it only as far as it could
      // itself come into contact, so one pair that stays near does not hold up the others.
      const double limiting = std::max(progress * rate - depth, kTouching);
      if (!(first->getAABB().distance(second->getAABB()) < limiting))
        continue;
      // A mesh is measured by a box that holds it, far cheaper and nearly as far for the arms' round links; only
      // where the boxes touch by itself.
      fcl::CollisionObjectd& first_bound = placed.boundingObject(i);
      fcl::CollisionObjectd& second_bound = placed.boundingObject(j);
      double distance = distanceBelow(&first_bound, &second_bound, limiting);
      if (!(distance < limiting))
        continue;
      if ((&first_bound != first || &second_bound != second) && distance <= 0.0)
        distance = distanceBelow(first, second, limiting);
      // The distance query and the narrow phase disagree within their tolerances; the self check's word holds.
      if (distance <= 0.0 && inContact(first, second, rules))
        return -1.0;
      if (rate > 0.0)
        progress = std::min(progress, (std::max(distance, 0.0) + depth) / rate);
    }
  }
  return progress;
}
}  // namespace collision_detection
