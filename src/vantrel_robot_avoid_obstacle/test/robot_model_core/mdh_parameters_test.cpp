#include "robot_model/core/fixed_joint_model.h"
#include "robot_model/core/kinematics_solver_record.h"
#include "robot_model/core/revolute_joint_model.h"
#include "test/kinematics/arm_tables.h"

#include <gtest/gtest.h>

#include <cmath>

namespace robot_model {
namespace core {
namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

constexpr double kHalfPi = arm_tables::kHalfPi;

JointOrigin origin(double x, double y, double z, double roll, double pitch, double yaw)
{
  return { x, y, z, roll, pitch, yaw };
}

// The joint origin that the description writes for one MDH row.
JointOrigin originOfMdhRow(double zd, double xa, double alpha, double qzero)
{
  JointOrigin result{ xa, -std::sin(alpha) * zd, std::cos(alpha) * zd, 0.0, 0.0, 0.0 };
  if (alpha == 0.0) {
    result.yaw_ = qzero;
  } else if (alpha > 0.0) {
    result.roll_ = kHalfPi;
    result.pitch_ = -qzero;
  } else {
    result.roll_ = -kHalfPi;
    result.pitch_ = qzero;
  }
  return result;
}

TEST(MdhParametersTest, DerivedFromRollAndYawOrigins)
{
  FixedJointModel rolled("rolled", 0, 0);
  rolled.setOrigin(origin(0.1, 0.2, 0.3, kHalfPi, 0.0, 0.0));
  ASSERT_EQ(rolled.generateMdhParameters(), 0);
  EXPECT_NEAR(rolled.getMdhParameters().xa_, 0.1, 1e-15);
  EXPECT_NEAR(rolled.getMdhParameters().alpha_, kHalfPi, 1e-15);
  EXPECT_NEAR(rolled.getMdhParameters().qzero_, 0.0, 1e-15);
  EXPECT_NEAR(rolled.getMdhParameters().zd_, -0.2, 1e-15);
  // y cos(roll) + z sin(roll) = 0.3: the offset leaves the MDH plane.
  EXPECT_EQ(rolled.getMdhStatus(), MdhStatus::TRANSLATION_NOT_MDH);

  FixedJointModel yawed("yawed", 0, 0);
  yawed.setOrigin(origin(0.1, 0.0, 0.2, 0.0, 0.0, 0.3));
  ASSERT_EQ(yawed.generateMdhParameters(), 0);
  EXPECT_NEAR(yawed.getMdhParameters().qzero_, 0.3, 1e-15);
  EXPECT_NEAR(yawed.getMdhParameters().zd_, 0.2, 1e-15);
  EXPECT_EQ(yawed.getMdhStatus(), MdhStatus::VALID);
}

TEST(MdhParametersTest, RotationsWithoutMdhFormAreRejected)
{
  for (const JointOrigin& bad : { origin(0.1, 0.0, 0.2, kHalfPi, 0.0, 0.3), origin(0.1, 0.0, 0.2, 0.0, 0.1, 0.0),
                                  origin(0.1, 0.0, 0.2, kHalfPi, 0.1, 0.3) }) {
    FixedJointModel joint("bad", 0, 0);
    joint.setOrigin(bad);
    CaptureStdout();
    EXPECT_EQ(joint.generateMdhParameters(), -1);
    EXPECT_EQ(GetCapturedStdout(), "Matrix R_zero0 is not ok.\n");
    EXPECT_EQ(joint.getMdhParameters().xa_, 0.0);
    EXPECT_EQ(joint.getMdhStatus(), MdhStatus::ROTATION_NOT_MDH);
  }
}

TEST(MdhParametersTest, RevoluteJointsNeedTheZAxis)
{
  RevoluteJointModel joint("tilted", 0, 0);
  joint.setOrigin(origin(0.1, 0.0, 0.2, 0.0, 0.0, 0.0));
  joint.setAxis(Eigen::Vector3d::UnitX());
  EXPECT_EQ(joint.generateMdhParameters(), 0);
  EXPECT_EQ(joint.getMdhStatus(), MdhStatus::AXIS_NOT_Z);
  EXPECT_STREQ(getMdhStatusText(joint.getMdhStatus()), "revolute axis is not (0, 0, 1)");
  joint.setAxis(-Eigen::Vector3d::UnitZ());
  joint.generateMdhParameters();
  EXPECT_EQ(joint.getMdhStatus(), MdhStatus::AXIS_NOT_Z);
  joint.setAxis(Eigen::Vector3d::UnitZ());
  joint.generateMdhParameters();
  EXPECT_EQ(joint.getMdhStatus(), MdhStatus::VALID);
  EXPECT_EQ(RevoluteJointModel("fresh", 0, 0).getMdhStatus(), MdhStatus::NOT_COMPUTED);
}

void expectDesignedTable(const arm_tables::MdhTable& table)
{
  for (std::size_t i = 0; i < table.zds.size(); ++i) {
    RevoluteJointModel joint("joint", i, i);
    joint.setAxis(Eigen::Vector3d::UnitZ());
    joint.setOrigin(originOfMdhRow(table.zds[i], table.xas[i], table.alphas[i], table.qzeros[i]));
    ASSERT_EQ(joint.generateMdhParameters(), 0) << "joint " << i + 1;
    EXPECT_EQ(joint.getMdhStatus(), MdhStatus::VALID) << "joint " << i + 1;
    const MdhParameters& mdh = joint.getMdhParameters();
    EXPECT_NEAR(mdh.zd_, table.zds[i], 1e-12) << "joint " << i + 1;
    EXPECT_NEAR(mdh.xa_, table.xas[i], 1e-12) << "joint " << i + 1;
    EXPECT_NEAR(mdh.alpha_, table.alphas[i], 1e-12) << "joint " << i + 1;
    EXPECT_NEAR(mdh.qzero_, table.qzeros[i], 1e-12) << "joint " << i + 1;
  }
}

TEST(MdhParametersTest, ArmOriginsGiveTheDesignedTables)
{
  expectDesignedTable(arm_tables::arm6());
  expectDesignedTable(arm_tables::arm5());
}

TEST(KinematicsSolverRecordTest, EachMatchGetsAFreshSolverWhenItsValuesFit)
{
  const std::vector<KinematicsSolverRecord> records = makeKinematicsSolverRecords();
  ASSERT_EQ(records.size(), 2u);
  EXPECT_EQ(records[0].dof_, 6);
  EXPECT_EQ(records[0].alpha_sequence_, arm_tables::arm6().alphas);
  EXPECT_EQ(records[1].dof_, 5);
  EXPECT_EQ(records[1].alpha_sequence_, arm_tables::arm5().alphas);

  const arm_tables::MdhTable arm6 = arm_tables::arm6();
  const arm_tables::MdhTable arm5 = arm_tables::arm5();
  CaptureStdout();
  const auto first = records[0].createSolver(arm6.zds, arm6.xas, arm6.alphas, arm6.qzeros);
  const auto second = records[0].createSolver(arm6.zds, arm6.xas, arm6.alphas, arm6.qzeros);
  const auto five_axis = records[1].createSolver(arm5.zds, arm5.xas, arm5.alphas, arm5.qzeros);
  std::vector<double> offset_wrist = arm6.zds;
  offset_wrist[4] = 0.02;
  const auto rejected = records[0].createSolver(offset_wrist, arm6.xas, arm6.alphas, arm6.qzeros);
  const auto wrong_kind = records[1].createSolver(arm6.zds, arm6.xas, arm6.alphas, arm6.qzeros);
  const std::string output = GetCapturedStdout();
  ASSERT_NE(first, nullptr);
  ASSERT_NE(second, nullptr);
  EXPECT_NE(first, second);
  EXPECT_EQ(first->getDof(), 6);
  ASSERT_NE(five_axis, nullptr);
  EXPECT_EQ(five_axis->getDof(), 5);
  EXPECT_EQ(rejected, nullptr);
  EXPECT_EQ(wrong_kind, nullptr);
  EXPECT_NE(output.find("the mdh parameters do not fit the closed form: zd of joint 5 must be 0\n"), std::string::npos);
  EXPECT_NE(output.find("the size of zds,xas,alphas,qzeros not equal\n"), std::string::npos);
}

}  // namespace
}  // namespace core
}  // namespace robot_model
