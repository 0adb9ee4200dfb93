#include "scene_fixtures.h"

#include <cmath>

namespace {

std::string descriptionsRoot() {
  return std::string(RAO_SOURCE_DIR) + "/src/robot_avoid_obstacle/resources/robot_descriptions/";
}

}  // namespace

std::string arm6Directory() { return descriptionsRoot() + "arm6_description/"; }
std::string testRigDirectory() {
  return std::string(RAO_SOURCE_DIR) + "/src/vantrel_robot_avoid_obstacle/test/planning_scene/fixtures/";
}

std::unique_ptr<ManipulatorPlanScene> makeArm6Scene(double robot_padding, const std::string& group) {
  return std::make_unique<ManipulatorPlanScene>(arm6Directory(), "urdf/arm6_and_whole_gripper_linker_shim_camera.urdf",
                                                "srdf/arm6_and_whole_gripper_linker.srdf", group, robot_padding, 1.0);
}

std::unique_ptr<ManipulatorPlanScene> makeArm5Scene(const std::string& group) {
  return std::make_unique<ManipulatorPlanScene>(descriptionsRoot() + "arm5_description/", "urdf/arm5.urdf",
                                                "srdf/arm5.srdf", group, 0.0, 1.0);
}

std::unique_ptr<ManipulatorPlanScene> makeTestRigScene(const std::string& group) {
  const std::string srdf = group == "fixed_first" ? "test_rig_fixed_first.srdf" : "test_rig.srdf";
  return std::make_unique<ManipulatorPlanScene>(testRigDirectory(), "test_rig.urdf", srdf, group, 0.0, 1.0);
}

std::shared_ptr<octomap::OcTree> makeOctree(double resolution) {
  return std::make_shared<octomap::OcTree>(resolution);
}

void fillBox(octomap::OcTree& tree, const Eigen::Vector3d& min, const Eigen::Vector3d& max) {
  const double step = tree.getResolution();
  for (double x = min.x(); x <= max.x() + 1e-9; x += step) {
    for (double y = min.y(); y <= max.y() + 1e-9; y += step) {
      for (double z = min.z(); z <= max.z() + 1e-9; z += step) {
        tree.updateNode(octomap::point3d(static_cast<float>(x), static_cast<float>(y), static_cast<float>(z)), true,
                        false);
      }
    }
  }
  tree.updateInnerOccupancy();
}

void fillPoint(octomap::OcTree& tree, const Eigen::Vector3d& point) { fillBox(tree, point, point); }

Eigen::Vector3d linkPosition(ManipulatorPlanScene& scene, const std::vector<double>& q, const std::string& link) {
  for (const auto& transform : scene.getLinkTransforms(q.data())) {
    if (transform.child_frame_id == link) {
      return {transform.transform.translation.x, transform.transform.translation.y, transform.transform.translation.z};
    }
  }
  return Eigen::Vector3d::Constant(NAN);
}
