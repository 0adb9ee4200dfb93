#pragma once

#include <memory>
#include <string>
#include <vector>

#include <Eigen/Core>
#include <octomap/OcTree.h>

#include "planning/manipulator_plan_scene.h"
#include "planning/microsecond_clock.h"

// The repository's arm descriptions and the test rig, as the node would configure them.
std::string arm6Directory();
std::string testRigDirectory();
std::unique_ptr<ManipulatorPlanScene> makeArm6Scene(double robot_padding = 0.0, const std::string& group = "arm");
std::unique_ptr<ManipulatorPlanScene> makeArm5Scene(const std::string& group = "arm", double robot_padding = 0.0);
// The rig with test_rig.srdf; "fixed_first" comes from its own SRDF, where it is the only group.
std::unique_ptr<ManipulatorPlanScene> makeTestRigScene(const std::string& group);
// A hub turning about z with a rod sliding out of it, group "arm", and a thin post on the base in the rod's way.
std::unique_ptr<ManipulatorPlanScene> makeTelescopeRigScene(double robot_padding);

// A clock that advances one microsecond per reading, so that printed durations and the search's time limit do not
// depend on the machine.
MicrosecondClock steppingClock();

// An empty octree of the node's kind.
std::shared_ptr<octomap::OcTree> makeOctree(double resolution = 0.02);
// Marks every voxel whose centre lies in the axis-aligned box occupied, then updates the inner nodes.
void fillBox(octomap::OcTree& tree, const Eigen::Vector3d& min, const Eigen::Vector3d& max);
void fillPoint(octomap::OcTree& tree, const Eigen::Vector3d& point);

// Global position of a link of the scene's planning group at the given joint values.
Eigen::Vector3d linkPosition(ManipulatorPlanScene& scene, const std::vector<double>& q, const std::string& link);

// An arm's ready pose (base at 0) and where its obstacles sit relative to arm6's.
struct ArmLayout {
  std::vector<double> ready;
  Eigen::Vector3d obstacle_offset;
  // The ready pose turned about the base by `base_angle`.
  std::vector<double> pose(double base_angle) const;
};
ArmLayout arm6Layout();
ArmLayout arm5Layout();

// arm6 turning joints 1, 4 and 6 from one end of their ranges to the other, joint 3 where link4 stays about 2
// micrometres from link2 all the way; every state of the motion is valid.
struct NearContactMotion {
  std::vector<double> from;
  std::vector<double> to;
};
NearContactMotion arm6NearContactMotion();

// kFree: nothing between start and goal. kWall: a wall in front of the base that the arm must reach over.
// kShelf: the goal inside a shelf compartment, open only to the front. kEnclosed: the goal's gripper boxed in
// by voxels hugging it, valid but unreachable.
enum class Obstacles { kFree, kWall, kShelf, kEnclosed };

// A planning problem among octree obstacles, built into the scene's world as the node would (one shared
// octree, "world_octomap").
struct PlanningScenario {
  std::string name;
  std::vector<double> start;
  std::vector<double> goal;
  std::shared_ptr<octomap::OcTree> tree;
};
PlanningScenario makeScenario(ManipulatorPlanScene& scene, Obstacles obstacles, const ArmLayout& arm = arm6Layout());
