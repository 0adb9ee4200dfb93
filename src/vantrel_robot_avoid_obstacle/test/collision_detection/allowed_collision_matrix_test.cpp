#include "collision_detection/allowed_collision_matrix.h"

#include <gtest/gtest.h>

using collision_detection::AllowedCollisionMatrix;
namespace AllowedCollision = collision_detection::AllowedCollision;

namespace
{
collision_detection::DecideContactFn accept(bool answer)
{
  return [answer](collision_detection::Contact&) { return answer; };
}
}  // namespace

TEST(AllowedCollisionMatrix, EntriesAreSymmetricAndTheLastSetWins)
{
  AllowedCollisionMatrix acm;
  acm.setEntry("l1", "l2", false);
  acm.setEntry("l2", "l1", true);
  AllowedCollision::Type type = AllowedCollision::NEVER;
  EXPECT_TRUE(acm.getAllowedCollision("l1", "l2", type));
  EXPECT_EQ(type, AllowedCollision::ALWAYS);
  type = AllowedCollision::NEVER;
  EXPECT_TRUE(acm.getAllowedCollision("l2", "l1", type));
  EXPECT_EQ(type, AllowedCollision::ALWAYS);
}

TEST(AllowedCollisionMatrix, UnknownPairIsNotAllowedAndLeavesTypeUnchanged)
{
  AllowedCollisionMatrix acm;
  acm.setEntry("l1", "l2", true);
  AllowedCollision::Type type = AllowedCollision::CONDITIONAL;
  EXPECT_FALSE(acm.getAllowedCollision("l1", "l3", type));
  EXPECT_FALSE(acm.getAllowedCollision("l3", "l1", type));
  EXPECT_EQ(type, AllowedCollision::CONDITIONAL);
}

TEST(AllowedCollisionMatrix, DefaultsOverridePairEntries)
{
  AllowedCollisionMatrix acm;
  acm.setEntry("l1", "l2", true);
  acm.setDefaultEntry("l2", false);
  AllowedCollision::Type type = AllowedCollision::ALWAYS;
  EXPECT_TRUE(acm.getAllowedCollision("l1", "l2", type));
  EXPECT_EQ(type, AllowedCollision::NEVER);
  // A default answers for every partner, known or not.
  EXPECT_TRUE(acm.getAllowedCollision("l9", "l2", type));
  EXPECT_EQ(type, AllowedCollision::NEVER);

  acm.setDefaultEntry("l1", true);
  EXPECT_TRUE(acm.getAllowedCollision("l1", "l2", type));
  EXPECT_EQ(type, AllowedCollision::NEVER);  // NEVER on either side wins
  acm.setDefaultEntry("l2", accept(true));
  EXPECT_TRUE(acm.getAllowedCollision("l1", "l2", type));
  EXPECT_EQ(type, AllowedCollision::CONDITIONAL);
}

TEST(AllowedCollisionMatrix, DecideFunctionsOfConditionalPairs)
{
  AllowedCollisionMatrix acm;
  collision_detection::Contact contact;
  collision_detection::DecideContactFn fn;
  int pair_calls = 0;
  acm.setEntry("a", "b", collision_detection::DecideContactFn([&](collision_detection::Contact&) { return ++pair_calls > 0; }));
  AllowedCollision::Type type = AllowedCollision::NEVER;
  ASSERT_TRUE(acm.getAllowedCollision("b", "a", type));
  EXPECT_EQ(type, AllowedCollision::CONDITIONAL);
  ASSERT_TRUE(acm.getAllowedCollision("b", "a", fn));
  EXPECT_TRUE(fn(contact));
  EXPECT_EQ(pair_calls, 1);

  // Defaults replace the pair's own function; with both, both must accept.
  acm.setDefaultEntry("a", accept(true));
  acm.setDefaultEntry("b", accept(false));
  ASSERT_TRUE(acm.getAllowedCollision("a", "b", fn));
  EXPECT_FALSE(fn(contact));
  EXPECT_EQ(pair_calls, 1);

  // A boolean entry drops the pair's decide function.
  AllowedCollisionMatrix plain;
  plain.setEntry("a", "b", accept(true));
  plain.setEntry("b", "a", false);
  EXPECT_FALSE(plain.getAllowedCollision("a", "b", fn));
}
