#include "contact_motions.h"

#include <algorithm>
#include <cmath>
#include <sstream>

#include <fcl/narrowphase/collision.h>

#include "planning/joint_path.h"

namespace {

// In judge steps: the ends of a motion through a contact are searched 0.02 rad at a time, at most 0.3 rad either side.
constexpr int kCoarseStep = 40;
constexpr int kLongestSide = 600;

// Segments of the straight motion so that no joint turns more than `step` in one.
int segmentsOf(const Joints& from, const Joints& to, double step) {
  return std::max(1, static_cast<int>(std::ceil(widestTurn(from, to) / step)));
}

// The nearest state on the way from `q` along `direction` (against it for `sign` -1) that isStateValid answers
// `valid` for and whose neighbour a judge step back it does not: searched kCoarseStep judge steps at a time within
// `reach` judge steps and the bounds, then traced back. Its distance in judge steps, 0 for none.
int stepsToBoundary(ManipulatorPlanScene& scene, const JointBounds& bounds, const Joints& q,
                    const Joints& direction, int sign, bool valid, int reach) {
  for (int coarse = kCoarseStep; coarse <= reach; coarse += kCoarseStep) {
    const Joints state = along(q, direction, sign * coarse);
    if (!withinBounds(state, bounds)) return 0;
    if (scene.isStateValid(state.data()) != valid) continue;
    int steps = coarse;
    while (steps > 1 && scene.isStateValid(along(q, direction, sign * (steps - 1)).data()) == valid) --steps;
    return steps;
  }
  return 0;
}

}  // namespace

Joints along(const Joints& q, const Joints& direction, int steps) {
  Joints result(q.size());
  for (std::size_t j = 0; j < q.size(); ++j) result[j] = q[j] + direction[j] * kJudgeStep * steps;
  return result;
}

double widestTurn(const Joints& from, const Joints& to) {
  double widest = 0.0;
  for (std::size_t j = 0; j < from.size(); ++j) widest = std::max(widest, std::fabs(to[j] - from[j]));
  return widest;
}

bool withinBounds(const Joints& q, const JointBounds& bounds) {
  for (std::size_t j = 0; j < q.size(); ++j) {
    if (q[j] < bounds[j].first || q[j] > bounds[j].second) return false;
  }
  return true;
}

Joints shallowContact(ManipulatorPlanScene& scene, const Joints& valid, const Joints& refused) {
  const double widest = widestTurn(valid, refused);
  Joints direction(valid.size());
  for (std::size_t j = 0; j < valid.size(); ++j) direction[j] = (refused[j] - valid[j]) / widest;
  int free = 0, touching = static_cast<int>(std::floor(widest / kJudgeStep));
  if (scene.isStateValid(along(valid, direction, touching).data())) return refused;
  while (touching - free > 1) {
    const int middle = (free + touching) / 2;
    (scene.isStateValid(along(valid, direction, middle).data()) ? free : touching) = middle;
  }
  return along(valid, direction, touching);
}

bool validEverywhere(ManipulatorPlanScene& scene, const Joints& from, const Joints& to, double step) {
  const int n = segmentsOf(from, to, step);
  for (int k = 0; k <= n; ++k) {
    if (!scene.isStateValid(interpolateWaypoints(from, to, static_cast<double>(k) / n).data())) return false;
  }
  return true;
}

PenetrationDepth::PenetrationDepth(ManipulatorPlanScene& scene) : scene_(scene), robot_(scene.getRobotModel()) {
  for (const auto& pair : scene.getRobotModel()->getSRDF()->getDisabledCollisionPairs()) {
    acm_.setEntry(pair.link1_, pair.link2_, true);
  }
  request_.group_name = scene.getPlanningGroupName();
}

double PenetrationDepth::at(const Joints& q) {
  robot_model::core::RobotState& state = *scene_.getRobotState();
  state.setJointGroupPositions(scene_.getPlanningGroup(), q);
  state.updateCollisionBodyTransforms();
  const collision_detection::CollisionRobotFCL::PlacedObjects placed(robot_, state);
  collision_detection::CollisionData rules(&request_, nullptr, &acm_);
  rules.enableGroup(*scene_.getRobotModel());
  const fcl::CollisionRequestd contacts(100, true);
  double deepest = 0.0;
  const std::vector<fcl::CollisionObjectd*>& objects = placed.objects();
  for (std::size_t i = 0; i < objects.size(); ++i) {
    for (std::size_t j = i + 1; j < objects.size(); ++j) {
      if (pairTest(*objects[i], *objects[j], rules) != collision_detection::PairTest::GEOMETRIC) continue;
      fcl::CollisionResultd result;
      fcl::collide(objects[i], objects[j], contacts, result);
      for (std::size_t k = 0; k < result.numContacts(); ++k) {
        deepest = std::max(deepest, result.getContact(k).penetration_depth);
      }
    }
  }
  return deepest;
}

bool holdsDeepContact(ManipulatorPlanScene& scene, PenetrationDepth& depth, const Joints& from, const Joints& to,
                      double step) {
  const int n = segmentsOf(from, to, step);
  for (int offset = 0; offset <= n / 2; ++offset) {
    for (const int k : {n / 2 - offset, n / 2 + offset}) {
      const Joints q = interpolateWaypoints(from, to, static_cast<double>(k) / n);
      if (!scene.isStateValid(q.data()) && depth.at(q) > ManipulatorPlanScene::kSelfContactResolution) return true;
    }
  }
  return false;
}

Joints drawDirection(std::size_t joints, int draw, std::mt19937& rng) {
  Joints direction(joints, 0.0);
  const std::size_t single = draw % 3 != 0 ? rng() % joints : joints;
  for (std::size_t j = 0; j < joints; ++j) {
    if (single < joints ? j != single : rng() % 2 == 0) continue;
    direction[j] = (rng() % 2 == 0 ? 1.0 : -1.0) * std::uniform_real_distribution<double>(0.1, 1.0)(rng);
  }
  double largest = 0.0;
  for (const double value : direction) largest = std::max(largest, std::fabs(value));
  for (double& value : direction) value = largest > 0.0 ? value / largest : 0.0;
  return direction;
}

std::optional<Motion> motionThrough(ManipulatorPlanScene& scene, const JointBounds& bounds,
                                    const Joints& contact, const Joints& direction) {
  const int ahead = stepsToBoundary(scene, bounds, contact, direction, 1, true, kLongestSide);
  const int back = ahead == 0 ? 0 : stepsToBoundary(scene, bounds, contact, direction, -1, true, kLongestSide);
  if (back == 0) return std::nullopt;
  return Motion{along(contact, direction, -back), along(contact, direction, ahead)};
}

std::string motionText(const Motion& motion) {
  std::ostringstream text;
  text.precision(17);
  for (const Joints* state : {&motion.from, &motion.to}) {
    text << (state == &motion.from ? "{" : " -> {");
    for (std::size_t j = 0; j < state->size(); ++j) text << (j == 0 ? "" : ", ") << (*state)[j];
    text << "}";
  }
  return text.str();
}

