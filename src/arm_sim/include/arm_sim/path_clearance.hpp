// How close the arm comes to an obstacle cloud along joint paths it played: the bare collision bodies of
// its links, unpadded, against the cloud's cells, with FCL alone. Kept apart from the planning scene, whose
// checks accepted the paths, so that a fault there cannot hide itself.
#ifndef ARM_SIM__PATH_CLEARANCE_HPP_
#define ARM_SIM__PATH_CLEARANCE_HPP_

#include <memory>
#include <vector>

#include <fcl/narrowphase/collision_object.h>
#include <octomap/OcTree.h>
#include <pcl/point_cloud.h>
#include <pcl/point_types.h>

#include "robot_model/core/attached_body.h"
#include "robot_model/core/joint_model_group.h"
#include "robot_model/core/robot_model.h"
#include "robot_model/core/robot_state.h"
#include "trajectory_msgs/msg/joint_trajectory.hpp"

namespace arm_sim
{

using JointPath = std::vector<std::vector<double>>;

// The configurations of a trajectory's samples.
JointPath pathOf(const trajectory_msgs::msg::JointTrajectory & trajectory);

// The cloud's finite points as occupied cells of `resolution` metres.
std::shared_ptr<octomap::OcTree> cellsOf(const pcl::PointCloud<pcl::PointXYZ> & cloud, double resolution);

class PathClearance
{
public:
  // Largest joint motion between two samples of a segment, radians.
  static constexpr double kMaxJointStep = 0.01;

  // The cloud's finite points become occupied cells of `resolution` metres. Every link of the model
  // with collision geometry takes part; `group`'s joints move them.
  PathClearance(
    const robot_model::core::RobotModelConstPtr & model, const robot_model::core::JointModelGroup * group,
    const pcl::PointCloud<pcl::PointXYZ> & cloud, double resolution);

  // From now on `body`'s shapes take part too, carried by its link as the node carries a held object.
  void carry(const robot_model::core::AttachedBody & body);

  // The first sample of the path (its first configuration, then the straight joint-space segments between
  // consecutive configurations) at which a body meets a cell; empty when none does.
  std::vector<double> firstContact(const JointPath & path);
  // The smallest distance between the bodies and the cells at the path's configurations alone (a distance
  // costs a thousand contact checks): 0 where they meet, +infinity for an empty path or cloud.
  double smallestAtConfigurations(const JointPath & path);

private:
  void place(robot_model::core::RobotState & state, const std::vector<double> & q);
  bool touches() const;
  double distance() const;

  robot_model::core::RobotModelConstPtr model_;
  const robot_model::core::JointModelGroup * group_;
  std::unique_ptr<fcl::CollisionObjectd> cells_;  // null for an empty cloud
  struct Body
  {
    const robot_model::core::LinkModel * link;
    Eigen::Isometry3d origin;  // in the link's frame
    std::unique_ptr<fcl::CollisionObjectd> object;
  };
  std::vector<Body> bodies_;
};

// The path's first configuration, then the samples of the straight joint-space segments between consecutive
// configurations, no joint moving more than PathClearance::kMaxJointStep between two; empty for an empty path.
JointPath densePath(const JointPath & path);

}  // namespace arm_sim

#endif  // ARM_SIM__PATH_CLEARANCE_HPP_
