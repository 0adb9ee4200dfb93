// Link boxes; the test arms as models, states and solvers; broken descriptions; a small branching robot's groups.
#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <memory>
#include <random>
#include <stdexcept>
#include <string>
#include <type_traits>
#include <utility>
#include <vector>

#include "kinematics/kinematics_interface.h"
#include "kinematics/orvane_bot_v3_kinematics.h"
#include "kinematics/six_axis_kinematics.h"
#include "robot_model/core/exceptions.h"
#include "robot_model/core/joint_model_group.h"
#include "robot_model/core/link_model.h"
#include "robot_model/core/robot_model.h"
#include "robot_model/core/robot_state.h"
#include "robot_model/shapes/shapes.h"
#include "test/kinematics/arm_tables.h"
#include "test/support/arm_descriptions.h"

namespace {

using namespace arm_descriptions;
using ModelPtr = std::shared_ptr<const robot_model::core::RobotModel>;

// Runs f with standard output captured and returns what it printed; an exception ends the capture.
template <typename F>
std::string captureStdout(F&& f) {
  fflush(stdout);
  testing::internal::CaptureStdout();
  try {
    f();
  } catch (...) {
    testing::internal::GetCapturedStdout();
    throw;
  }
  fflush(stdout);
  return testing::internal::GetCapturedStdout();
}

// A model built with standard output captured into *printed (when given).
ModelPtr buildModel(const std::string& directory, const char* urdf, const char* srdf,
                           std::string* printed = nullptr) {
  ModelPtr model;
  const std::string out =
      captureStdout([&] { model = std::make_shared<const robot_model::core::RobotModel>(directory, urdf, srdf); });
  if (printed) *printed = out;
  return model;
}

// The arm6 and arm5 models, each built once per test binary.
ModelPtr arm6Model() {
  static const ModelPtr model = buildModel(kArm6Dir, kArm6Urdf, kArm6Srdf);
  return model;
}
ModelPtr arm5Model() {
  static const ModelPtr model = buildModel(kArm5Dir, kArm5Urdf, kArm5Srdf);
  return model;
}

void replaceOnce(std::string& text, const std::string& from, const std::string& to) {
  const std::size_t at = text.find(from);
  if (at == std::string::npos) throw std::runtime_error("fixture text not found: " + from);
  text.replace(at, from.size(), to);
}

// A copy of the arm6 description in a fresh temporary directory (removed again on destruction); tests edit its URDF
// or SRDF text before building a model from it.
struct TempDescription {
  TempDescription() : urdf(readFile(kArm6Dir + kArm6Urdf)), srdf(readFile(kArm6Dir + kArm6Srdf)) {
    std::string pattern = (std::filesystem::temp_directory_path() / "rao_description_XXXXXX").string();
    if (!mkdtemp(pattern.data())) throw std::runtime_error("mkdtemp failed");
    directory = pattern + "/";
    std::filesystem::create_directories(directory + "urdf");
    std::filesystem::create_directories(directory + "srdf");
    std::filesystem::copy(kArm6Dir + "meshes", directory + "meshes");
  }
  ~TempDescription() {
    std::error_code ignored;
    std::filesystem::remove_all(directory, ignored);
  }
  TempDescription(const TempDescription&) = delete;
  TempDescription& operator=(const TempDescription&) = delete;

  void write() const {
    std::ofstream(directory + kArm6Urdf, std::ios::binary) << urdf;
    std::ofstream(directory + kArm6Srdf, std::ios::binary) << srdf;
  }
  // Writes the texts, then builds as buildModel does.
  ModelPtr build(std::string* printed = nullptr) const {
    write();
    return buildModel(directory, kArm6Urdf, kArm6Srdf, printed);
  }

  std::string urdf;
  std::string srdf;
  std::string directory;
};

using robot_model::core::AttachedBody;
using robot_model::core::JointModel;
using robot_model::core::JointModelGroup;
using robot_model::core::LinkModel;
using robot_model::core::RobotModel;
using robot_model::core::RobotState;
using Names = std::vector<std::string>;
using Origins = std::vector<Eigen::Isometry3d, Eigen::aligned_allocator<Eigen::Isometry3d>>;


// The box around a link's shapes at their origins: turned, several shapes, a mesh from its transformed vertices.
TEST(LinkModel, BoxOfShapesAndMeshesAtTheirOrigins) {
  LinkModel link("parts", 0);
  // Turned by 45 degrees, the 1 x 2 box spans 3 / sqrt(2) along x and y.
  Eigen::Isometry3d turned = Eigen::Isometry3d::Identity();
  turned.rotate(Eigen::AngleAxisd(M_PI / 4, Eigen::Vector3d::UnitZ()));
  link.setGeometry({std::make_shared<const shapes::Box>(1.0, 2.0, 3.0)}, Origins{turned});
  const double diagonal = 3.0 * std::sqrt(0.5);
  EXPECT_TRUE(link.getShapeExtentsAtOrigin().isApprox(Eigen::Vector3d(diagonal, diagonal, 3.0), 1e-12));

  link.setGeometry(
      {std::make_shared<const shapes::Box>(1.0, 2.0, 3.0), std::make_shared<const shapes::Cylinder>(1.0, 0.5)},
      Origins{Eigen::Isometry3d::Identity(), Eigen::Isometry3d(Eigen::Translation3d(0.0, 0.0, 2.0))});
  // z spans the box [-1.5, 1.5] and the cylinder [1.5, 2.5].
  EXPECT_TRUE(link.getShapeExtentsAtOrigin().isApprox(Eigen::Vector3d(1.0, 2.0, 4.0), 1e-12));
  EXPECT_TRUE(link.getCenteredBoundingBoxOffset().isApprox(Eigen::Vector3d(0.0, 0.0, 0.5), 1e-12));
  EXPECT_EQ(link.areCollisionOriginTransformsIdentity(), (std::vector<int>{1, 0}));

  auto mesh = std::make_shared<shapes::Mesh>(2, 0);
  const double vertices[] = {-1.0, 0.0, 0.0, 1.0, 0.5, 0.25};
  std::copy(vertices, vertices + 6, mesh->vertices.get());
  Eigen::Isometry3d pose(Eigen::Translation3d(0.0, 0.0, 1.0));
  pose.rotate(Eigen::AngleAxisd(M_PI / 2, Eigen::Vector3d::UnitZ()));
  link.setGeometry({mesh}, Origins{pose});
  // Rotated by 90 degrees about z: x' = -y, y' = x.
  EXPECT_TRUE(link.getShapeExtentsAtOrigin().isApprox(Eigen::Vector3d(0.5, 2.0, 0.25), 1e-12));
  EXPECT_TRUE(link.getCenteredBoundingBoxOffset().isApprox(Eigen::Vector3d(-0.25, 0.0, 1.125), 1e-12));
}

TEST(Arm6Model, TreeVariablesMimicFingerGeometryGroupsAndSolver) {
  const auto model = arm6Model();
  ASSERT_TRUE(model->isValid());
  EXPECT_EQ(model->getModelFrame(), "base_link");
  // Depth first, children by joint name.
  EXPECT_EQ(model->getJointModelNames(),
            (Names{"virtual_joint", "joint1", "joint2", "joint3", "joint4", "joint5", "joint6", "camera_joint",
                   "gripper_joint", "finger_left_joint", "finger_right_joint"}));
  for (std::size_t i = 0; i < model->getJointModelCount(); ++i) {
    EXPECT_EQ(model->getJointModels()[i]->getChildLinkModel(), model->getLinkModels()[i]);
  }
  EXPECT_EQ(model->getActiveJointModelNames(),
            (Names{"joint1", "joint2", "joint3", "joint4", "joint5", "joint6", "finger_left_joint"}));
  EXPECT_EQ(model->getVariableCount(), 8u);
  EXPECT_EQ(model->getVariableIndex("finger_right_joint"), 7);
  ASSERT_EQ(model->getMimicJointModels().size(), 1u);
  const JointModel* mimic = model->getMimicJointModels()[0];
  EXPECT_EQ(mimic->getMimic(), model->getJointModel("finger_left_joint"));
  EXPECT_DOUBLE_EQ(mimic->getMimicFactor(), 1.0);
  EXPECT_DOUBLE_EQ(mimic->getMimicOffset(), 0.0);
  EXPECT_EQ(model->getJointModel("finger_left_joint")->getMimicRequests(), std::vector<const JointModel*>{mimic});

  EXPECT_EQ(model->getLinkModelNamesWithCollisionGeometry(),
            (Names{"base_link", "link1", "link2", "link3", "link4", "link5", "link6", "camera_link", "gripper_link"}));
  // link1 and link3 carry two collision cylinders each.
  EXPECT_EQ(model->getLinkGeometryCount(), 11u);
  EXPECT_EQ(model->getLinkModel("link2")->getFirstCollisionBodyIndex(), 3);
  EXPECT_EQ(model->getLinkModel("finger_left_link")->getFirstCollisionBodyIndex(), -1);
  // Joint ranges of the six arm joints plus the finger stroke, each with distance factor 1.
  EXPECT_NEAR(model->getMaximumExtent(), 6.1 + 4.2 + 5.2 + 6.1 + 4.4 + 12.56 + 0.035, 1e-12);
  const JointModelGroup* arm = model->getJointModelGroup("arm");
  EXPECT_NEAR(arm->getMaximumExtent(), 6.1 + 4.2 + 5.2 + 6.1 + 4.4 + 12.56, 1e-12);

  // The arm is a chain with the six-axis solver, the gripper an end effector without one.
  EXPECT_EQ(model->getJointModelGroupNames(), (Names{"arm", "gripper"}));
  EXPECT_TRUE(arm->isContiguousWithinState());
  EXPECT_EQ(arm->getLinkModelNames(), (Names{"link1", "link2", "link3", "link4", "link5", "link6", "gripper_link"}));
  EXPECT_EQ(arm->getCommonRoot()->getParentLinkModel()->getName(), "base_link");
  EXPECT_TRUE(arm->getSubgroupNames().empty());
  EXPECT_EQ(arm->getAttachedEndEffectorNames(), Names{"hand"});
  EXPECT_NE(dynamic_cast<SixAxisKinematics*>(arm->kinematics_interface_ptr_.get()), nullptr);
  EXPECT_EQ(arm->getDefaultStateNames(), (Names{"home", "ready"}));
  EXPECT_DOUBLE_EQ(arm->getDefaultStates().at("ready").at("joint5"), -0.67);
  // Updated links: everything below joint1, the fingers included.
  EXPECT_EQ(arm->getUpdatedLinkModelNames().size(), 10u);

  const JointModelGroup* gripper = model->getJointModelGroup("gripper");
  EXPECT_TRUE(gripper->isEndEffector());
  EXPECT_EQ(gripper->getEndEffectorParentGroup(), std::make_pair(std::string("arm"), std::string("gripper_link")));
  EXPECT_EQ(gripper->kinematics_interface_ptr_, nullptr);
  EXPECT_TRUE(gripper->getSubgroupNames().empty());
  EXPECT_EQ(gripper->getMimicUpdates().size(), 1u);
  EXPECT_EQ(model->getEndEffector("hand"), gripper);

  // The exact-output check of the model's messages: lookups of unknown names print and return null.
  EXPECT_EQ(captureStdout([&] { EXPECT_EQ(model->getLinkModel("nowhere"), nullptr); }),
            "Link 'nowhere' not found in model 'arm6'");
  EXPECT_EQ(captureStdout([&] { EXPECT_EQ(arm->getLinkModel("camera_link"), nullptr); }),
            "Link 'camera_link' not found in group 'arm'\n");
}

TEST(ArmModels, Arm5GetsTheFiveAxisSolverAndBothArmsCarryTheirDesignedMdhTables) {
  const auto arm5 = arm5Model();
  ASSERT_TRUE(arm5->isValid());
  ASSERT_EQ(arm5->getJointModelGroups().size(), 1u);
  const JointModelGroup* arm = arm5->getJointModelGroups()[0];
  EXPECT_EQ(arm->getVariableCount(), 5u);
  EXPECT_NE(dynamic_cast<OrvaneBotV3Kinematics*>(arm->kinematics_interface_ptr_.get()), nullptr);

  for (const auto& [model, table] : {std::make_pair(arm6Model(), arm_tables::arm6()),
                                     std::make_pair(arm5, arm_tables::arm5())}) {
    for (std::size_t i = 0; i < table.zds.size(); ++i) {
      const auto* joint = model->getJointModel("joint" + std::to_string(i + 1));
      ASSERT_NE(joint, nullptr);
      EXPECT_EQ(joint->getMdhStatus(), robot_model::core::MdhStatus::VALID) << joint->getName();
      const auto& mdh = joint->getMdhParameters();
      const double expected[] = {table.zds[i], table.xas[i], table.alphas[i], table.qzeros[i]};
      const double actual[] = {mdh.zd_, mdh.xa_, mdh.alpha_, mdh.qzero_};
      for (int k = 0; k < 4; ++k) EXPECT_NEAR(actual[k], expected[k], 1e-12) << model->getName() << " " << i << k;
    }
  }
}

static_assert(!std::is_copy_constructible<RobotState>::value, "a robot state owns its arrays and bodies");
static_assert(!std::is_copy_assignable<RobotState>::value, "a robot state owns its arrays and bodies");

std::unique_ptr<AttachedBody> grabObject(const robot_model::core::LinkModel* link, double size, double offset) {
  auto body = std::make_unique<AttachedBody>();
  body->parent_link_ = link;
  body->id_ = "grab_object";
  body->shapes_.push_back(std::make_shared<const shapes::Box>(size, size, size));
  Eigen::Isometry3d pose(Eigen::Translation3d(0.0, 0.0, offset));
  pose.rotate(Eigen::AngleAxisd(0.3, Eigen::Vector3d::UnitX()));
  body->shape_poses_.push_back(pose);
  body->touch_links_.insert(link->getName());
  return body;
}

TEST(RobotState, NullModelThrows) { EXPECT_THROW(RobotState state(nullptr), std::invalid_argument); }

// One state from its start at zero through the reference pose and the gripper's mimic finger to attached bodies:
// attaching under a taken id replaces the body, an unusable body is refused keeping the attached one, an unknown id
// clears nothing, the body follows its link, and destruction detaches.
TEST(RobotState, ReferencePosesMimicFingerAndAttachedBodies) {
  const auto model = arm6Model();
  const auto* tool = model->getLinkModel("gripper_link");
  const auto* right = model->getLinkModel("finger_right_link");
  std::vector<std::pair<const AttachedBody*, bool>> calls;  // outlives the state, whose destructor reports
  auto first = grabObject(tool, 0.05, 0.02);
  auto second = grabObject(tool, 0.08, 0.04);
  const AttachedBody* old_body = first.get();
  const AttachedBody* new_body = second.get();
  {
    RobotState state(model);
    // Zero with current transforms: joint6 straight above link5, from the MDH table.
    EXPECT_TRUE(state.getGlobalLinkTransform(tool).translation().isApprox(Eigen::Vector3d(0.6, -0.10, 0.73), 1e-12));
    const std::vector<double> q = {0.1, -0.2, 0.3, -0.4, 0.5, -0.6};
    state.setJointGroupPositions(model->getJointModelGroup("arm"), q);
    state.updateCollisionBodyTransforms();
    const Eigen::Vector3d p = state.getGlobalLinkTransform(tool).translation();
    EXPECT_LT((p - Eigen::Vector3d(0.643602510, 0.001600453, 0.862215685)).cwiseAbs().maxCoeff(), 1e-9) << p;
    // The gripper's collision body has an identity origin: it sits at the link pose.
    EXPECT_TRUE(state.getCollisionBodyTransform(tool, 0).isApprox(state.getGlobalLinkTransform(tool), 1e-15));
    // The mimic variable is overwritten from its source: the right finger slides along -y of the gripper frame.
    const Eigen::Vector3d closed = state.getGlobalLinkTransform(right).translation();
    state.setJointGroupPositions(model->getJointModelGroup("gripper"), std::vector<double>{0.03, 0.0});
    state.updateCollisionBodyTransforms();
    const Eigen::Vector3d moved = state.getGlobalLinkTransform(tool).linear().transpose() *
                                  (state.getGlobalLinkTransform(right).translation() - closed);
    EXPECT_LT((moved - Eigen::Vector3d(0.0, -0.03, 0.0)).norm(), 1e-12) << moved.transpose();

    state.setAttachedBodyUpdateCallback(
        [&calls](AttachedBody* body, bool attached) { calls.emplace_back(body, attached); });
    captureStdout([&] { state.attachBody(std::move(first)); });
    captureStdout([&] { state.attachBody(std::move(second)); });
    // No parent link, no shape poses, a link of another model.
    const auto* foreign = arm5Model()->getLinkModel("tool_link");
    std::unique_ptr<AttachedBody> unusable[] = {grabObject(tool, 0.05, 0.02), grabObject(tool, 0.05, 0.02),
                                                grabObject(foreign, 0.05, 0.02)};
    unusable[0]->parent_link_ = nullptr;
    unusable[1]->shape_poses_.clear();
    for (auto& body : unusable) {
      captureStdout([&] { EXPECT_THROW(state.attachBody(std::move(body)), std::runtime_error); });
    }
    state.clearAttachedBody("something_else");
    EXPECT_EQ(state.getAttachedBodies().size(), 1u);
    EXPECT_EQ(state.getAttachedBody("grab_object"), new_body);
    state.updateLinkTransforms();
    const Eigen::Isometry3d body_pose = state.getGlobalLinkTransform(tool) * new_body->shape_poses_[0];
    EXPECT_TRUE(new_body->global_shape_poses_[0].isApprox(body_pose, 1e-12));
  }
  const std::vector<std::pair<const AttachedBody*, bool>> expected = {
      {old_body, true}, {old_body, false}, {new_body, true}, {new_body, false}};
  EXPECT_EQ(calls, expected);
}

TEST(GroupInterpolation, EndsGiveTheEndStatesAndMimicsFollow) {
  const auto model = arm6Model();
  const std::vector<double> from = {0.1, -0.2, 0.3, -0.4, 0.5, -0.6};
  const std::vector<double> to = {-1.0, 1.0, -2.0, 2.0, -1.5, 6.0};
  std::vector<double> state(6);
  model->getJointModelGroup("arm")->interpolate(from.data(), to.data(), 0.0, state.data());
  EXPECT_EQ(state, from);
  model->getJointModelGroup("arm")->interpolate(from.data(), to.data(), 1.0, state.data());
  for (std::size_t i = 0; i < to.size(); ++i) EXPECT_NEAR(state[i], to[i], 1e-15);

  const std::vector<double> closed = {0.0, 0.0};
  const std::vector<double> open = {0.03, 0.03};
  std::vector<double> fingers(2, -1.0);
  model->getJointModelGroup("gripper")->interpolate(closed.data(), open.data(), 0.5, fingers.data());
  EXPECT_NEAR(fingers[0], 0.015, 1e-15);
  EXPECT_NEAR(fingers[1], 0.015, 1e-15);
}

void expectPoseNear(const Eigen::Isometry3d& actual, const Eigen::Matrix4d& expected, double tolerance) {
  EXPECT_LT((actual.matrix() - expected).cwiseAbs().maxCoeff(), tolerance) << actual.matrix() << "\n\n" << expected;
}

// One arm joint at a time takes a random value within its limits (1,000 vectors): link6 is where the solver's forward
// kinematics puts the flange and gripper_link one tool offset beyond; every link and collision body pose equals that
// of a freshly computed state.
TEST(KinematicConsistency, LinkPosesMatchTheSolverAndAFreshState) {
  const auto model = arm6Model();
  const JointModelGroup* arm = model->getJointModelGroup("arm");
  ASSERT_NE(arm->kinematics_interface_ptr_, nullptr);
  const std::size_t link6 = model->getLinkModel("link6")->getLinkIndex();
  const std::size_t gripper = model->getLinkModel("gripper_link")->getLinkIndex();
  const Eigen::Isometry3d tool(Eigen::Translation3d(0.0, 0.0, 0.12));

  RobotState state(model);
  std::vector<double> q(6, 0.0);
  std::mt19937 engine(42);
  for (int i = 0; i < 1000 && !HasFailure(); ++i) {
    const auto& bounds = (*arm->getActiveJointModelsBounds()[i % 6])[0];
    q[i % 6] = std::uniform_real_distribution<double>(bounds.min_position_, bounds.max_position_)(engine);
    state.setJointGroupPositions(arm, q);
    state.updateCollisionBodyTransforms();
    Eigen::MatrixXd flange;
    arm->forwardKinematics(q, flange);
    ASSERT_EQ(flange.rows(), 4);
    expectPoseNear(state.getGlobalLinkTransform(link6), flange, 1e-9);
    expectPoseNear(state.getGlobalLinkTransform(gripper), flange * tool.matrix(), 1e-9);
    RobotState fresh(model);
    fresh.setJointGroupPositions(arm, q);
    fresh.updateCollisionBodyTransforms();
    for (std::size_t link = 0; link < model->getLinkModelCount(); ++link) {
      EXPECT_TRUE(state.getGlobalLinkTransform(link).isApprox(fresh.getGlobalLinkTransform(link), 1e-12)) << link;
    }
    for (std::size_t body = 0; body < model->getLinkGeometryCount(); ++body) {
      EXPECT_TRUE(state.getCollisionBodyTransform(body).isApprox(fresh.getCollisionBodyTransform(body), 1e-12)) << body;
    }
  }
}

bool mentions(const RobotModel& model, const std::string& text) {
  const auto& errors = model.getSetupErrors();
  return std::any_of(errors.begin(), errors.end(),
                     [&](const std::string& error) { return error.find(text) != std::string::npos; });
}

// A relative description directory loads every mesh; without its URDF, SRDF or a mesh set-up fails naming it.
TEST(ModelSetup, RelativeDirectoryLoadsAndMissingFilesFailSetUpVisibly) {
  std::string printed;
  const std::string relative_dir = "./src/robot_avoid_obstacle/resources/robot_descriptions/arm6_description/";
  const auto relative = buildModel(relative_dir, kArm6Urdf, kArm6Srdf, &printed);
  EXPECT_TRUE(relative->isValid()) << printed;  // with every mesh

  TempDescription description;
  const auto buildWithout = [&](const std::string& file) {
    description.write();
    std::filesystem::remove(description.directory + file);
    return buildModel(description.directory, kArm6Urdf, kArm6Srdf);
  };
  const struct {
    const char* removed;
    const char* named;
  } cases[] = {{kArm6Urdf, kArm6Urdf}, {kArm6Srdf, kArm6Srdf}, {"meshes/gripper_body.stl", "gripper_link"}};
  for (const auto& c : cases) {
    const auto model = buildWithout(c.removed);
    EXPECT_FALSE(model->isValid()) << c.removed;
    EXPECT_TRUE(mentions(*model, c.named)) << c.removed;
    RobotState state(model);  // what was built still gives a usable state
    state.updateCollisionBodyTransforms();
  }
}

TEST(ModelSetup, PackageUrlWithoutPackageNameThrowsWithoutLeaking) {
  TempDescription description;
  const std::string collision = "<collision>\n      <geometry>\n        <mesh filename=";
  replaceOnce(description.urdf, collision + "\"package://meshes/gripper_body.stl\"/>",
                        collision + "\"package://\"/>");
  EXPECT_THROW(description.build(), robot_model::core::Exception);
}

// Arm chains the six-axis closed form cannot serve stay chains without a solver, and say why once.
TEST(ModelSetup, ArmChainsOutsideTheClosedFormGetNoSolver) {
  const struct {
    const char* from;
    const char* to;
    const char* reason;
  } cases[] = {
      // joint3 pitched: no MDH form at all.
      {R"(<origin xyz="0.4 0 0.1" rpy="0 0 0"/>)", R"(<origin xyz="0.4 0 0.1" rpy="0 0.1 0"/>)",
       "Mdh Para failed"},
      // joint4 with alpha -pi/2 instead of +pi/2: a valid MDH origin, the wrong arm type.
      {R"(<origin xyz="0.03 -0.35 0" rpy="1.5707963267948966 0 0"/>)",
       R"(<origin xyz="0.03 0.35 0" rpy="-1.5707963267948966 0 0"/>)", "alpha sequence not equal"},
      // joint2 with an offset along its axis: a valid MDH chain outside the closed form's assumptions.
      {R"(<origin xyz="0.05 0 0" rpy="1.5707963267948966 -1.5707963267948966 0"/>)",
       R"(<origin xyz="0.05 -0.02 0" rpy="1.5707963267948966 -1.5707963267948966 0"/>)", nullptr},
  };
  for (const auto& c : cases) {
    TempDescription description;
    replaceOnce(description.urdf, c.from, c.to);
    std::string printed;
    const auto model = description.build(&printed);
    const auto* arm = model->getJointModelGroup("arm");
    ASSERT_NE(arm, nullptr);
    EXPECT_TRUE(arm->isChain());
    EXPECT_EQ(arm->kinematics_interface_ptr_, nullptr) << c.to;
    if (c.reason != nullptr) {
      EXPECT_NE(printed.find(c.reason), std::string::npos) << printed;
      EXPECT_EQ(printed.find(c.reason), printed.rfind(c.reason)) << printed;
    }
  }
}

// A virtual joint named like a URDF joint fails set-up; joint property values out of range are reported and skipped;
// each group matching the closed form gets its own solver.
TEST(ModelSetup, SemanticNamesValuesAndGroupsOfTheArm) {
  TempDescription named, edited;
  replaceOnce(named.srdf, R"(<virtual_joint name="virtual_joint")", R"(<virtual_joint name="joint1")");
  const auto invalid = named.build();
  EXPECT_FALSE(invalid->isValid());
  EXPECT_TRUE(mentions(*invalid, "joint1"));

  const std::string property = "<joint_property joint_name=\"joint1\" property_name=\"check_motion_max_det_distance\" ";
  replaceOnce(edited.srdf, "</robot>",
                        property + "value=\"1e999\"/>\n" + property + "value=\"0.5mm\"/>\n</robot>");
  replaceOnce(edited.srdf, "<group name=\"gripper\">",
                        "<group name=\"arm_copy\"><chain base_link=\"base_link\" tip_link=\"link6\"/></group>\n"
                        "  <group name=\"gripper\">");
  std::string printed;
  const auto model = edited.build(&printed);
  EXPECT_TRUE(model->isValid());
  EXPECT_NE(printed.find("out of range"), std::string::npos) << printed;
  const auto& arm = model->getJointModelGroup("arm")->kinematics_interface_ptr_;
  const auto& copy = model->getJointModelGroup("arm_copy")->kinematics_interface_ptr_;
  ASSERT_TRUE(arm && copy);
  EXPECT_NE(arm, copy);
}

// base_link -j1-> l1, which carries two fingers: -fa-> fa_link -fa_tip_joint (fixed)-> fa_tip and -fb-> fb_link;
// base_link -p-> pl (prismatic) as a second branch; fa and fb may get mimic elements.
std::string branchingUrdf(const std::string& fa_mimic = "", const std::string& fb_mimic = "") {
  auto revolute = [&](const std::string& name, const std::string& parent, const std::string& child) {
    return "<joint name=\"" + name + "\" type=\"revolute\"><parent link=\"" + parent + "\"/><child link=\"" + child +
           "\"/><origin xyz=\"0 0 0.1\" rpy=\"0 0 0\"/><axis xyz=\"0 0 1\"/>"
           "<limit lower=\"-1\" upper=\"1\" effort=\"1\" velocity=\"1\"/>" +
           (name == "fa" ? fa_mimic : name == "fb" ? fb_mimic : std::string()) + "</joint>\n";
  };
  std::string text = "<robot name=\"branching\">\n";
  for (const char* link : {"base_link", "l1", "fa_link", "fa_tip", "fb_link", "pl"}) {
    text += std::string("<link name=\"") + link +
            "\"><collision><geometry><sphere radius=\"0.01\"/></geometry></collision></link>\n";
  }
  text += revolute("j1", "base_link", "l1") + revolute("fa", "l1", "fa_link") + revolute("fb", "l1", "fb_link");
  text += "<joint name=\"fa_tip_joint\" type=\"fixed\"><parent link=\"fa_link\"/><child link=\"fa_tip\"/>"
          "<origin xyz=\"0 0 0.05\" rpy=\"0 0 0\"/></joint>\n";
  text += "<joint name=\"p\" type=\"prismatic\"><parent link=\"base_link\"/><child link=\"pl\"/>"
          "<axis xyz=\"1 0 0\"/><limit lower=\"-1\" upper=\"1\" effort=\"1\" velocity=\"1\"/></joint>\n";
  return text + "</robot>\n";
}

std::shared_ptr<const RobotModel> build(TempDescription& description, const std::string& urdf,
                                        const std::string& srdf_body, std::string* printed = nullptr) {
  description.urdf = urdf;
  description.srdf = "<robot name=\"branching\">\n" + srdf_body + "</robot>\n";
  return description.build(printed);
}

// Group states keep only values of the right count for joints of the group; a floating virtual joint leads the state.
TEST(GroupBuilding, ChainsBranchesSubgroupsStatesAndRootJoint) {
  TempDescription description;
  const auto model = build(description, branchingUrdf(),
                           "<virtual_joint name=\"float\" type=\"floating\" parent_frame=\"odom\" "
                           "child_link=\"base_link\"/>\n"
                           "<group_state name=\"s\" group=\"two_joints\"><joint name=\"fa\" value=\"0.5 1.5\"/>"
                           "<joint name=\"p\" value=\"0.25\"/><joint name=\"fb\" value=\"0.1\"/></group_state>\n"
                           "<group name=\"outer\"><group name=\"inner\"/><joint name=\"fb\"/></group>\n"
                           "<group name=\"inner\"><chain base_link=\"base_link\" tip_link=\"fa_tip\"/></group>\n"
                           "<group name=\"fingers\"><chain base_link=\"fa_link\" tip_link=\"fb_link\"/></group>\n"
                           "<group name=\"fingers\"><joint name=\"j1\"/></group>\n"
                           "<group name=\"two_joints\"><joint name=\"fa\"/><joint name=\"p\"/></group>\n");
  const JointModelGroup* inner = model->getJointModelGroup("inner");
  EXPECT_EQ(inner->getJointModelNames(), (std::vector<std::string>{"j1", "fa", "fa_tip_joint"}));
  EXPECT_TRUE(inner->isChain());

  const JointModelGroup* fingers = model->getJointModelGroup("fingers");
  EXPECT_EQ(fingers->getJointModelNames(), (std::vector<std::string>{"j1", "fa", "fb"}));
  EXPECT_FALSE(fingers->isChain());

  // Built in a later pass, after the subgroup it names.
  const JointModelGroup* outer = model->getJointModelGroup("outer");
  EXPECT_EQ(outer->getJointModelNames(), (std::vector<std::string>{"j1", "fa", "fa_tip_joint", "fb"}));
  EXPECT_EQ(outer->getSubgroupNames(), (std::vector<std::string>{"fingers", "inner"}));

  // Two roots: not a chain; a movable non-member (j1) between fa and p breaks contiguity.
  const JointModelGroup* two = model->getJointModelGroup("two_joints");
  EXPECT_EQ(two->getJointRoots().size(), 2u);
  EXPECT_FALSE(two->isChain());
  EXPECT_FALSE(two->isContiguousWithinState());
  EXPECT_EQ(two->getCommonRoot(), model->getRootJoint());
  EXPECT_EQ(two->getDefaultStates().at("s"), (std::map<std::string, double>{{"p", 0.25}}));
  EXPECT_EQ(model->getModelFrame(), "odom");
  EXPECT_EQ(model->getVariableIndex("j1"), 7);

  // Siblings under l1 meet at j1.
  EXPECT_EQ(model->getCommonRoot(model->getJointModel("fa_tip_joint"), model->getJointModel("fb"))->getName(), "j1");
  // Rigid offsets between links joined by fixed joints, both ways.
  const auto* fa_link = model->getLinkModel("fa_link");
  const auto* fa_tip = model->getLinkModel("fa_tip");
  EXPECT_NEAR(fa_link->getAssociatedFixedTransforms().at(fa_tip).translation().z(), 0.05, 1e-15);
  EXPECT_NEAR(fa_tip->getAssociatedFixedTransforms().at(fa_link).translation().z(), -0.05, 1e-15);
}

TEST(GroupBuilding, MimicChainsAreFlattenedAndCyclesDropped) {
  TempDescription description;
  // fb mimics fa, which mimics j1.
  const auto model = build(description,
                           branchingUrdf("<mimic joint=\"j1\" multiplier=\"3\" offset=\"0.5\"/>",
                                         "<mimic joint=\"fa\" multiplier=\"2\" offset=\"0.1\"/>"),
                           "");
  const auto* fb = model->getJointModel("fb");
  EXPECT_EQ(fb->getMimic(), model->getJointModel("j1"));
  EXPECT_DOUBLE_EQ(fb->getMimicFactor(), 6.0);
  EXPECT_DOUBLE_EQ(fb->getMimicOffset(), 0.1 + 2.0 * 0.5);
  EXPECT_EQ(model->getJointModel("j1")->getMimicRequests().size(), 2u);

  TempDescription cyclic;
  const auto cyclic_model = build(cyclic, branchingUrdf("<mimic joint=\"fb\"/>", "<mimic joint=\"fa\"/>"), "");
  EXPECT_TRUE(cyclic_model->getMimicJointModels().empty());
  EXPECT_EQ(cyclic_model->getJointModel("fa")->getMimic(), nullptr);
}

}  // namespace
