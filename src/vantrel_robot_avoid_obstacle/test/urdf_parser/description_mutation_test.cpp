// Damaged copies of arm6's URDF and SRDF: refused, or a tree whose every kept semantic entry names what exists.
#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <fstream>
#include <memory>
#include <set>
#include <string>
#include <utility>
#include <vector>

#include <gtest/gtest.h>

#include "robot_model/srdf_parser/model.h"
#include "robot_model/urdf_parser/urdf_parser.h"
#include "test/fuzz/xml_nesting_check.h"
#include "test/support/arm_descriptions.h"
#include "test/support/console_capture.h"

namespace
{
// Deterministic byte and structure mutations of an XML text, the same on every platform.
class TextMutator
{
public:
  explicit TextMutator(std::uint64_t seed) : state_(seed) {}

  std::string mutate(std::string text)
  {
    const std::size_t count = 1 + below(3);
    for (std::size_t i = 0; i < count && !text.empty(); ++i)
    {
      mutateOnce(text);
    }
    return text;
  }

private:
  std::uint64_t next()
  {
    // splitmix64
    std::uint64_t z = (state_ += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }

  std::size_t below(std::size_t n) { return n == 0 ? 0 : static_cast<std::size_t>(next() % n); }

  // The [begin, end) of the line holding the byte at `at`, its newline included.
  static std::pair<std::size_t, std::size_t> lineAround(const std::string& text, std::size_t at)
  {
    const std::size_t newline = at == 0 ? std::string::npos : text.rfind('\n', at - 1);
    const std::size_t end = text.find('\n', at);
    return {newline == std::string::npos ? 0 : newline + 1, end == std::string::npos ? text.size() : end + 1};
  }

  // The text between the quotes of a randomly chosen attribute value, as (begin, length); length npos if none.
  std::pair<std::size_t, std::size_t> attributeValue(const std::string& text)
  {
    std::size_t open = text.find("=\"", below(text.size()));
    open = open == std::string::npos ? text.find("=\"") : open;
    const std::size_t close = open == std::string::npos ? open : text.find('"', open + 2);
    return close == std::string::npos ? std::make_pair(std::size_t(0), close)
                                      : std::make_pair(open + 2, close - open - 2);
  }

  void mutateOnce(std::string& text)
  {
    static const char kBytes[] = "<>/\"'=&% \t\n0123456789-.eE!?\xC3\xFF";
    static const char* const kValues[] = {"",        "-1",        "1e999",    "nan",    "%s%n%s",   " 1 2 3 ",
                                          "0 0",     "1 2 3 4",   "-0.5 1 1", "0",      "revolute", "Planar",
                                          "fixed",   "base_link", "joint1",   "arm",    "1.0",      "2.0",
                                          "1 0 0 2", "&amp;",     "\xff\xfe", "1e-400", "1\t2\t3",  "  base_link  "};
    const std::size_t kind = below(9);
    const std::size_t at = below(text.size());
    switch (kind)
    {
      case 0: text[at] = kBytes[below(sizeof(kBytes) - 1)]; return;
      case 1: text.erase(at, 1 + below(64)); return;
      case 2: text.insert(below(text.size() + 1), text.substr(at, 1 + below(64))); return;
      case 3: text.resize(at); return;
    }
    if (kind <= 6)  // a line removed (4), copied (5) or moved (6)
    {
      const auto line = lineAround(text, at);
      const std::string copy = text.substr(line.first, line.second - line.first);
      text.erase(line.first, kind == 5 ? 0 : copy.size());
      text.insert(kind == 4 ? 0 : lineAround(text, below(text.size() + 1)).first, kind == 4 ? "" : copy);
      return;
    }
    // A listed value, or another attribute's value (duplicate names, cycles, self joints, unknown links).
    const auto target = attributeValue(text);
    const auto source = kind == 7 ? target : attributeValue(text);
    if (target.second != std::string::npos && source.second != std::string::npos)
    {
      text.replace(target.first, target.second,
                   kind == 7 ? kValues[below(sizeof(kValues) / sizeof(kValues[0]))] :
                               text.substr(source.first, source.second));
    }
  }

  std::uint64_t state_;
};

// Every link is reached exactly once from the root, through its own parent joint; limits are ordered.
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
  }
  EXPECT_EQ(seen.size(), model.links_.size());
  for (const auto& entry : model.joints_)
  {
    const auto& limits = entry.second->limits;
    EXPECT_TRUE(!limits || limits->lower <= limits->upper) << entry.first;
  }
}

void expectConsistent(const srdf::Model& model, const urdf::ModelInterface& urdf_model)
{
  const auto& groups = model.getGroups();
  const auto link = [&](const std::string& name) { EXPECT_TRUE(urdf_model.getLink(name)) << "link " << name; };
  const auto joint = [&](const std::string& name) { EXPECT_TRUE(model.isValidJoint(urdf_model, name)) << name; };
  const auto group = [&](const std::string& name) {
    const auto named = [&](const srdf::Model::Group& g) { return g.name_ == name; };
    EXPECT_TRUE(std::any_of(groups.begin(), groups.end(), named)) << "group " << name;
  };
  for (const auto& g : model.getGroups())
  {
    std::for_each(g.links_.begin(), g.links_.end(), link);
    std::for_each(g.joints_.begin(), g.joints_.end(), joint);
    std::for_each(g.subgroups_.begin(), g.subgroups_.end(), group);
    for (const auto& chain : g.chains_)
    {
      link(chain.first);
      link(chain.second);
    }
  }
  for (const auto& state : model.getGroupStates())
  {
    group(state.group_);
    for (const auto& values : state.joint_values_)
    {
      joint(values.first);
      EXPECT_FALSE(values.second.empty());
    }
  }
  for (const auto& virtual_joint : model.getVirtualJoints())
  {
    link(virtual_joint.child_link_);
    EXPECT_TRUE(virtual_joint.type_ == "fixed" || virtual_joint.type_ == "planar" || virtual_joint.type_ == "floating");
  }
  for (const auto& end_effector : model.getEndEffectors())
  {
    group(end_effector.component_group_);
    link(end_effector.parent_link_);
  }
  for (const auto* pairs : {&model.getDisabledCollisionPairs(), &model.getEnabledCollisionPairs()})
  {
    for (const auto& pair : *pairs)
    {
      link(pair.link1_);
      link(pair.link2_);
    }
  }
}

TEST(DescriptionMutations, NeverCrashWhatParsesIsATreeAndSemanticEntriesNameWhatExists)
{
  using arm_descriptions::kArm6Dir;
  const std::string urdf_text = arm_descriptions::readFile(kArm6Dir + arm_descriptions::kArm6Urdf);
  const std::string srdf_text = arm_descriptions::readFile(kArm6Dir + arm_descriptions::kArm6Srdf);
  const std::shared_ptr<const urdf::ModelInterface> arm6 = urdf::parseURDF(urdf_text);
  ASSERT_TRUE(arm6);
  const int depth = libraryNesting(urdf_text);
  EXPECT_TRUE(urdf::nestedDeeperThan(urdf_text, depth - 1));
  EXPECT_FALSE(urdf::nestedDeeperThan(urdf_text, depth));

  ConsoleCapture capture;
  TextMutator mutator(20261206);
  int parsed = 0;
  constexpr int kCases = 2500;
  for (int i = 0; i < kCases && !HasFailure(); ++i)
  {
    const std::string text = mutator.mutate(urdf_text);
    const std::string damaged_srdf = mutator.mutate(srdf_text);
    SCOPED_TRACE("case " + std::to_string(i) + ":\n" + text + "\n" + damaged_srdf);
    if (urdf::invalidUtf8Offset(text) == std::string::npos && !urdf::nestedDeeperThan(text, kCheckedDepth))
    {
      EXPECT_TRUE(guardCoversLibraryNesting(text));
    }
    capture.clear();
    const std::shared_ptr<const urdf::ModelInterface> model = urdf::parseURDF(text);
    EXPECT_TRUE(model || !capture.atLeast(console_bridge::CONSOLE_BRIDGE_LOG_ERROR).empty()) << "refused silently";
    if (model)
    {
      ++parsed;
      expectTree(*model);
    }
    // The intact SRDF against the damaged URDF where it parsed, and a damaged SRDF against the arm.
    for (const auto& [urdf_model, srdf] : {std::make_pair(model, srdf_text), std::make_pair(arm6, damaged_srdf)})
    {
      if (urdf_model)
      {
        // A fresh file each time: rewriting one file in place is slow on some file systems.
        const std::string path = testing::TempDir() + "srdf_mutation_" + std::to_string(i) + ".srdf";
        std::ofstream(path) << srdf;
        srdf::Model semantic;
        semantic.initFile(*urdf_model, path);
        std::remove(path.c_str());
        expectConsistent(semantic, *urdf_model);
      }
    }
  }
  // Both outcomes must be exercised for the run to mean something.
  EXPECT_GT(parsed, kCases / 10);
  EXPECT_LT(parsed, kCases * 9 / 10);
}
}  // namespace
