#include "robot_model/core/kinematics_solver_record.h"

#include "kinematics/orvane_bot_v3_kinematics.h"
#include "kinematics/six_axis_kinematics.h"

#include <utility>

namespace robot_model {
namespace core {

namespace {

template <typename Solver>
std::shared_ptr<KinematicsInterface> createKinematicsSolver()
{
  return std::make_shared<Solver>();
}

template <typename Solver>
KinematicsSolverRecord makeRecord()
{
  const Solver prototype;
  return { prototype.getDof(), prototype.getExpectedAlphaSequence(), &createKinematicsSolver<Solver> };
}

}  // namespace

std::shared_ptr<KinematicsInterface> KinematicsSolverRecord::createSolver(std::vector<double> zds,
                                                                         std::vector<double> xas,
                                                                         std::vector<double> alphas,
                                                                         std::vector<double> qzeros) const
{
  if (create_ == nullptr) {
    return nullptr;
  }
  std::shared_ptr<KinematicsInterface> solver = create_();
  if (solver->init(std::move(zds), std::move(xas), std::move(alphas), std::move(qzeros)) != 0) {
    return nullptr;
  }
  return solver;
}

std::vector<KinematicsSolverRecord> makeKinematicsSolverRecords()
{
  return { makeRecord<SixAxisKinematics>(), makeRecord<OrvaneBotV3Kinematics>() };
}

}  // namespace core
}  // namespace robot_model
