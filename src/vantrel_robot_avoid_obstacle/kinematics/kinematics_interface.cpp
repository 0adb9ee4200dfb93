#include "kinematics/kinematics_interface.h"

#include "kinematics/check_alpha_sequence.h"

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

int KinematicsInterface::checkMdhValues(const std::vector<double>& zds, const std::vector<double>& xas,
                                        const std::vector<double>& alphas, const std::vector<double>& qzeros) const
{
  const std::size_t n = static_cast<std::size_t>(dof_);
  if (zds.size() != n || xas.size() != n || alphas.size() != n || qzeros.size() != n) {
    std::puts("the size of zds,xas,alphas,qzeros not equal");
    return -1;
  }
  if (!checkAlphaSequence(alphas, expected_alpha_sequence_)) {
    std::puts("the input robot type is not right!!!");
    return -2;
  }
  for (const std::vector<double>* values : { &zds, &xas, &alphas, &qzeros }) {
    for (double value : *values) {
      if (!std::isfinite(value)) {
        std::puts("the mdh parameters are not finite");
        return -3;
      }
    }
  }
  return 0;
}

bool KinematicsInterface::fitsClosedForm(bool condition, const char* requirement)
{
  if (!condition) {
    std::printf("the mdh parameters do not fit the closed form: %s\n", requirement);
  }
  return condition;
}

void KinematicsInterface::printMdhValues(const char* banner) const
{
  std::puts(banner);
  for (std::size_t i = 0; i < zd_.size(); ++i) {
    std::printf("%d(zd xa alpha qzero)=(%lf,%lf,%lf,%lf)\n", static_cast<int>(i), zd_[i], xa_[i], alpha_[i],
                qzero_[i]);
  }
}

bool KinematicsInterface::hasJointValues(const std::vector<double>& q) const
{
  if (q.size() < static_cast<std::size_t>(dof_)) {
    std::printf("forwardKinematics needs %d joint values, got %zu\n", dof_, q.size());
    return false;
  }
  return true;
}
