#include "planning/pair_closing_rates.h"


#include "collision_detection/collision_common.h"
#include "robot_model/core/link_model.h"

void PairClosingRates::reset(const std::vector<Body>& bodies, std::size_t link_count, std::size_t joint_count) {
  bodies_ = bodies;
  link_bodies_.assign(link_count, kNoBody);
  for (std::size_t b = 0; b < bodies_.size(); ++b) {
    if (bodies_[b].attached == nullptr) link_bodies_[bodies_[b].link->getLinkIndex()] = b;
  }
  joint_count_ = joint_count;
  moves_.assign(joint_count * bodies_.size(), 0);
  rates_.assign(joint_count * bodies_.size(), 0.0);
  pair_rates_.assign(bodies_.size() * bodies_.size(), 0.0);
}

void PairClosingRates::setMoves(std::size_t joint, std::size_t body) { moves_[joint * bodies_.size() + body] = 1; }

void PairClosingRates::setRate(std::size_t joint, std::size_t body, double rate) {
  rates_[joint * bodies_.size() + body] = rate;
}

void PairClosingRates::settlePairs() {
  const std::size_t count = bodies_.size();
  for (std::size_t a = 0; a < count; ++a) {
    for (std::size_t b = a; b < count; ++b) {
      double rate = 0.0;
      for (std::size_t k = 0; k < joint_count_; ++k) {
        // A joint that moves both moves them together.
        if (moves_[k * count + a] != moves_[k * count + b]) rate += rates_[k * count + a] + rates_[k * count + b];
      }
      pair_rates_[a * count + b] = pair_rates_[b * count + a] = rate;
    }
  }
}

std::size_t PairClosingRates::bodyOf(const collision_detection::CollisionGeometryData& owner) const {
  if (owner.type == collision_detection::ROBOT_LINK) {
    const std::size_t index = owner.ptr.link->getLinkIndex();
    return index < link_bodies_.size() ? link_bodies_[index] : kNoBody;
  }
  for (std::size_t b = 0; b < bodies_.size(); ++b) {
    if (bodies_[b].attached == owner.ptr.ab) return b;
  }
  return kNoBody;
}

double PairClosingRates::operator()(const collision_detection::CollisionGeometryData& first,
                                    const collision_detection::CollisionGeometryData& second) const {
  const std::size_t a = bodyOf(first);
  const std::size_t b = bodyOf(second);
  return a == kNoBody || b == kNoBody ? 0.0 : pair_rates_[a * bodies_.size() + b];
}
