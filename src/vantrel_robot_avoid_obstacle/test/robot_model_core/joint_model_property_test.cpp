#include "robot_model/core/floating_joint_model.h"
#include "robot_model/core/planar_joint_model.h"
#include "robot_model/core/prismatic_joint_model.h"
#include "robot_model/core/revolute_joint_model.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <functional>
#include <numeric>
#include <vector>

// Properties over many random values for every joint kind with variables.
namespace robot_model {
namespace core {
namespace {

constexpr int kSamples = 10000;

Eigen::Vector3d randomAxis(RandomNumberGenerator& rng)
{
  Eigen::Vector3d axis;
  do {
    axis = Eigen::Vector3d(rng.gaussian01(), rng.gaussian01(), rng.gaussian01());
  } while (axis.norm() < 1e-3);
  return axis;
}

// Positions to transform and back give the positions again, a quaternion up to its sign.
void expectRoundTrip(const JointModel& joint, const std::vector<double>& values)
{
  Eigen::Isometry3d transform;
  joint.computeTransform(values.data(), transform);
  std::vector<double> recovered(values.size());
  joint.computeVariablePositions(transform, recovered.data());
  if (joint.getType() == JointModel::FLOATING &&
      std::inner_product(recovered.begin() + 3, recovered.end(), values.begin() + 3, 0.0) < 0.0) {
    std::transform(recovered.begin() + 3, recovered.end(), recovered.begin() + 3, std::negate<double>());
  }
  for (std::size_t i = 0; i < recovered.size(); ++i) {
    ASSERT_NEAR(recovered[i], values[i], 1e-12) << joint.getName() << " variable " << i;
  }
}

JointModel::Bounds finiteBounds(const JointModel& joint)
{
  JointModel::Bounds bounds = joint.getVariableBounds();
  for (std::size_t i = 0; i < bounds.size() && i < 3; ++i) {
    if (bounds[i].max_position_ > 1e6) {  // unbounded
      bounds[i].min_position_ = -2.0;
      bounds[i].max_position_ = 3.0;
    }
  }
  return bounds;
}

TEST(JointModelPropertyTest, PositionsRoundTripThroughTheTransform)
{
  RandomNumberGenerator rng(1);
  PlanarJointModel planar("planar", 0, 0);
  FloatingJointModel floating("floating", 0, 0);
  for (int i = 0; i < kSamples && !HasFailure(); ++i) {
    RevoluteJointModel revolute("revolute", 0, 0);
    PrismaticJointModel prismatic("prismatic", 0, 0);
    ASSERT_TRUE(revolute.setAxis(randomAxis(rng)));
    ASSERT_TRUE(prismatic.setAxis(randomAxis(rng)));
    for (const JointModel* joint : std::initializer_list<const JointModel*>{&revolute, &prismatic, &planar, &floating}) {
      std::vector<double> values(joint->getVariableCount());
      joint->getVariableRandomPositions(rng, values.data(), finiteBounds(*joint));
      expectRoundTrip(*joint, values);
    }
  }
}

TEST(JointModelPropertyTest, RandomSamplesStayInsideTheBoundsAndQuaternionsAreUnit)
{
  RevoluteJointModel revolute("revolute", 0, 0);
  RevoluteJointModel continuous("continuous", 0, 0);
  continuous.setContinuous(true);
  PrismaticJointModel prismatic("prismatic", 0, 0);
  PlanarJointModel planar("planar", 0, 0);
  FloatingJointModel floating("floating", 0, 0);
  RandomNumberGenerator rng(5);
  for (const JointModel* joint :
       std::initializer_list<const JointModel*>{&revolute, &continuous, &prismatic, &planar, &floating}) {
    JointModel::Bounds bounds = finiteBounds(*joint);
    if (joint->getType() == JointModel::PRISMATIC) {
      bounds[0].min_position_ = -0.1;
      bounds[0].max_position_ = 0.4;
    }
    std::vector<double> values(joint->getVariableCount());
    std::vector<double> near(joint->getVariableCount());
    for (int i = 0; i < kSamples; ++i) {
      joint->getVariableRandomPositions(rng, values.data(), bounds);
      ASSERT_TRUE(joint->satisfiesPositionBounds(values.data(), bounds, 0.0)) << joint->getName();
      near = values;
      joint->getVariableRandomPositionsNearBy(rng, values.data(), bounds, near.data(), rng.uniformReal(0.0, 2.0));
      ASSERT_TRUE(joint->satisfiesPositionBounds(values.data(), bounds, 1e-12)) << joint->getName();
      ASSERT_TRUE(std::isfinite(joint->distance(values.data(), near.data()))) << joint->getName();
    }
  }
  for (int i = 0; i < kSamples; ++i) {
    Eigen::Vector4d q;
    rng.randomQuaternion(q.data());
    ASSERT_NEAR(q.norm(), 1.0, 1e-12);
  }
}

}  // namespace
}  // namespace core
}  // namespace robot_model
