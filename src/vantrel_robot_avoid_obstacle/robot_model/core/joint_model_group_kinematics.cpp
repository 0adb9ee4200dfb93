#include <cmath>
#include <cstdio>
#include <utility>

#include "kinematics/kinematics_interface.h"
#include "robot_model/core/joint_model_group.h"

namespace robot_model {
namespace core {

namespace {

// One degree: twist angles that differ by at most this much count as equal.
constexpr double kAlphaTolerance = 0.017453292519943295;

}  // namespace

void JointModelGroup::assignKinematicsSolver(const std::vector<KinematicsSolverRecord>& solvers) {
  kinematics_interface_ptr_.reset();
  if (solvers.empty()) {
    puts("kinematics slovers size ==0 error!");
    return;
  }
  const std::size_t n = active_joint_model_vector_.size();
  std::vector<double> zds, xas, alphas, qzeros;
  for (const JointModel* joint : active_joint_model_vector_) {
    const MdhParameters& mdh = joint->getMdhParameters();
    zds.push_back(mdh.zd_);
    xas.push_back(mdh.xa_);
    alphas.push_back(mdh.alpha_);
    qzeros.push_back(mdh.qzero_);
  }

  const KinematicsSolverRecord* match = nullptr;
  for (const KinematicsSolverRecord& record : solvers) {
    if (record.dof_ != static_cast<int>(n)) continue;
    if (record.alpha_sequence_.size() != n) {
      puts("alpha sequence size not equal");
      continue;
    }
    bool equal = true;
    for (std::size_t i = 0; i < n && equal; ++i) equal = std::fabs(record.alpha_sequence_[i] - alphas[i]) <= kAlphaTolerance;
    if (!equal) {
      puts("alpha sequence not equal");
      continue;
    }
    match = &record;
    break;
  }
  if (!match) {
    puts("This jont group does has the kinematics slover !");
    return;
  }

  // A closed form is only as good as the MDH values it is given: each joint's must describe its origin exactly.
  for (const JointModel* joint : active_joint_model_vector_) {
    if (joint->getMdhStatus() != MdhStatus::VALID) {
      printf("Joint '%s' of group '%s' has no exact MDH form: %s\n", joint->getName().c_str(), name_.c_str(),
             getMdhStatusText(joint->getMdhStatus()));
      puts("This jont group does has the kinematics slover !");
      return;
    }
  }
  // Each group gets its own solver, kept only when it accepts this chain's values.
  kinematics_interface_ptr_ = match->createSolver(zds, xas, alphas, qzeros);
  if (!kinematics_interface_ptr_) puts("This jont group does has the kinematics slover !");
}

void JointModelGroup::forwardKinematics(const std::vector<double>& joints, Eigen::MatrixXd& pose) const {
  if (!kinematics_interface_ptr_) {
    puts("kinematics_interface_ptr_==null!");
    return;
  }
  Eigen::MatrixXd result = kinematics_interface_ptr_->forwardKinematics(joints);
  // The solver gives an empty matrix for a joint vector that is too short; callers read a 4x4 pose.
  if (result.rows() == 4 && result.cols() == 4) pose = std::move(result);
}

void JointModelGroup::forwardKinematicsMatrix(std::vector<double> joints, Eigen::Matrix4d& pose) const {
  if (!kinematics_interface_ptr_) {
    puts("kinematics_interface_ptr_==null!");
    return;
  }
  const Eigen::MatrixXd result = kinematics_interface_ptr_->forwardKinematics(std::move(joints));
  if (result.rows() == 4 && result.cols() == 4) pose = result;
}

}  // namespace core
}  // namespace robot_model
