#include "robot_model/core/fixed_joint_model.h"
#include "robot_model/core/revolute_joint_model.h"
#include "test/kinematics/arm_tables.h"

#include <gtest/gtest.h>

namespace robot_model {
namespace core {
namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

constexpr double kHalfPi = arm_tables::kHalfPi;

TEST(MdhParametersTest, DerivedFromRollAndYawOrigins)
{
  FixedJointModel rolled("rolled", 0, 0);
  rolled.setOrigin(JointOrigin{ 0.1, 0.2, 0.3, kHalfPi, 0.0, 0.0 });
  ASSERT_EQ(rolled.generateMdhParameters(), 0);
  const MdhParameters& mdh = rolled.getMdhParameters();
  EXPECT_LT(Eigen::Vector4d(mdh.xa_ - 0.1, mdh.alpha_ - kHalfPi, mdh.qzero_, mdh.zd_ + 0.2).cwiseAbs().maxCoeff(), 1e-15);
  // y cos(roll) + z sin(roll) = 0.3: the offset leaves the MDH plane.
  EXPECT_EQ(rolled.getMdhStatus(), MdhStatus::TRANSLATION_NOT_MDH);

  FixedJointModel yawed("yawed", 0, 0);
  yawed.setOrigin(JointOrigin{ 0.1, 0.0, 0.2, 0.0, 0.0, 0.3 });
  ASSERT_EQ(yawed.generateMdhParameters(), 0);
  EXPECT_NEAR(yawed.getMdhParameters().qzero_, 0.3, 1e-15);
  EXPECT_NEAR(yawed.getMdhParameters().zd_, 0.2, 1e-15);
  EXPECT_EQ(yawed.getMdhStatus(), MdhStatus::VALID);
}

TEST(MdhParametersTest, RotationsWithoutMdhFormAreRejected)
{
  // Roll with yaw, pitch alone, and roll, pitch and yaw together.
  for (const JointOrigin& bad : { JointOrigin{ 0.1, 0.0, 0.2, kHalfPi, 0.0, 0.3 },
                                  JointOrigin{ 0.1, 0.0, 0.2, 0.0, 0.1, 0.0 },
                                  JointOrigin{ 0.1, 0.0, 0.2, kHalfPi, 0.1, 0.3 } }) {
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
  joint.setOrigin(JointOrigin{ 0.1, 0.0, 0.2, 0.0, 0.0, 0.0 });
  for (const Eigen::Vector3d& axis : { Eigen::Vector3d(1, 0, 0), Eigen::Vector3d(0, 0, -1), Eigen::Vector3d(0, 0, 1) }) {
    joint.setAxis(axis);
    EXPECT_EQ(joint.generateMdhParameters(), 0);
    EXPECT_EQ(joint.getMdhStatus(), axis.z() == 1.0 ? MdhStatus::VALID : MdhStatus::AXIS_NOT_Z) << axis.transpose();
  }
}

}  // namespace
}  // namespace core
}  // namespace robot_model
