#pragma once

#include <algorithm>
#include <cstdint>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <octomap/OcTree.h>

#include "collision_detection/allowed_collision_matrix.h"
#include "robot_model/core/attached_body.h"
#include "robot_model/core/joint_model_group.h"
#include "robot_model/core/robot_model.h"
#include "robot_model/core/robot_state.h"
#include "robot_model/shapes/shapes.h"
#include "robot_model/srdf_parser/model.h"

namespace arms
{
inline std::shared_ptr<const robot_model::core::RobotModel> load(const std::string& arm, const std::string& urdf,
                                                               const std::string& srdf)
{
  return std::make_shared<const robot_model::core::RobotModel>(
      std::string(RAO_SOURCE_DIR) + "/src/robot_avoid_obstacle/resources/robot_descriptions/" + arm + "_description/",
      urdf, srdf);
}

// One triangle in the xy plane, the corners at the origin and on the x and y unit points.
inline std::shared_ptr<shapes::Mesh> oneTriangle()
{
  auto mesh = std::make_shared<shapes::Mesh>(3, 1);
  const double vertices[9] = { 0, 0, 0, 1, 0, 0, 0, 1, 0 };
  std::copy(vertices, vertices + 9, mesh->vertices.get());
  for (std::uint32_t i = 0; i < 3; ++i)
    mesh->triangles[i] = i;
  return mesh;
}

// The five-axis arm, loaded once per test binary.
inline std::shared_ptr<const robot_model::core::RobotModel> arm5()
{
  static const auto loaded = load("arm5", "urdf/arm5.urdf", "srdf/arm5.srdf");
  return loaded;
}
}  // namespace arms

// The six-axis arm of the repository's robot descriptions, loaded once per test binary. The helpers
// below take any model whose planning group is "arm", as both arms' is.
namespace arm6
{
inline std::shared_ptr<const robot_model::core::RobotModel> model()
{
  static const auto loaded = arms::load("arm6", "urdf/arm6_and_whole_gripper_linker_shim_camera.urdf",
                                        "srdf/arm6_and_whole_gripper_linker.srdf");
  return loaded;
}

// The matrix the planning scene builds: the SRDF's disabled pairs are allowed.
inline collision_detection::AllowedCollisionMatrix
disabledPairs(const std::shared_ptr<const robot_model::core::RobotModel>& arm = model())
{
  collision_detection::AllowedCollisionMatrix acm;
  for (const auto& pair : arm->getSRDF()->getDisabledCollisionPairs())
    acm.setEntry(pair.link1_, pair.link2_, true);
  return acm;
}

// The SRDF's "ready" state: the gripper hangs down in front of the base.
inline const std::vector<double> kReady = { 0.0, -0.5, -0.4, 0.0, -0.67, 0.0 };

// Sets the joints of the state's group "arm" and places the collision bodies.
inline void setArm(robot_model::core::RobotState& state, const std::vector<double>& values)
{
  state.setJointGroupPositions(state.getRobotModel()->getJointModelGroup("arm"), values);
  state.updateCollisionBodyTransforms();
}

// Uniform joint values within the arm's bounds.
inline std::vector<double> randomArm(std::mt19937& rng,
                                     const robot_model::core::JointModelGroup* arm = model()->getJointModelGroup("arm"))
{
  std::vector<double> values;
  for (const auto* bounds : arm->getActiveJointModelsBounds())
    for (const auto& variable : *bounds)
      values.push_back(std::uniform_real_distribution<double>(variable.min_position_, variable.max_position_)(rng));
  return values;
}

// `count` random occupied points in [-xy, xy]^2 x [0, z] around the arm.
inline void addRandomVoxels(octomap::OcTree& tree, int count, double xy, double z, std::mt19937& rng)
{
  std::uniform_real_distribution<double> across(-xy, xy), up(0.0, z);
  for (int i = 0; i < count; ++i)
    tree.updateNode(octomap::point3d(across(rng), across(rng), up(rng)), true);
}

// A cube of the given edge held `out` along the gripper's z axis.
inline std::unique_ptr<robot_model::core::AttachedBody> grabbedCube(double edge, double out)
{
  auto body = std::make_unique<robot_model::core::AttachedBody>();
  body->id_ = "grab_object";
  body->parent_link_ = model()->getLinkModel("gripper_link");
  body->shapes_.push_back(std::make_shared<const shapes::Box>(edge, edge, edge));
  body->shape_poses_.push_back(Eigen::Isometry3d(Eigen::Translation3d(0.0, 0.0, out)));
  return body;
}
}  // namespace arm6
