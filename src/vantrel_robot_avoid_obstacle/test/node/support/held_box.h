#pragma once

#include <vector>

#include <Eigen/Geometry>

#include "arm_sim/scene.hpp"
#include "node/ros_two_wrapper.h"

class KinematicsInterface;

// The solid of `size` whose bottom face is centred at `centre` on height `bottom`.
arm_sim::Cuboid around(const Eigen::Vector2d& centre, const Eigen::Vector3d& size, double bottom);

// How deep the box of `size` at `pose` reaches into the solid; 0 when apart or touching.
double depthInto(const arm_sim::Cuboid& solid, const Eigen::Vector3d& size, const Eigen::Isometry3d& pose);

// The box as the arm holds it: carried rigidly by the flange from the configuration it was grasped in.
class HeldBox {
 public:
  HeldBox(RosTwoWrapper& node, const std::vector<double>& grasp, const arm_sim::Cuboid& box);
  Eigen::Isometry3d at(const std::vector<double>& q) const { return flange(q) * flange_to_box_; }
  double depthInto(const arm_sim::Cuboid& solid, const std::vector<double>& q) const {
    return ::depthInto(solid, size_, at(q));
  }
  double lowestZ(const std::vector<double>& q) const;

 private:
  Eigen::Isometry3d flange(const std::vector<double>& q) const;
  const KinematicsInterface& kinematics_;
  Eigen::Vector3d size_;
  Eigen::Isometry3d flange_to_box_;
};
