// Smallest distance between the arm's collision bodies and an obstacle cloud along a joint path.
#ifndef ARM_SIM__MAIN_JOB__PATH_CLEARANCE_HPP_
#define ARM_SIM__MAIN_JOB__PATH_CLEARANCE_HPP_

#include <vector>

#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include "planning/manipulator_plan_scene.h"

namespace arm_sim
{

// Makes the cloud (finite points) the scene's world, as an occupancy octree of `resolution` metres.
void putCloudIntoWorld(
  ManipulatorPlanScene & scene, const pcl::PointCloud<pcl::PointXYZ> & cloud, double resolution);

// Measures the straight joint-space segments between consecutive path points against the scene's
// world, sampled no coarser than `max_joint_step` radians. 0 when the path touches the world;
// +infinity for an empty path or world.
double smallestPathClearance(
  ManipulatorPlanScene & scene, const std::vector<std::vector<double>> & path, double max_joint_step);

}  // namespace arm_sim

#endif  // ARM_SIM__MAIN_JOB__PATH_CLEARANCE_HPP_
