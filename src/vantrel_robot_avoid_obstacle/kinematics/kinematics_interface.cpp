#include "kinematics/kinematics_interface.h"

#include <cmath>
#include <cstdio>
#include <initializer_list>
#include <utility>

KinematicsInterface::KinematicsInterface(int dof, std::vector<double> expected_alpha_sequence)
  : dof_(dof)
  , expected_alpha_sequence_(std::move(expected_alpha_sequence))
  , zd_(dof, 0.0)
  , xa_(dof, 0.0)
  , alpha_(dof, 0.0)
  , qzero_(dof, 0.0)
{
}

bool KinematicsInterface::isFinitePose(const Eigen::MatrixXd& pose)
{
  if (pose.rows() != 4 || pose.cols() != 4 || !pose.allFinite()) {
    std::puts("the input pose is not a finite 4x4 matrix!!!");
    return false;
  }
  return true;
}

bool KinematicsInterface::areFiniteMdhValues(const std::vector<double>& zds, const std::vector<double>& xas,
                                             const std::vector<double>& alphas,
                                             const std::vector<double>& qzeros)
{
  for (const std::vector<double>* values : { &zds, &xas, &alphas, &qzeros }) {
    for (double value : *values) {
      if (!std::isfinite(value)) {
        std::puts("the mdh parameters are not finite");
        return false;
      }
    }
  }
  return true;
}

bool KinematicsInterface::fitsClosedForm(bool condition, const char* requirement)
{
  if (!condition) {
    std::printf("the mdh parameters do not fit the closed form: %s\n", requirement);
  }
  return condition;
}
