#include <cmath>
#include <random>
#include <vector>

#include <Eigen/Geometry>
#include <gtest/gtest.h>

#include "grab/pose_conversion.h"

TEST(PoseConversion, RoundTripsUnitQuaternionsUpToTheirSign)
{
  // The half and quarter turns about the axes first, then random draws.
  const double h = std::sqrt(0.5);
  std::vector<Eigen::Quaterniond> quaternions = {{1, 0, 0, 0}, {-1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0},
                                                 {0, 0, 0, 1}, {h, 0, 0, h},  {h, 0, h, 0},  {0, h, -h, 0},
                                                 {-h, 0, 0, h}, {0.5, 0.5, 0.5, 0.5}, {0.5, -0.5, -0.5, -0.5}};
  std::mt19937 generator(20261206);
  std::normal_distribution<double> normal;
  while (quaternions.size() < 10000)
  {
    quaternions.push_back(Eigen::Quaterniond(normal(generator), normal(generator), normal(generator), normal(generator)).normalized());
  }
  for (const Eigen::Quaterniond& q : quaternions)
  {
    const Pose7 pose = {normal(generator), normal(generator), normal(generator), q.x(), q.y(), q.z(), q.w()};
    const Eigen::Matrix4d matrix = poseToIsometry(pose);
    ASSERT_LT((matrix.topLeftCorner<3, 3>() - q.toRotationMatrix()).cwiseAbs().maxCoeff(), 1e-12);
    const Pose7 back = isometryToPose(matrix);
    const double sign = back[3] * q.x() + back[4] * q.y() + back[5] * q.z() + back[6] * q.w() < 0 ? -1.0 : 1.0;
    for (int i = 0; i < 7; ++i)
    {
      ASSERT_NEAR(back[i], i < 3 ? pose[i] : sign * pose[i], 1e-12) << i << " of " << q.coeffs().transpose();
    }
    // A positive trace keeps w positive: w > 0.5 comes back as it was, w < -0.5 negated.
    ASSERT_TRUE(std::fabs(q.w()) <= 0.5 || sign == (q.w() > 0 ? 1.0 : -1.0)) << q.coeffs().transpose();
  }
}

TEST(PoseConversion, AZeroQuaternionGivesNoRotationRatherThanNonNumbers)
{
  Eigen::Matrix4d expected = Eigen::Matrix4d::Identity();
  expected.topRightCorner<3, 1>() << 0.1, -0.2, 0.3;
  EXPECT_EQ(poseToIsometry({0.1, -0.2, 0.3, 0, 0, 0, 0}), expected);
}
