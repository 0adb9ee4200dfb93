#pragma once

#include <functional>
#include <utility>
#include <vector>

#include <Eigen/Core>
#include <Eigen/Geometry>

#include "grab/grab_scene.h"
#include "kinematics/kinematics_interface.h"

inline Eigen::Matrix4d makePose(const Eigen::Matrix3d& rotation, const Eigen::Vector3d& position)
{
  Eigen::Matrix4d result = Eigen::Matrix4d::Identity();
  result.topLeftCorner<3, 3>() = rotation;
  result.topRightCorner<3, 1>() = position;
  return result;
}

// The largest difference between two poses' entries.
inline double maxDifference(const Eigen::Matrix4d& a, const Eigen::Matrix4d& b)
{
  return (a - b).cwiseAbs().maxCoeff();
}

// Forward kinematics gives one fixed pose; inverse kinematics records each flange pose it is asked and answers
// with one solution that spells out the pose's position and approach axis, so a chosen configuration tells
// which candidate pose it came from. `solve_` replaces that answer (no solution: failure).
class FakeKinematics : public KinematicsInterface
{
public:
  using Solutions = std::vector<std::vector<double>>;
  FakeKinematics() : KinematicsInterface(6, {}) {}

  int init(std::vector<double>, std::vector<double>, std::vector<double>, std::vector<double>) override { return 0; }
  Eigen::MatrixXd forwardKinematics(std::vector<double>) const override { return flange_pose_; }
  int inverseKinematicsByReference(const Eigen::MatrixXd&, std::vector<double>, std::vector<double>&) const override
  {
    return -1;
  }
  int inverseKinematicsForArmType(const Eigen::MatrixXd&, const int[3], std::vector<double>&) const override { return -1; }
  int inverseKinematics(const Eigen::MatrixXd&, std::vector<double>&) const override { return -1; }
  int inverseKinematicsAllArmTypes(const Eigen::MatrixXd& pose, Solutions& solutions) const override
  {
    asked_.push_back(pose);
    solutions = solve_ ? solve_(pose) : Solutions{spelledOut(pose)};
    return solutions.empty() ? -1 : 0;
  }

  static std::vector<double> spelledOut(const Eigen::Matrix4d& pose)
  {
    return {pose(0, 3), pose(1, 3), pose(2, 3), pose(0, 2), pose(1, 2), pose(2, 2)};
  }

  Eigen::MatrixXd flange_pose_ = Eigen::Matrix4d::Identity();
  std::function<Solutions(const Eigen::Matrix4d&)> solve_;
  mutable std::vector<Eigen::Matrix4d> asked_;
};

// Six joints within [-10, 10]; a state is valid when `valid_` says so (by default always).
class FakeGrabScene : public GrabScene
{
public:
  int getJointLimits(std::vector<std::pair<double, double>>& bounds) override
  {
    bounds.assign(6, {-10.0, 10.0});
    return limits_result_;
  }
  const KinematicsInterface* getKinematics() const override { return kinematics_; }
  bool isStateValid(const double* state) override
  {
    ++checks_;
    return !valid_ || valid_(state);
  }
  void restoreGripperPadding() override { ++padding_restored_; }

  int limits_result_ = 6;
  const KinematicsInterface* kinematics_ = nullptr;
  std::function<bool(const double*)> valid_;
  int checks_ = 0;
  int padding_restored_ = 0;
};
