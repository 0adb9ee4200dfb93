// The arm descriptions against the solvers: the joints of each arm chain, as parsed from its URDF,
// must give the designed MDH table (the solvers' closed forms are written for these tables).
#include "robot_model/core/revolute_joint_model.h"
#include "robot_model/urdf_parser/urdf_parser.h"
#include "test/kinematics/arm_tables.h"

#include <gtest/gtest.h>

#include <string>

namespace robot_model {
namespace core {
namespace {

const std::string kDescriptions =
    std::string(RAO_SOURCE_DIR) + "/src/robot_avoid_obstacle/resources/robot_descriptions/";

void expectDesignedTable(const std::string& urdf_path, const arm_tables::MdhTable& table)
{
  const std::shared_ptr<urdf::ModelInterface> model = urdf::parseURDFFile(urdf_path);
  ASSERT_NE(model, nullptr) << urdf_path;
  for (std::size_t i = 0; i < table.zds.size(); ++i) {
    const std::shared_ptr<urdf::Joint> urdf_joint = model->getJoint("joint" + std::to_string(i + 1));
    ASSERT_NE(urdf_joint, nullptr);
    const urdf::Pose& pose = urdf_joint->parent_to_joint_origin_transform;
    RevoluteJointModel joint(urdf_joint->name, i, i);
    ASSERT_TRUE(joint.setAxis(Eigen::Vector3d(urdf_joint->axis.x, urdf_joint->axis.y, urdf_joint->axis.z)));
    joint.setOrigin({ pose.position.x, pose.position.y, pose.position.z, pose.rpy.x, pose.rpy.y, pose.rpy.z });
    ASSERT_EQ(joint.generateMdhParameters(), 0) << urdf_joint->name;
    EXPECT_EQ(joint.getMdhStatus(), MdhStatus::VALID) << urdf_joint->name;
    const MdhParameters& mdh = joint.getMdhParameters();
    EXPECT_NEAR(mdh.zd_, table.zds[i], 1e-12) << urdf_joint->name;
    EXPECT_NEAR(mdh.xa_, table.xas[i], 1e-12) << urdf_joint->name;
    EXPECT_NEAR(mdh.alpha_, table.alphas[i], 1e-12) << urdf_joint->name;
    EXPECT_NEAR(mdh.qzero_, table.qzeros[i], 1e-12) << urdf_joint->name;
  }
}

TEST(DescriptionMdhTest, ArmJointOriginsGiveTheDesignedTables)
{
  expectDesignedTable(kDescriptions + "arm6_description/urdf/arm6_and_whole_gripper_linker_shim_camera.urdf",
                      arm_tables::arm6());
  expectDesignedTable(kDescriptions + "arm5_description/urdf/arm5.urdf", arm_tables::arm5());
}

}  // namespace
}  // namespace core
}  // namespace robot_model
