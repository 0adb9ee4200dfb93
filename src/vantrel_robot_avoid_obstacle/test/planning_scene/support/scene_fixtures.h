#pragma once

#include <memory>
#include <string>
#include <vector>

#include <Eigen/Core>
#include <octomap/OcTree.h>

#include "planning/manipulator_plan_scene.h"

// The repository's arm descriptions and the test rig, as the node would configure them.
std::string arm6Directory();
std::string testRigDirectory();
std::unique_ptr<ManipulatorPlanScene> makeArm6Scene(double robot_padding = 0.0, const std::string& group = "arm");
std::unique_ptr<ManipulatorPlanScene> makeArm5Scene(const std::string& group = "arm");
// The rig with test_rig.srdf; "fixed_first" comes from its own SRDF, where it is the only group.
std::unique_ptr<ManipulatorPlanScene> makeTestRigScene(const std::string& group);

// An empty octree of the node's kind.
std::shared_ptr<octomap::OcTree> makeOctree(double resolution = 0.02);
// Marks every voxel whose centre lies in the axis-aligned box occupied, then updates the inner nodes.
void fillBox(octomap::OcTree& tree, const Eigen::Vector3d& min, const Eigen::Vector3d& max);
void fillPoint(octomap::OcTree& tree, const Eigen::Vector3d& point);

// Global position of a link of the scene's planning group at the given joint values.
Eigen::Vector3d linkPosition(ManipulatorPlanScene& scene, const std::vector<double>& q, const std::string& link);
