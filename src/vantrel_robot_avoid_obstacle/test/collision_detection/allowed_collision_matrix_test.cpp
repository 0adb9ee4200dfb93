#include "collision_detection/allowed_collision_matrix.h"

#include <gtest/gtest.h>

using collision_detection::AllowedCollisionMatrix;
namespace AllowedCollision = collision_detection::AllowedCollision;

namespace
{
// The matrix's answer for a pair: its type, or -1 when the pair is unknown.
int answer(const AllowedCollisionMatrix& acm, const std::string& a, const std::string& b)
{
  AllowedCollision::Type type = AllowedCollision::NEVER;
  return acm.getAllowedCollision(a, b, type) ? static_cast<int>(type) : -1;
}
}  // namespace

TEST(AllowedCollisionMatrix, EntriesAreSymmetricAndUnknownPairsAreNotAllowed)
{
  AllowedCollisionMatrix acm;
  acm.setEntry("l1", "l2", false);
  acm.setEntry("l2", "l1", true);
  EXPECT_EQ(answer(acm, "l1", "l2"), AllowedCollision::ALWAYS);
  EXPECT_EQ(answer(acm, "l2", "l1"), AllowedCollision::ALWAYS);
  EXPECT_EQ(answer(acm, "l1", "l3"), -1);
  EXPECT_EQ(answer(acm, "l3", "l1"), -1);
}

TEST(AllowedCollisionMatrix, DefaultsOverridePairEntries)
{
  AllowedCollisionMatrix acm;
  acm.setEntry("l1", "l2", true);
  acm.setDefaultEntry("l2", false);
  EXPECT_EQ(answer(acm, "l1", "l2"), AllowedCollision::NEVER);
  EXPECT_EQ(answer(acm, "l9", "l2"), AllowedCollision::NEVER);  // for every partner, known or not
  acm.setDefaultEntry("l1", true);
  EXPECT_EQ(answer(acm, "l1", "l2"), AllowedCollision::NEVER);  // NEVER on either side wins

  // With conditional defaults on both sides, both decide functions must accept.
  acm.setDefaultEntry("l1", collision_detection::DecideContactFn([](collision_detection::Contact&) { return true; }));
  acm.setDefaultEntry("l2", collision_detection::DecideContactFn([](collision_detection::Contact&) { return false; }));
  EXPECT_EQ(answer(acm, "l1", "l2"), AllowedCollision::CONDITIONAL);
  collision_detection::DecideContactFn decide;
  collision_detection::Contact contact;
  ASSERT_TRUE(acm.getAllowedCollision("l1", "l2", decide));
  EXPECT_FALSE(decide(contact));
}
