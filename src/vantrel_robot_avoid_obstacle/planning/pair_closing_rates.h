#pragma once

#include <cstddef>
#include <vector>

#include "collision_detection/collision_robot_fcl.h"

namespace robot_model {
namespace core {
class LinkModel;
struct AttachedBody;
}  // namespace core
}  // namespace robot_model

// How fast each pair of the robot's bodies can close in on each other along one straight motion, per unit of
// progress. Every joint moves a body's points by at most a rate of its own; two bodies move relative to each other
// only by the joints that move one of them and not the other.
class PairClosingRates final : public collision_detection::PairClosingRate {
 public:
  // The geometry of a link (`attached` null) or a body attached to it.
  struct Body {
    const robot_model::core::LinkModel* link = nullptr;
    const robot_model::core::AttachedBody* attached = nullptr;
  };

  // For these bodies of a model of `link_count` links and for `joint_count` joints, none moving any body yet.
  void reset(const std::vector<Body>& bodies, std::size_t link_count, std::size_t joint_count);
  void setMoves(std::size_t joint, std::size_t body);
  bool moves(std::size_t joint, std::size_t body) const { return moves_[joint * bodies_.size() + body] != 0; }
  // The most the joint moves a point of the body along the motion; 0 until set for each motion.
  void setRate(std::size_t joint, std::size_t body, double rate);
  // The pairs' rates from the rates set since the last call.
  void settlePairs();

  // 0 for a body that is none of these: it has no geometry.
  double operator()(const collision_detection::CollisionGeometryData& first,
                    const collision_detection::CollisionGeometryData& second) const override;

 private:
  static constexpr std::size_t kNoBody = static_cast<std::size_t>(-1);
  std::size_t bodyOf(const collision_detection::CollisionGeometryData& owner) const;

  std::vector<Body> bodies_;
  // Per link index: its body, kNoBody for a link without geometry.
  std::vector<std::size_t> link_bodies_;
  std::size_t joint_count_ = 0;
  // Joint-major tables, one entry per joint and body.
  std::vector<char> moves_;
  std::vector<double> rates_;
  // Body-major table of every pair.
  std::vector<double> pair_rates_;
};
