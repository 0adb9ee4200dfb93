// Where the node reads its configuration, relative to its working directory.
#ifndef ARM_SIM__MAIN_JOB__MAIN_JOB_PATHS_HPP_
#define ARM_SIM__MAIN_JOB__MAIN_JOB_PATHS_HPP_

namespace arm_sim
{

constexpr const char * kNodeConfigPath = "./src/vantrel_robot_avoid_obstacle/config/config_params.yaml";

}  // namespace arm_sim

#endif  // ARM_SIM__MAIN_JOB__MAIN_JOB_PATHS_HPP_
