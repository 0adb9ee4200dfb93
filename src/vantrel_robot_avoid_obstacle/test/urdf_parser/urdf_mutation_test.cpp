// Thousands of damaged copies of the arm's URDF: each parses cleanly or is refused, and what parses is a tree.
#include <cmath>
#include <fstream>
#include <iterator>
#include <set>
#include <string>

#include <gtest/gtest.h>

#include "robot_model/urdf_parser/urdf_parser.h"
#include "test/fuzz/text_mutator.h"
#include "test/support/console_capture.h"

namespace
{
const std::string kArm6Urdf = std::string(RAO_SOURCE_DIR) +
                              "/src/robot_avoid_obstacle/resources/robot_descriptions/arm6_description/urdf/"
                              "arm6_and_whole_gripper_linker_shim_camera.urdf";

bool isSize(double value)
{
  return std::isfinite(value) && value >= 0.0;
}

void expectUsableGeometry(const urdf::Geometry& geometry)
{
  switch (geometry.type)
  {
    case urdf::Geometry::SPHERE:
      EXPECT_TRUE(isSize(static_cast<const urdf::Sphere&>(geometry).radius));
      break;
    case urdf::Geometry::BOX:
    {
      const urdf::Vector3& dim = static_cast<const urdf::Box&>(geometry).dim;
      EXPECT_TRUE(isSize(dim.x) && isSize(dim.y) && isSize(dim.z));
      break;
    }
    case urdf::Geometry::CYLINDER:
    {
      const auto& cylinder = static_cast<const urdf::Cylinder&>(geometry);
      EXPECT_TRUE(isSize(cylinder.length) && isSize(cylinder.radius));
      break;
    }
    case urdf::Geometry::MESH:
      break;
  }
}

// Every link is reached exactly once from the root, through its own parent joint.
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
      expectUsableGeometry(*collision->geometry);
    }
  }
  EXPECT_EQ(seen.size(), model.links_.size());
  for (const auto& entry : model.joints_)
  {
    if (entry.second->limits)
    {
      EXPECT_LE(entry.second->limits->lower, entry.second->limits->upper) << entry.first;
    }
  }
}

TEST(UrdfMutations, NeverCrashAndWhatParsesIsATree)
{
  std::ifstream stream(kArm6Urdf);
  const std::string original((std::istreambuf_iterator<char>(stream)), std::istreambuf_iterator<char>());
  ASSERT_FALSE(original.empty());

  ConsoleCapture capture;
  TextMutator mutator(20261206);
  int parsed = 0;
  constexpr int kCases = 2500;
  for (int i = 0; i < kCases; ++i)
  {
    const std::string text = mutator.mutate(original);
    capture.clear();
    const auto model = urdf::parseURDF(text);
    if (model)
    {
      ++parsed;
      expectTree(*model);
    }
    else
    {
      EXPECT_FALSE(capture.atLeast(console_bridge::CONSOLE_BRIDGE_LOG_ERROR).empty()) << "refused without a reason";
    }
    if (HasFailure())
    {
      ADD_FAILURE() << "mutation " << i << ":\n" << text;
      break;
    }
  }
  // Both outcomes must be exercised for the run to mean something.
  EXPECT_GT(parsed, kCases / 10);
  EXPECT_LT(parsed, kCases * 9 / 10);
}
}  // namespace
