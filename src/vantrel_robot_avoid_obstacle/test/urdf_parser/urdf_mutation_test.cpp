// Thousands of damaged copies of the arm's URDF: each parses cleanly or is refused, and what parses is a tree.
#include <cmath>
#include <memory>
#include <set>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "robot_model/urdf_parser/urdf_parser.h"
#include "test/fuzz/text_mutator.h"
#include "test/fuzz/xml_nesting_check.h"
#include "test/support/arm_descriptions.h"
#include "test/support/console_capture.h"

namespace
{
// The sizes of a primitive shape: finite and not negative.
bool usableSizes(const urdf::Geometry& geometry)
{
  const auto size = [](double value) { return std::isfinite(value) && value >= 0.0; };
  const auto* sphere = dynamic_cast<const urdf::Sphere*>(&geometry);
  const auto* box = dynamic_cast<const urdf::Box*>(&geometry);
  const auto* cylinder = dynamic_cast<const urdf::Cylinder*>(&geometry);
  return (!sphere || size(sphere->radius)) && (!box || (size(box->dim.x) && size(box->dim.y) && size(box->dim.z))) &&
         (!cylinder || (size(cylinder->length) && size(cylinder->radius)));
}

// Every link is reached exactly once from the root, through its own parent joint; sizes and limits are usable.
void expectTree(const urdf::ModelInterface& model)
{
  ASSERT_TRUE(model.getRoot());
  EXPECT_FALSE(model.getRoot()->parent_joint);
  std::set<const urdf::Link*> seen;
  std::vector<std::shared_ptr<urdf::Link>> pending{model.getRoot()};
  while (!pending.empty() && seen.size() <= model.links_.size())
  {
    const auto link = pending.back();
    pending.pop_back();
    ASSERT_TRUE(seen.insert(link.get()).second) << link->name << " reached twice";
    ASSERT_EQ(link->child_links.size(), link->child_joints.size());
    for (std::size_t i = 0; i < link->child_links.size(); ++i)
    {
      EXPECT_EQ(link->child_links[i]->parent_joint, link->child_joints[i]);
      EXPECT_EQ(link->child_links[i]->getParent(), link);
      pending.push_back(link->child_links[i]);
    }
    for (const auto& collision : link->collision_array)
    {
      EXPECT_TRUE(usableSizes(*collision->geometry)) << link->name;
    }
  }
  EXPECT_EQ(seen.size(), model.links_.size());
  for (const auto& entry : model.joints_)
  {
    const auto& limits = entry.second->limits;
    EXPECT_TRUE(!limits || limits->lower <= limits->upper) << entry.first;
  }
}

TEST(UrdfMutations, NeverCrashAndWhatParsesIsATree)
{
  const std::string original = arm_descriptions::readFile(arm_descriptions::kArm6Dir + arm_descriptions::kArm6Urdf);
  const int depth = libraryNesting(original);
  EXPECT_TRUE(urdf::nestedDeeperThan(original, depth - 1));
  EXPECT_FALSE(urdf::nestedDeeperThan(original, depth));

  ConsoleCapture capture;
  TextMutator mutator(20261206);
  int parsed = 0;
  constexpr int kCases = 2500;
  for (int i = 0; i < kCases && !HasFailure(); ++i)
  {
    const std::string text = mutator.mutate(original);
    if (urdf::invalidUtf8Offset(text) == std::string::npos && !urdf::nestedDeeperThan(text, kCheckedDepth))
    {
      EXPECT_TRUE(guardCoversLibraryNesting(text));
    }
    capture.clear();
    const auto model = urdf::parseURDF(text);
    parsed += model ? 1 : 0;
    if (model)
    {
      expectTree(*model);
    }
    EXPECT_TRUE(model || !capture.atLeast(console_bridge::CONSOLE_BRIDGE_LOG_ERROR).empty()) << "refused silently";
    if (HasFailure())
    {
      ADD_FAILURE() << "mutation " << i << ":\n" << text;
    }
  }
  // Both outcomes must be exercised for the run to mean something.
  EXPECT_GT(parsed, kCases / 10);
  EXPECT_LT(parsed, kCases * 9 / 10);
}
}  // namespace
