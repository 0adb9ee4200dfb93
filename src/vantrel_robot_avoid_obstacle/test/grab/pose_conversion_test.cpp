#include <cmath>
#include <vector>

#include <Eigen/Geometry>
#include <gtest/gtest.h>

#include "grab/pose_conversion.h"

TEST(PoseConversion, RoundTripsUnitQuaternionsUpToTheirSign)
{
  // The half and quarter turns about the axes, and turns with each component the largest, of either sign.
  const double h = std::sqrt(0.5);
  const std::vector<Eigen::Quaterniond> quaternions = {
      {1, 0, 0, 0}, {-1, 0, 0, 0}, {0, 1, 0, 0}, {0, 0, 1, 0}, {0, 0, 0, 1}, {h, 0, 0, h}, {h, 0, h, 0},
      {0, h, -h, 0}, {-h, 0, 0, h}, {0.5, 0.5, 0.5, 0.5}, {0.5, -0.5, -0.5, -0.5}, {0.1, 0.7, -0.1, 0.7},
      {0.1, -0.9, 0.3, 0.3}, {-0.2, 0.1, 0.9, -0.4}};
  for (const Eigen::Quaterniond& raw : quaternions)
  {
    const Eigen::Quaterniond q = raw.normalized();
    const Pose7 pose = {0.3, -1.5, 2.25, q.x(), q.y(), q.z(), q.w()};
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
