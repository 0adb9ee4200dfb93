#include "collision_detection/allowed_pair_cache.h"

#include <algorithm>

#include "collision_detection/collision_common.h"
#include "robot_model/core/link_model.h"

namespace collision_detection
{
namespace
{
constexpr std::int8_t kNotLookedUp = -2;
constexpr std::int8_t kUnknownPair = -1;
// World objects come and go under new names: the rows are dropped beyond this many.
constexpr std::size_t kMostBodyRows = 32;
}  // namespace

bool AllowedPairCache::getAllowedCollision(const AllowedCollisionMatrix& acm, const CollisionGeometryData& first,
                                           const CollisionGeometryData& second, AllowedCollision::Type& type)
{
  if (revision_ != acm.revision())
  {
    clear(link_count_);
    revision_ = acm.revision();
  }
  std::int8_t* slot = slotOf(first, second);
  if (slot == nullptr)
    return acm.getAllowedCollision(first.getID(), second.getID(), type);
  if (*slot == kNotLookedUp)
  {
    AllowedCollision::Type found = AllowedCollision::NEVER;
    *slot = acm.getAllowedCollision(first.getID(), second.getID(), found) ? static_cast<std::int8_t>(found)
                                                                           : kUnknownPair;
  }
  if (*slot == kUnknownPair)
    return false;
  type = static_cast<AllowedCollision::Type>(*slot);
  return true;
}

std::int8_t* AllowedPairCache::slotOf(const CollisionGeometryData& first, const CollisionGeometryData& second)
{
  const bool first_is_link = first.type == ROBOT_LINK;
  const bool second_is_link = second.type == ROBOT_LINK;
  if (first_is_link && second_is_link)
  {
    const std::size_t a = first.ptr.link->getLinkIndex(), b = second.ptr.link->getLinkIndex();
    if (std::max(a, b) >= link_count_)
      clear(std::max(a, b) + 1);
    return &link_pairs_[a * link_count_ + b];
  }
  if (first_is_link)
    return bodyRowSlot(second.getID(), true, first.ptr.link->getLinkIndex());
  if (second_is_link)
    return bodyRowSlot(first.getID(), false, second.ptr.link->getLinkIndex());
  return nullptr;
}

std::int8_t* AllowedPairCache::bodyRowSlot(const std::string& id, bool link_first, std::size_t link_index)
{
  if (link_index >= link_count_)
    clear(link_index + 1);
  auto row = std::find_if(body_rows_.begin(), body_rows_.end(),
                          [&](const BodyRow& r) { return r.link_first == link_first && r.id == id; });
  if (row == body_rows_.end())
  {
    if (body_rows_.size() >= kMostBodyRows)
      body_rows_.clear();
    body_rows_.push_back({ id, link_first, std::vector<std::int8_t>(link_count_, kNotLookedUp) });
    row = body_rows_.end() - 1;
  }
  return &row->by_link[link_index];
}

void AllowedPairCache::clear(std::size_t link_count)
{
  link_count_ = link_count;
  link_pairs_.assign(link_count * link_count, kNotLookedUp);
  body_rows_.clear();
}
}  // namespace collision_detection
