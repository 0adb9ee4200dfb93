#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "collision_detection/allowed_collision_matrix.h"

namespace collision_detection
{
struct CollisionGeometryData;

// The matrix's answers for the pairs one robot's checks meet, each looked up by name once per
// matrix revision: pairs of links by their indices, a link and another body by the body's id.
class AllowedPairCache
{
public:
  // The matrix's answer for the owners' ids, as AllowedCollisionMatrix::getAllowedCollision gives it.
  bool getAllowedCollision(const AllowedCollisionMatrix& acm, const CollisionGeometryData& first,
                           const CollisionGeometryData& second, AllowedCollision::Type& type);

private:
  // A link's answers with one body other than a link, the link named first or second.
  struct BodyRow
  {
    std::string id;
    bool link_first;
    std::vector<std::int8_t> by_link;
  };

  // The slot of the pair's answer, null when the pair has no link.
  std::int8_t* slotOf(const CollisionGeometryData& first, const CollisionGeometryData& second);
  std::int8_t* bodyRowSlot(const std::string& id, bool link_first, std::size_t link_index);
  void clear(std::size_t link_count);

  std::uint64_t revision_ = 0;
  std::size_t link_count_ = 0;
  std::vector<std::int8_t> link_pairs_;
  std::vector<BodyRow> body_rows_;
};
}  // namespace collision_detection
