#pragma once

#include "kinematics/kinematics_interface.h"

#include <memory>
#include <vector>

namespace robot_model {
namespace core {

// One analytic solver kind of the robot model, matched to a chain group by its joint count and MDH
// twist sequence. Each matching group gets a solver of its own, made by createSolver.
struct KinematicsSolverRecord
{
  int dof_ = 0;
  std::vector<double> alpha_sequence_;
  std::shared_ptr<KinematicsInterface> (*create_)() = nullptr;

  // A fresh solver initialised with the chain's MDH values (one per active joint, in chain order);
  // null when init rejects them (wrong sizes, twist sequence or closed-form assumptions; init prints why).
  std::shared_ptr<KinematicsInterface> createSolver(std::vector<double> zds, std::vector<double> xas,
                                                    std::vector<double> alphas, std::vector<double> qzeros) const;
};

// The solver kinds in matching order: six-axis, then five-axis.
std::vector<KinematicsSolverRecord> makeKinematicsSolverRecords();

}  // namespace core
}  // namespace robot_model
