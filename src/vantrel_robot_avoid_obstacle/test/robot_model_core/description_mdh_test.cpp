// The arm descriptions against the solvers: each arm joint of the built model must carry the designed MDH table (the
// solvers' closed forms are written for these tables).
#include <gtest/gtest.h>

#include <string>

#include "description_fixture.h"
#include "test/kinematics/arm_tables.h"

namespace {

using robot_model::core::MdhStatus;

void expectDesignedTable(const robot_model::core::RobotModel& model, const arm_tables::MdhTable& table) {
  ASSERT_TRUE(model.isValid()) << model.getName();
  for (std::size_t i = 0; i < table.zds.size(); ++i) {
    const auto* joint = model.getJointModel("joint" + std::to_string(i + 1));
    ASSERT_NE(joint, nullptr);
    EXPECT_EQ(joint->getMdhStatus(), MdhStatus::VALID) << joint->getName();
    const auto& mdh = joint->getMdhParameters();
    EXPECT_NEAR(mdh.zd_, table.zds[i], 1e-12) << joint->getName();
    EXPECT_NEAR(mdh.xa_, table.xas[i], 1e-12) << joint->getName();
    EXPECT_NEAR(mdh.alpha_, table.alphas[i], 1e-12) << joint->getName();
    EXPECT_NEAR(mdh.qzero_, table.qzeros[i], 1e-12) << joint->getName();
  }
}

TEST(DescriptionMdhTest, ArmJointOriginsGiveTheDesignedTables) {
  expectDesignedTable(*rao_test::arm6Model(), arm_tables::arm6());
  expectDesignedTable(*rao_test::buildModel(rao_test::arm5Directory(), rao_test::kArm5Urdf, rao_test::kArm5Srdf),
                      arm_tables::arm5());
}

}  // namespace
