#include <cmath>
#include <random>
#include <vector>

#include <Eigen/Geometry>
#include <gtest/gtest.h>

#include "grab/pose_conversion.h"

namespace
{
// Unit quaternions (x, y, z, w): the special turns first, then random draws.
std::vector<Eigen::Quaterniond> unitQuaternions()
{
  const double h = std::sqrt(0.5);
  std::vector<Eigen::Quaterniond> quaternions = {
      {1, 0, 0, 0},  {-1, 0, 0, 0}, {0, 1, 0, 0},  {0, 0, 1, 0}, {0, 0, 0, 1}, {h, 0, 0, h},
      {h, 0, h, 0},  {0, h, -h, 0}, {-h, 0, 0, h}, {0.5, 0.5, 0.5, 0.5}, {0.5, -0.5, -0.5, -0.5},
  };
  std::mt19937 generator(20261206);
  std::normal_distribution<double> normal;
  while (quaternions.size() < 10000)
  {
    Eigen::Quaterniond q(normal(generator), normal(generator), normal(generator), normal(generator));
    quaternions.push_back(q.normalized());
  }
  return quaternions;
}

Pose7 poseOf(const Eigen::Vector3d& position, const Eigen::Quaterniond& q)
{
  return {position.x(), position.y(), position.z(), q.x(), q.y(), q.z(), q.w()};
}
}  // namespace

TEST(PoseConversion, RoundTripsEveryUnitQuaternionUpToItsSign)
{
  std::mt19937 generator(7);
  std::uniform_real_distribution<double> coordinate(-2.0, 2.0);
  for (const Eigen::Quaterniond& q : unitQuaternions())
  {
    const Eigen::Vector3d position(coordinate(generator), coordinate(generator), coordinate(generator));
    const Pose7 pose = poseOf(position, q);
    const Eigen::Matrix4d matrix = poseToIsometry(pose);
    EXPECT_LT((matrix.topLeftCorner<3, 3>() - q.toRotationMatrix()).cwiseAbs().maxCoeff(), 1e-12);

    const Pose7 back = isometryToPose(matrix);
    const double sign = back[6] * q.w() + back[3] * q.x() + back[4] * q.y() + back[5] * q.z() < 0 ? -1.0 : 1.0;
    for (int i = 0; i < 3; ++i)
    {
      ASSERT_EQ(back[i], pose[i]);
    }
    for (int i = 3; i < 7; ++i)
    {
      ASSERT_NEAR(back[i], sign * pose[i], 1e-12) << "component " << i << " of " << q.coeffs().transpose();
    }
    // A rotation whose trace is positive keeps w positive, so w > 0.5 comes back unchanged.
    if (q.w() > 0.5)
    {
      ASSERT_EQ(sign, 1.0);
    }
    if (q.w() < -0.5)
    {
      ASSERT_EQ(sign, -1.0);
    }
    ASSERT_LT((poseToIsometry(back) - matrix).cwiseAbs().maxCoeff(), 1e-12);
  }
}

TEST(PoseConversion, UsesTheQuaternionAsGivenWithoutNormalising)
{
  const Eigen::Matrix4d identity = poseToIsometry({0.1, -0.2, 0.3, 0, 0, 0, 1});
  Eigen::Matrix4d expected = Eigen::Matrix4d::Identity();
  expected.topRightCorner<3, 1>() << 0.1, -0.2, 0.3;
  EXPECT_EQ(identity, expected);
  expected.topRightCorner<3, 1>().setZero();
  EXPECT_EQ(poseToIsometry({0, 0, 0, 0, 0, 0, 0}), expected);
  EXPECT_EQ(poseToIsometry({0, 0, 0, 0, 0, 0, 2}), expected);
  EXPECT_EQ(poseToIsometry({0, 0, 0, 0, 0, 2, 0}).col(0), Eigen::Vector4d(-7, 0, 0, 0));
  EXPECT_EQ(poseToIsometry({0, 0, 0, 0, 0, 2, 0}).row(3), Eigen::RowVector4d(0, 0, 0, 1));
}
