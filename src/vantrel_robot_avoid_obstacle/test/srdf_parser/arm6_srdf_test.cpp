// The semantic description of the arm the whole system uses.
#include <string>
#include <vector>

#include "test/srdf_parser/srdf_fixture.h"
#include "test/urdf_parser/arm6_files.h"

namespace
{
const urdf::ModelInterface* arm6()
{
  static const std::shared_ptr<urdf::ModelInterface> model = urdf::parseURDFFile(kArm6Urdf);
  return model.get();
}

TEST_F(SrdfTest, Arm6LoadsQuietlyWithItsCollisionPairs)
{
  ASSERT_TRUE(arm6());
  const srdf::Model& srdf = load(readFile(kArm6Srdf), *arm6());
  EXPECT_TRUE(reported().empty());
  EXPECT_EQ(srdf.getName(), "arm6");

  // Groups, states and the end effector are checked on the built model.
  EXPECT_EQ(srdf.getGroups().size(), 2u);
  EXPECT_EQ(srdf.getGroupStates().size(), 2u);
  ASSERT_EQ(srdf.getVirtualJoints().size(), 1u);
  EXPECT_EQ(srdf.getVirtualJoints()[0].parent_frame_, "world");
  const auto& pairs = srdf.getDisabledCollisionPairs();
  ASSERT_EQ(pairs.size(), 16u);
  EXPECT_EQ(pairs[0].link1_ + " " + pairs[0].link2_ + " " + pairs[0].reason_, "base_link link1 Adjacent");
  EXPECT_EQ(pairs[15].reason_, "Gripper margin");
  EXPECT_TRUE(srdf.getEnabledCollisionPairs().empty());
}

// The exact-output check of the loader's messages.
TEST_F(SrdfTest, Arm6UnknownNamesAreDroppedWithAWarning)
{
  std::string text = readFile(kArm6Srdf);
  text.insert(text.rfind("</robot>"), "<disable_collisions link1=\"link6\" link2=\"tool0\" reason=\"Never\"/>\n"
                                      "<disable_default_collisions link=\"tool0\"/>\n");
  ASSERT_TRUE(arm6());
  const srdf::Model& srdf = load(text, *arm6());
  EXPECT_EQ(srdf.getDisabledCollisionPairs().size(), 16u);
  EXPECT_TRUE(srdf.getNoDefaultCollisionLinks().empty());
  EXPECT_EQ(reported(), (Strings{"WARN 547 Link 'tool0' is not known to URDF. Cannot specify collision default.",
                                 "WARN 577 Link 'tool0' is not known to URDF. Cannot disable/enable collisons."}));
}
}  // namespace
