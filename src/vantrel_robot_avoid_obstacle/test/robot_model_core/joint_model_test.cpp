// Joint models: edge cases of each kind, properties over many random values, and MDH parameters from joint origins.
#include "robot_model/core/floating_joint_model.h"
#include "robot_model/core/planar_joint_model.h"
#include "robot_model/core/prismatic_joint_model.h"
#include "robot_model/core/revolute_joint_model.h"
#include "test/robot_model_core/model_fixtures.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <array>
#include <cmath>
#include <functional>
#include <limits>
#include <numeric>
#include <stdexcept>
#include <vector>

namespace robot_model {
namespace core {
namespace {

using model_fixtures::captureStdout;

constexpr double kPi = 3.14159265358979323846;
constexpr double kInfinity = std::numeric_limits<double>::infinity();
constexpr double kNaN = std::numeric_limits<double>::quiet_NaN();
constexpr double kHalfPi = kPi / 2.0;

TEST(RevoluteJointModelTest, ContinuousWrapsBoundedDefaultsAndHarmonizes)
{
  RevoluteJointModel joint("wheel", 0, 0);
  joint.setContinuous(true);
  const JointModel::Bounds& bounds = joint.getVariableBounds();

  // Wrapped into (-pi, pi], reporting whether the value changed; any value satisfies the bounds.
  for (const auto& c : { std::make_pair(-kPi, kPi), std::make_pair(3.0 * kPi, kPi), std::make_pair(0.5, 0.5) }) {
    double value = c.first;
    EXPECT_EQ(joint.enforcePositionBounds(&value, bounds), c.first != c.second) << c.first;
    EXPECT_NEAR(value, c.second, 1e-12);
  }
  const double far = 100.0;
  EXPECT_TRUE(joint.satisfiesPositionBounds(&far, bounds, 0.0));

  // Interpolation and distance take the shorter way round.
  const double from = 3.0, to = -3.0;
  double middle = 0.0;
  joint.interpolate(&from, &to, 0.5, &middle);
  EXPECT_NEAR(std::fabs(middle), kPi, 1e-12);
  EXPECT_NEAR(joint.distance(&from, &to), 2.0 * kPi - 6.0, 1e-12);

  // A bounded joint defaults to zero inside its range, else to its middle; harmonizing moves by whole turns only into
  // the range and leaves values it cannot bring there.
  RevoluteJointModel bounded("j", 0, 0);
  JointModel::Bounds range(1);
  const auto setRange = [&range](double min, double max) {
    range[0].min_position_ = min;
    range[0].max_position_ = max;
  };
  double value = -1.0;
  for (const double min : { 0.5, -1.0 }) {
    setRange(min, 1.5);
    bounded.getVariableDefaultPositions(&value, range);
    EXPECT_EQ(value, min > 0.0 ? 1.0 : 0.0);
  }

  const struct
  {
    double min, max, value, harmonized;  // NaN: left as it is
  } cases[] = {
    { -kPi, kPi, 7.0, 7.0 - 2.0 * kPi }, { -kPi, kPi, -20.0, -20.0 + 6.0 * kPi }, { -kPi, kPi, 1.0, kNaN },
    { 0.0, 1.0, -0.5, kNaN },            { 0.0, kInfinity, -10.0, kNaN },         { 0.0, 1.0, kInfinity, kNaN },
    { 0.0, 1.0, -kInfinity, kNaN },      { 0.0, 1.0, kNaN, kNaN },               { 0.0, 1.0, 1e300, kNaN },
    { 0.0, 1.0, -1e300, kNaN },
  };
  for (const auto& c : cases) {
    setRange(c.min, c.max);
    value = c.value;
    EXPECT_EQ(bounded.harmonizePosition(&value, range), !std::isnan(c.harmonized)) << c.value;
    if (!std::isnan(c.harmonized)) {
      EXPECT_NEAR(value, c.harmonized, 1e-12);
    }
  }
}

// Zero or non-finite axes and bounds of an unknown variable are refused naming the joint or variable; a prismatic
// axis is normalised (revolute ones round-trip in the property sweep below).
TEST(JointModelTest, BadAxesAndUnknownVariablesAreRefusedAndAxesNormalised)
{
  RevoluteJointModel revolute("r", 0, 0);
  PrismaticJointModel prismatic("p", 1, 1);
  PlanarJointModel planar("base", 2, 5);
  const std::string printed = captureStdout([&] {
    EXPECT_FALSE(revolute.setAxis(Eigen::Vector3d::Zero()));
    EXPECT_FALSE(prismatic.setAxis(Eigen::Vector3d(0.0, kInfinity, 0.0)));
    EXPECT_THROW(planar.setVariableBounds("y", VariableBounds()), std::runtime_error);
  });
  for (const char* name : { "'r'", "'p'", "variable y" })
    EXPECT_NE(printed.find(name), std::string::npos) << printed;
  EXPECT_EQ(prismatic.getAxis(), Eigen::Vector3d::Zero());
  EXPECT_EQ(planar.getVariableBounds()[1].max_position_, kInfinity);

  ASSERT_TRUE(prismatic.setAxis(Eigen::Vector3d(0.0, 3.0, 4.0)));
  const double stroke = 0.5;
  Eigen::Isometry3d transform;
  prismatic.computeTransform(&stroke, transform);
  EXPECT_TRUE(transform.translation().isApprox(Eigen::Vector3d(0.0, 0.3, 0.4), 1e-15));
}

TEST(PlanarJointModelTest, DiffDriveInterpolationTurnsDrivesAndTurns)
{
  PlanarJointModel joint("base", 0, 0);
  joint.setMotionModel(PlanarJointModel::DIFF_DRIVE);
  const double from[3] = { 0.0, 0.0, 0.0 };
  const double to[3] = { 0.0, 1.0, 0.0 };
  // Turn by pi/2, drive 1, turn back by pi/2: (fraction, y, heading).
  const double turn = (kPi / 2.0) / (kPi + 1.0);
  double state[3];
  const std::array<double, 3> phases[] = { { turn / 2.0, 0.0, kPi / 4.0 }, { 0.5, 0.5, kPi / 2.0 }, { 1.0, 1.0, 0.0 } };
  for (const auto& c : phases) {
    joint.interpolate(from, to, c[0], state);
    EXPECT_NEAR(state[1], c[1], 1e-12) << c[0];
    EXPECT_NEAR(state[2], c[2], 1e-12) << c[0];
  }
  EXPECT_NEAR(joint.distance(from, to), 1.0 + kPi, 1e-12);

  // Equal states stay put.
  const double same[3] = { 0.2, -0.3, 0.4 };
  for (double t : { 0.0, 0.5, 1.0 }) {
    joint.interpolate(same, same, t, state);
    EXPECT_EQ(std::vector<double>(state, state + 3), std::vector<double>(same, same + 3)) << t;
  }
}

TEST(FloatingJointModelTest, QuaternionNormToleranceAndNormalisation)
{
  FloatingJointModel joint("free", 0, 0);
  const JointModel::Bounds& bounds = joint.getVariableBounds();
  double values[7] = { 0.0, 0.0, 0.0, 0.0, 0.0, 0.0, 1.00001 };
  EXPECT_FALSE(joint.satisfiesPositionBounds(values, bounds, 0.0));
  values[6] = 1.0000001;
  EXPECT_TRUE(joint.satisfiesPositionBounds(values, bounds, 0.0));

  // A zero quaternion becomes the identity, any other is normalised, a unit one left alone.
  values[6] = 0.0;
  EXPECT_TRUE(joint.enforcePositionBounds(values, bounds));
  EXPECT_EQ(values[6], 1.0);
  values[3] = 2.0, values[6] = 0.0;
  EXPECT_TRUE(joint.enforcePositionBounds(values, bounds));
  EXPECT_FALSE(joint.enforcePositionBounds(values, bounds));
  EXPECT_EQ(values[3], 1.0);
}

// Random samples, also near another, stay inside finite bounds at finite distances; positions to transform and back
// give the positions again (a quaternion up to its sign).
TEST(JointModelPropertyTest, SamplesStayInBoundsAndRoundTripThroughTheTransform)
{
  RandomNumberGenerator rng(1);
  RevoluteJointModel continuous("continuous", 0, 0);
  continuous.setContinuous(true);
  ASSERT_TRUE(continuous.setAxis(Eigen::Vector3d(0.0, 0.0, 1.0)));
  PlanarJointModel planar("planar", 0, 0);
  FloatingJointModel floating("floating", 0, 0);
  for (int i = 0; i < 10000 && !HasFailure(); ++i) {
    RevoluteJointModel revolute("revolute", 0, 0);
    PrismaticJointModel prismatic("prismatic", 0, 0);
    ASSERT_TRUE(revolute.setAxis(Eigen::Vector3d(rng.gaussian01(), rng.gaussian01(), rng.gaussian01())));
    ASSERT_TRUE(prismatic.setAxis(Eigen::Vector3d(rng.gaussian01(), rng.gaussian01(), rng.gaussian01())));
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
      const auto quaternion = recovered.begin() + 3;
      if (joint == &floating && std::inner_product(quaternion, recovered.end(), values.begin() + 3, 0.0) < 0.0)
        std::transform(quaternion, recovered.end(), quaternion, std::negate<double>());
      for (std::size_t v = 0; v < recovered.size(); ++v)
        ASSERT_NEAR(recovered[v], values[v], 1e-12) << joint->getName() << " variable " << v;
      std::vector<double> near = values;
      joint->getVariableRandomPositionsNearBy(rng, values.data(), bounds, near.data(), rng.uniformReal(0.0, 2.0));
      ASSERT_TRUE(joint->satisfiesPositionBounds(values.data(), bounds, 1e-12)) << joint->getName();
      ASSERT_TRUE(std::isfinite(joint->distance(values.data(), near.data()))) << joint->getName();
    }
  }
}

// MDH parameters of joint origins: roll and yaw give their parameters; an offset out of the MDH plane or a revolute
// axis other than +z its status; rotations without an MDH form are refused with the exact message.
TEST(MdhParametersTest, DerivedFromOriginsAndAxes)
{
  const Eigen::Vector3d z = Eigen::Vector3d::UnitZ();
  const struct
  {
    JointOrigin origin;
    Eigen::Vector3d axis;
    MdhStatus status;
    Eigen::Vector4d xa_alpha_qzero_zd;
  } cases[] = {
    // y cos(roll) + z sin(roll) = 0.3 leaves the MDH plane.
    { { 0.1, 0.2, 0.3, kHalfPi, 0.0, 0.0 }, z, MdhStatus::TRANSLATION_NOT_MDH, { 0.1, kHalfPi, 0.0, -0.2 } },
    { { 0.1, 0.0, 0.2, 0.0, 0.0, 0.3 }, z, MdhStatus::VALID, { 0.1, 0.0, 0.3, 0.2 } },
    { { 0.1, 0.0, 0.2, 0.0, 0.0, 0.0 }, -z, MdhStatus::AXIS_NOT_Z, { 0.1, 0.0, 0.0, 0.2 } },
    // Roll with yaw, pitch alone, and roll, pitch and yaw together.
    { { 0.1, 0.0, 0.2, kHalfPi, 0.0, 0.3 }, z, MdhStatus::ROTATION_NOT_MDH, Eigen::Vector4d::Zero() },
    { { 0.1, 0.0, 0.2, 0.0, 0.1, 0.0 }, z, MdhStatus::ROTATION_NOT_MDH, Eigen::Vector4d::Zero() },
    { { 0.1, 0.0, 0.2, kHalfPi, 0.1, 0.3 }, z, MdhStatus::ROTATION_NOT_MDH, Eigen::Vector4d::Zero() },
  };
  for (const auto& c : cases) {
    RevoluteJointModel joint("j", 0, 0);
    joint.setOrigin(c.origin);
    ASSERT_TRUE(joint.setAxis(c.axis));
    const bool refused = c.status == MdhStatus::ROTATION_NOT_MDH;
    EXPECT_EQ(captureStdout([&] { EXPECT_EQ(joint.generateMdhParameters(), refused ? -1 : 0); }),
              refused ? "Matrix R_zero0 is not ok.\n" : "");
    EXPECT_EQ(joint.getMdhStatus(), c.status);
    const MdhParameters& mdh = joint.getMdhParameters();
    EXPECT_LT((Eigen::Vector4d(mdh.xa_, mdh.alpha_, mdh.qzero_, mdh.zd_) - c.xa_alpha_qzero_zd).cwiseAbs().maxCoeff(),
              1e-15);
  }
}

}  // namespace
}  // namespace core
}  // namespace robot_model
