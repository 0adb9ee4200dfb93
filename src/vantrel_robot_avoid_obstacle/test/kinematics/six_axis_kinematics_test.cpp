#include "kinematics/six_axis_kinematics.h"
#include "test/kinematics/arm_tables.h"
#include "test/kinematics/pose_sweep.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <string>

namespace {

using testing::internal::CaptureStdout;
using testing::internal::GetCapturedStdout;

const std::vector<double> kQStar{ 0.1, -0.2, 0.3, -0.4, 0.5, -0.6 };

class SixAxisKinematicsTest : public testing::Test
{
protected:
  void SetUp() override
  {
    const arm_tables::MdhTable table = arm_tables::arm6();
    CaptureStdout();
    ASSERT_EQ(solver_.init(table.zds, table.xas, table.alphas, table.qzeros), 0);
    GetCapturedStdout();
  }

  int solveArmType(const Eigen::MatrixXd& pose, int k, std::vector<double>& q)
  {
    const int arm_type[3] = { (k >> 2) & 1, (k >> 1) & 1, k & 1 };
    return solver_.inverseKinematicsForArmType(pose, arm_type, q);
  }

  SixAxisKinematics solver_;
};

void expectNear(const std::vector<double>& actual, const std::vector<double>& expected, double tolerance)
{
  ASSERT_EQ(actual.size(), expected.size());
  for (std::size_t i = 0; i < actual.size(); ++i) {
    EXPECT_NEAR(actual[i], expected[i], tolerance) << "joint " << i;
  }
}

TEST_F(SixAxisKinematicsTest, ForwardKinematicsMatchesReferencePoses)
{
  Eigen::Matrix4d stretched;
  stretched << 0, 0, 1, 0.48, 0, -1, 0, -0.10, 1, 0, 0, 0.73, 0, 0, 0, 1;
  EXPECT_TRUE(solver_.forwardKinematics(std::vector<double>(6, 0.0)).isApprox(stretched, 1e-9));

  const Eigen::MatrixXd pose = solver_.forwardKinematics(kQStar);
  EXPECT_NEAR(pose(0, 3), 0.546842536, 1e-9);
  EXPECT_NEAR(pose(1, 3), -0.030624066, 1e-9);
  EXPECT_NEAR(pose(2, 3), 0.798977345, 1e-9);
  EXPECT_NEAR(pose(0, 0), -0.516248927, 1e-9);
  EXPECT_NEAR(pose(0, 1), -0.288641543, 1e-9);
  EXPECT_NEAR(pose(0, 2), 0.806333123, 1e-9);

  CaptureStdout();
  EXPECT_EQ(solver_.forwardKinematics({ 0.1, 0.2, 0.3, 0.4, 0.5 }).size(), 0);
  EXPECT_EQ(GetCapturedStdout(), "forwardKinematics needs 6 joint values, got 5\n");
}

TEST_F(SixAxisKinematicsTest, EveryConfigurationSolvesAndTheChoiceIsTheOriginal)
{
  const Eigen::MatrixXd pose = solver_.forwardKinematics(kQStar);
  CaptureStdout();
  for (int k = 0; k < 8; ++k) {
    std::vector<double> q;
    ASSERT_EQ(solveArmType(pose, k, q), 0) << "configuration " << k;
    if (k == 6) {
      // The original's other wrist.
      expectNear(q, { 0.1, -0.2, 0.3, 2.741592654, -0.5, 2.541592654 }, 1e-9);
    }
  }

  std::vector<double> chosen;
  EXPECT_EQ(solver_.inverseKinematics(pose, chosen), 0);
  const std::string output = GetCapturedStdout();
  expectNear(chosen, kQStar, 1e-9);
  EXPECT_NE(output.find("第一次逆解有8组解\n"), std::string::npos);
  EXPECT_NE(output.find("q:0.1,-0.2,0.3,-0.4,0.5,-0.6\n"), std::string::npos);
}

// Joint 6 used to come out up to half a turn wrong with joints 4 and 5 both at quarter turns.
TEST_F(SixAxisKinematicsTest, PosesOfSpecialAnglesSolveBackToTheirJoints)
{
  const arm_tables::MdhTable table = arm_tables::arm6();
  // Joint 3 where the upper arm lines up with the line from the elbow to the wrist centre.
  const double elbow_straight = arm_tables::kHalfPi - std::atan2(table.xas[3], table.zds[3]);
  // Regular unless joint 5 is straight, the elbow straight or folded, or the wrist centre on the
  // shoulder's offset circle.
  const auto regular = [&](const std::vector<double>& q) {
    const Eigen::MatrixXd pose = solver_.forwardKinematics(q);
    const Eigen::Vector3d wrist = pose.block<3, 1>(0, 3) - table.zds[5] * pose.block<3, 1>(0, 2);
    return std::fabs(std::sin(q[4])) > 0.01 && std::fabs(std::sin(q[2] - elbow_straight)) > 0.05 &&
           std::hypot(wrist.x(), wrist.y()) - table.zds[2] > 0.003;
  };
  pose_sweep::Tally tally;
  CaptureStdout();
  pose_sweep::forEachGridVector({ 0.7, -0.4, 1.1, -2.3, 1.3, 0.5 },
                                [&](std::vector<double>& q) { tally.add(solver_, q, regular(q)); });
  const double half_pi = arm_tables::kHalfPi;
  tally.add(solver_, { -1.15653, -1.62027, 2.55434, -half_pi, half_pi, 0.0 }, true);
  tally.add(solver_, { 2.0, 0.3, -2.6, half_pi, -half_pi, 1.0 }, true);
  pose_sweep::forEachRandomVector(6, 7, 300, [&](std::vector<double>& q) { tally.add(solver_, q, regular(q)); });
  GetCapturedStdout();
  EXPECT_EQ(tally.wrong, "");
  EXPECT_EQ(tally.missed, "");
  EXPECT_GT(tally.solutions, 100000);
}

TEST_F(SixAxisKinematicsTest, SingularPosesReportTheirCodes)
{
  const Eigen::MatrixXd stretched = solver_.forwardKinematics(std::vector<double>(6, 0.0));
  Eigen::MatrixXd overhead = Eigen::MatrixXd::Identity(4, 4);
  overhead(2, 3) = 1.0;
  std::vector<double> q;
  std::vector<std::vector<double>> solutions{ { 1.0 } };
  CaptureStdout();
  EXPECT_EQ(solveArmType(stretched, 6, q), 1003);
  EXPECT_EQ(solveArmType(stretched, 7, q), 1003);
  EXPECT_EQ(q.size(), 6u);
  for (int k = 0; k < 8; ++k) {
    EXPECT_EQ(solveArmType(overhead, k, q), 1001) << "configuration " << k;
  }
  EXPECT_EQ(solver_.inverseKinematics(overhead, q), -1);
  EXPECT_EQ(solver_.inverseKinematicsAllArmTypes(overhead, solutions), -1);
  const std::string output = GetCapturedStdout();
  EXPECT_TRUE(solutions.empty());
  // Each solve of the overhead pose reports all eight configurations; both whole solves add the no-solution line.
  std::string all_overhead;
  for (int k = 0; k < 8; ++k) {
    all_overhead += "overhead singularity error!!!\n";
  }
  const std::string none = all_overhead + "第一次所有臂参数都无法逆解\n";
  EXPECT_EQ(output, "j5 singularity error!!!\nj5 singularity error!!!\n" + all_overhead + none + none);
}

TEST_F(SixAxisKinematicsTest, PosesWithoutAnExactSolutionFail)
{
  const Eigen::MatrixXd pose = solver_.forwardKinematics(kQStar);
  std::vector<double> q;
  std::vector<std::vector<double>> solutions;
  for (double bad : { std::numeric_limits<double>::quiet_NaN(), std::numeric_limits<double>::infinity() }) {
    for (int entry : { 0, 7, 14, 15 }) {
      Eigen::MatrixXd broken = pose;
      broken(entry % 4, entry / 4) = bad;
      CaptureStdout();
      EXPECT_EQ(solveArmType(broken, 7, q), 1006);
      EXPECT_EQ(solver_.inverseKinematics(broken, q), -1);
      EXPECT_EQ(solver_.inverseKinematicsAllArmTypes(broken, solutions), -1);
      EXPECT_NE(GetCapturedStdout().find("the input pose is not a finite 4x4 matrix!!!"), std::string::npos);
      EXPECT_TRUE(solutions.empty());
    }
  }
  CaptureStdout();
  EXPECT_EQ(solveArmType(Eigen::MatrixXd::Identity(3, 3), 7, q), 1006);
  GetCapturedStdout();

  // A rotation part that is no rotation: the closed form still yields angles, whose pose differs.
  Eigen::MatrixXd skewed = pose;
  skewed.col(0) *= 1.0 + 1e-6;
  CaptureStdout();
  EXPECT_EQ(solveArmType(skewed, 7, q), 1007);
  EXPECT_EQ(solver_.inverseKinematicsAllArmTypes(skewed, solutions), -1);
  const std::string output = GetCapturedStdout();
  EXPECT_EQ(output.substr(0, output.find('\n') + 1), "the inverseKinematics solution does not reproduce the pose!!!\n");
}

TEST_F(SixAxisKinematicsTest, ByReferenceTakesTheConfigurationFromTheReference)
{
  // The reference's raw values name shoulder set (reach 0.0946 >= 0), elbow clear (q3 >= 0) and wrist set.
  const Eigen::MatrixXd pose = solver_.forwardKinematics(kQStar);
  std::vector<double> expected, q;
  ASSERT_EQ(solveArmType(pose, 5, expected), 0);
  EXPECT_EQ(solver_.inverseKinematicsByReference(pose, kQStar, q), 0);
  expectNear(q, expected, 1e-12);
  CaptureStdout();
  EXPECT_EQ(solver_.inverseKinematicsByReference(pose, { 0.1, -0.2, 0.3, -0.4, 0.5, 20.0 }, q), 1005);
  EXPECT_EQ(solver_.inverseKinematicsByReference(pose, { 0.1, -0.2 }, q), -1);
  EXPECT_EQ(GetCapturedStdout(),
            "slove j6 error!!!\ninverseKinematicsByReference needs 6 reference values, got 2\n");
}

TEST(SixAxisKinematicsInitTest, RejectsBadTablesAndValuesOutsideTheClosedForm)
{
  const arm_tables::MdhTable table = arm_tables::arm6();
  SixAxisKinematics solver;
  CaptureStdout();
  EXPECT_EQ(solver.init(table.zds, { 0.0, 0.05, 0.40, 0.03, 0.0 }, table.alphas, table.qzeros), -1);
  std::vector<double> wrong_twists = table.alphas;
  wrong_twists[5] = -arm_tables::kHalfPi;
  EXPECT_EQ(solver.init(table.zds, table.xas, wrong_twists, table.qzeros), -2);
  EXPECT_EQ(GetCapturedStdout(),
            "the size of zds,xas,alphas,qzeros not equal\nalpha sequence not equal\n"
            "the input robot type is not right!!!\n");
  EXPECT_EQ(solver.getAlpha(), std::vector<double>(6, 0.0));

  const struct
  {
    bool on_zd;
    int joint;  // 1-based
    double value;
    const char* message;
  } broken_assumptions[] = {
    { true, 2, 0.01, "zd of joint 2 must be 0" },     { true, 5, -0.01, "zd of joint 5 must be 0" },
    { false, 1, 0.01, "xa of joint 1 must be 0" },    { false, 5, 0.01, "xa of joint 5 must be 0" },
    { false, 6, 0.01, "xa of joint 6 must be 0" },    { false, 3, 0.0, "xa of joint 3 must not be 0" },
    { true, 4, -0.35, "zd of joint 4 must be positive" }, { true, 4, 0.0, "zd of joint 4 must be positive" }
  };
  for (const auto& broken : broken_assumptions) {
    arm_tables::MdhTable changed = table;
    (broken.on_zd ? changed.zds : changed.xas)[broken.joint - 1] = broken.value;
    CaptureStdout();
    EXPECT_EQ(solver.init(changed.zds, changed.xas, changed.alphas, changed.qzeros), -3);
    EXPECT_EQ(GetCapturedStdout(),
              std::string("the mdh parameters do not fit the closed form: ") + broken.message + "\n");
  }
}

}  // namespace
