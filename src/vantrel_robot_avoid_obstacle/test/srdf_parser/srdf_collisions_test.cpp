// Sphere approximations, collision defaults and collision pairs.
#include <string>

#include "test/srdf_parser/srdf_fixture.h"

namespace
{
std::string spheres(const std::string& link, const std::string& children)
{
  return "<link_sphere_approximation link=\"" + link + "\">" + children + "</link_sphere_approximation>";
}

TEST_F(SrdfTest, ZeroRadiiGiveWayToPositiveOnes)
{
  const srdf::Model& model =
      loadBody(spheres("link1", R"(<sphere center="0 0 0" radius="0"/><sphere center="1 2 3" radius="0.1"/>)") +
               spheres("link2", R"(<sphere center="5 5 5" radius="0"/><sphere center="1 1 1" radius="-1"/>)") +
               spheres("tool", R"(<sphere center="1 2" radius="0.1"/><sphere radius="0.1"/>
                                  <sphere center="0 0 0" radius="r"/><sphere center="0 0 0" radius="1e999"/>)") +
               spheres(" ghost", "<sphere center=\"0 0 0\" radius=\"1\"/>"));
  const auto& all = model.getLinkSphereApproximations();
  ASSERT_EQ(all.size(), 2u) << "a link whose every sphere was rejected gets no record";
  ASSERT_EQ(all[0].spheres_.size(), 1u);
  EXPECT_EQ(all[0].spheres_[0].radius_, 0.1);
  EXPECT_EQ(all[0].spheres_[0].center_y_, 2.0);
  // Only zero or negative radii: one zero sphere at the origin.
  ASSERT_EQ(all[1].spheres_.size(), 1u);
  EXPECT_EQ(all[1].spheres_[0].center_x_, 0.0);
  EXPECT_EQ(all[1].spheres_[0].radius_, 0.0);
  expectReports({"ERROR sphere 0 for link 'tool'", "ERROR sphere 1 for link 'tool'", "ERROR sphere 2 for link 'tool'",
                 "ERROR sphere 3 for link 'tool'", "ERROR ' ghost'"});
}

TEST_F(SrdfTest, CollisionPairsKeepOrderAndRepeats)
{
  const srdf::Model& model = loadBody(R"(
    <disable_collisions link1="link1" link2=" link2" reason=" Adjacent "/>
    <disable_collisions link1="link2" link2="link1"/>
    <disable_collisions link1="link1" link2="ghost"/>
    <disable_collisions link1="link1"/>
    <enable_collisions link1="tool" link2="camera"/>
    <disable_default_collisions link="camera"/><disable_default_collisions link="ghost"/>)");
  const auto& disabled = model.getDisabledCollisionPairs();
  ASSERT_EQ(disabled.size(), 2u);
  EXPECT_EQ(disabled[0].link2_ + disabled[0].reason_, "link2 Adjacent ");
  EXPECT_EQ(disabled[1].link1_ + disabled[1].reason_, "link2");
  ASSERT_EQ(model.getEnabledCollisionPairs().size(), 1u);
  EXPECT_EQ(model.getNoDefaultCollisionLinks(), (Strings{"camera"}));
  expectReports({"WARN 'ghost'", "WARN 'ghost'", "ERROR pair of links"});
}
}  // namespace
