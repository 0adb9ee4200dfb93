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

// Random samples, also near another, stay inside finite bounds at finite distances; positions to transform and back
// give the positions again (a quaternion up to its sign); random quaternions are unit.
TEST(JointModelPropertyTest, SamplesStayInBoundsAndRoundTripThroughTheTransform)
{
  RandomNumberGenerator rng(1);
  RevoluteJointModel continuous("continuous", 0, 0);
  continuous.setContinuous(true);
  ASSERT_TRUE(continuous.setAxis(Eigen::Vector3d(0.0, 0.0, 1.0)));
  PlanarJointModel planar("planar", 0, 0);
  FloatingJointModel floating("floating", 0, 0);
  for (int i = 0; i < kSamples && !HasFailure(); ++i) {
    RevoluteJointModel revolute("revolute", 0, 0);
    PrismaticJointModel prismatic("prismatic", 0, 0);
    ASSERT_TRUE(revolute.setAxis(randomAxis(rng)));
    ASSERT_TRUE(prismatic.setAxis(randomAxis(rng)));
    for (const JointModel* joint :
         std::initializer_list<const JointModel*>{ &revolute, &continuous, &prismatic, &planar, &floating }) {
      JointModel::Bounds bounds = joint->getVariableBounds();
      for (std::size_t v = 0; v < bounds.size() && v < 3; ++v) {
        if (bounds[v].max_position_ > 1e6 || joint == &prismatic) {  // unbounded, or a prismatic stroke
          bounds[v].min_position_ = -0.1;
          bounds[v].max_position_ = 3.0;
        }
      }
      std::vector<double> values(joint->getVariableCount());
      joint->getVariableRandomPositions(rng, values.data(), bounds);
      ASSERT_TRUE(joint->satisfiesPositionBounds(values.data(), bounds, 0.0)) << joint->getName();
      Eigen::Isometry3d transform;
      joint->computeTransform(values.data(), transform);
      std::vector<double> recovered(values.size());
      joint->computeVariablePositions(transform, recovered.data());
      if (joint == &floating && std::inner_product(recovered.begin() + 3, recovered.end(), values.begin() + 3, 0.0) < 0) {
        std::transform(recovered.begin() + 3, recovered.end(), recovered.begin() + 3, std::negate<double>());
      }
      for (std::size_t v = 0; v < recovered.size(); ++v) {
        ASSERT_NEAR(recovered[v], values[v], 1e-12) << joint->getName() << " variable " << v;
      }
      std::vector<double> near = values;
      joint->getVariableRandomPositionsNearBy(rng, values.data(), bounds, near.data(), rng.uniformReal(0.0, 2.0));
      ASSERT_TRUE(joint->satisfiesPositionBounds(values.data(), bounds, 1e-12)) << joint->getName();
      ASSERT_TRUE(std::isfinite(joint->distance(values.data(), near.data()))) << joint->getName();
    }
    Eigen::Vector4d q;
    rng.randomQuaternion(q.data());
    ASSERT_NEAR(q.norm(), 1.0, 1e-12);
  }
}

}  // namespace
}  // namespace core
}  // namespace robot_model
