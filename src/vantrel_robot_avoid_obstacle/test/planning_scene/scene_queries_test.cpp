#include <array>
#include <cmath>
#include <stdexcept>

#include <gtest/gtest.h>

#include "robot_model/shapes/shapes.h"
#include "support/captured_output.h"
#include "support/scene_fixtures.h"

namespace {

const std::vector<double> kReady = arm6Layout().ready;
const std::string kArm6Urdf = "urdf/arm6_and_whole_gripper_linker_shim_camera.urdf";
const std::string kArm6Srdf = "srdf/arm6_and_whole_gripper_linker.srdf";

struct Built {
  std::unique_ptr<ManipulatorPlanScene> scene;
  std::string output;
  std::string error;  // the message of a set-up error
};

Built build(const std::string& directory, const std::string& urdf, const std::string& srdf, const std::string& group,
            double padding = 0.0) {
  Built built;
  built.output = capturedOutput([&] {
    try {
      built.scene = std::make_unique<ManipulatorPlanScene>(directory, urdf, srdf, group, padding, 1.0);
    } catch (const std::runtime_error& error) {
      built.error = error.what();
    }
  });
  return built;
}

TEST(SceneConstruction, Arm6SettlesTheArmGroupPrintsItsSetUpAndPointsTheDescriptionAtItsDirectory) {
  const Built built = build(arm6Directory(), kArm6Urdf, kArm6Srdf, "arm", 0.01);
  for (const char* line : {"start build robot model...\n", "build robot model success!\n",
                           "we find <arm> joint group.\n", "max_extent_=38.560000\n",
                           "longest_valid_segment_=0.192800\n",
                           // The gripper's padding in the standard world test, not the margin just set.
                           "n_dof=6,n=7,my gripper_link padding:0.01\n"}) {
    EXPECT_NE(built.output.find(line), std::string::npos) << line;
  }
  const std::string& description = built.scene->getRobotDescription();
  EXPECT_EQ(description.find("package://"), std::string::npos);
  EXPECT_NE(description.find("\"file://" + arm6Directory() + "meshes/base_link.stl\""), std::string::npos);
}

TEST(SceneConstruction, WithoutAPlanningGroupEveryQueryFails) {
  // An unknown group, a missing description, nested groups only, and a mesh that cannot be loaded, whose link
  // would have no collision geometry and check as free everywhere.
  using Files = std::array<std::string, 4>;  // directory, URDF, SRDF, group
  for (const Files& files : {Files{arm6Directory(), kArm6Urdf, kArm6Srdf, "elbow"},
                             Files{arm6Directory(), "urdf/missing.urdf", kArm6Srdf, "arm"},
                             Files{testRigDirectory(), "test_rig.urdf", "test_rig_nested_groups.srdf", "wrist"},
                             Files{testRigDirectory(), "test_rig_missing_mesh.urdf", "test_rig.srdf", "wrist"}}) {
    const std::unique_ptr<ManipulatorPlanScene> scene = build(files[0], files[1], files[2], files[3]).scene;
    EXPECT_FALSE(scene->hasPlanningGroup()) << files[1] << " " << files[3];
    std::vector<std::pair<double, double>> bounds{{1.0, 2.0}};
    EXPECT_EQ(scene->getJointLimits(bounds), -1);
    EXPECT_TRUE(bounds.empty());
    const std::vector<double> q(6, 0.0), r(6, 0.5);
    EXPECT_FALSE(scene->isStateValid(q.data()));
    EXPECT_FALSE(scene->isStateValidWithMargin(q.data()));
    EXPECT_FALSE(scene->checkMotion(q.data(), r.data()));
    EXPECT_FALSE(scene->checkMotionWithMargin(q.data(), r.data()));
    EXPECT_TRUE(scene->getLinkTransforms(q.data()).empty());
    EXPECT_EQ(capturedOutput([&] { scene->setGripperPadding(0.05); }), "");
  }
  // A group without moving joints has no extent, an unbounded planar joint an infinite one: no scene at all.
  for (const char* group : {"mount_only", "cart"}) {
    const Built built = build(testRigDirectory(), "test_rig.urdf", "test_rig.srdf", group);
    EXPECT_EQ(built.scene, nullptr) << group;
    EXPECT_NE(built.error.find("longest_valid_segment is"), std::string::npos) << group;
  }
}

// Arm5's only group is planned whatever name is configured. The base joint turns either arm in free space: only
// its bounds can make those states invalid.
TEST(SceneLimits, StatesOutsideTheBoundsAreInvalidAndMotionsFarBeyondThemAreRefusedAtOnce) {
  for (const bool arm6 : {true, false}) {
    const std::unique_ptr<ManipulatorPlanScene> scene = arm6 ? makeArm6Scene() : makeArm5Scene("no_such_group");
    const std::vector<double> home = arm6 ? arm6Layout().ready : std::vector<double>(5, 0.0);
    EXPECT_EQ(scene->getPlanningGroupName(), "arm");
    std::vector<std::pair<double, double>> bounds;
    ASSERT_EQ(scene->getJointLimits(bounds), static_cast<int>(home.size()));
    ASSERT_TRUE(scene->isStateValid(home.data()));
    std::vector<double> q = home;
    for (const double value : {bounds[0].first, bounds[0].second}) {
      q[0] = value;
      EXPECT_TRUE(scene->isStateValid(q.data())) << value;
    }
    for (std::size_t j = 0; j < home.size(); ++j) {
      q = home;
      for (const double value : {bounds[j].first - 1e-9, bounds[j].second + 1e-9, 1e17, -1e17, double{NAN}}) {
        q[j] = value;
        EXPECT_FALSE(scene->isStateValid(q.data())) << "joint " << j << " at " << value;
        EXPECT_FALSE(scene->isStateValidWithMargin(q.data())) << "joint " << j << " at " << value;
      }
    }
    // A motion far beyond the bounds, or to a state that is not finite, has no segment count.
    for (const double far : {1e6, double{NAN}}) {
      q = home;
      q[0] = far;
      EXPECT_EQ(scene->validSegmentCount(home.data(), q.data()), -1) << far;
      EXPECT_FALSE(scene->checkMotion(home.data(), q.data())) << far;
    }
  }
  // A fixed joint among the group's first joints leaves the group without bounds.
  std::vector<std::pair<double, double>> bounds;
  EXPECT_EQ(makeTestRigScene("fixed_first")->getJointLimits(bounds), -3);
}

// The test rig's wrist arm at j1 = 0 is the box x in [0.48, 0.52], y in [0.1, 0.5], z in [0.28, 0.32]; one voxel
// over its middle, its lower face `gap` above the arm's top. The gripper padding grows the standard checks only,
// and only on a group with a gripper ("fixed_first"); the margin checks keep their 0.06 whatever it is. Within a
// query a valid state is remembered: each change of padding or world, and the end of the query, must drop it.
TEST(RigValidity, GripperPaddingMarginAndRememberedStatesAgainstOneVoxel) {
  const auto voxelAbove = [](octomap::OcTree& tree, double gap) { fillPoint(tree, Eigen::Vector3d(0.505, 0.305, 0.32 + gap + 0.005)); };
  const double zero = 0.0;
  for (const std::string group : {"wrist", "fixed_first"}) {
    SCOPED_TRACE(group);
    std::unique_ptr<ManipulatorPlanScene> scene = makeTestRigScene(group);
    auto tree = makeOctree(0.01);
    voxelAbove(*tree, 0.07);
    scene->updateWorldOctomap(tree);
    scene->beginQuery();
    ASSERT_TRUE(scene->isStateValid(&zero));
    capturedOutput([&] { scene->setGripperPadding(0.1); });
    EXPECT_EQ(scene->isStateValid(&zero), group == "wrist");
    EXPECT_TRUE(scene->isStateValidWithMargin(&zero));
    capturedOutput([&] { scene->setGripperPadding(0.0); });
    EXPECT_TRUE(scene->isStateValid(&zero));
    voxelAbove(*tree, 0.03);
    scene->updateWorldOctomap(tree);
    EXPECT_TRUE(scene->isStateValid(&zero));
    EXPECT_FALSE(scene->isStateValidWithMargin(&zero));
    voxelAbove(*tree, 0.0);
    scene->updateWorldOctomap(tree);
    EXPECT_FALSE(scene->isStateValid(&zero));
    tree = makeOctree(0.01);
    scene->updateWorldOctomap(tree);
    EXPECT_TRUE(scene->isStateValid(&zero));
    scene->endQuery();
    // Between queries the owner may change the tree in place.
    voxelAbove(*tree, 0.0);
    EXPECT_FALSE(scene->isStateValid(&zero));
  }
}

// 1e308 is finite, but the padded geometry cannot be built: refused like the others, not half applied.
TEST(GripperPadding, Arm6PadsTheBaseLinkAndEveryGroupLinkOrNoneAtAll) {
  std::unique_ptr<ManipulatorPlanScene> scene = makeArm6Scene();
  std::vector<std::string> links = scene->getPlanningGroup()->getLinkModelNames();
  links.push_back("base_link");
  for (const double padding : {0.02, 1e308, -0.01, double{NAN}, double{INFINITY}}) {
    EXPECT_NO_THROW(capturedOutput([&] { scene->setGripperPadding(padding); })) << padding;
    for (const std::string& link : links)
      EXPECT_EQ(scene->getPaddedCollisionRobot().getLinkPadding(link), 0.02) << link << " after " << padding;
  }
}

// The node's updates: one shared octree object replaces everything else in the world, however often it is
// given; a null tree is refused; refilling the shared tree in place is seen at once. Folding the arm drives link4
// into link2, a pair the description does not disable.
TEST(NodeOperations, OneSharedOctreeReplacesTheWorldAndItsRefillsAreSeen) {
  std::unique_ptr<ManipulatorPlanScene> scene = makeArm6Scene();
  const std::vector<double> folded{0.0, -1.0, -1.0, 0.0, -1.0, 0.0};
  EXPECT_FALSE(scene->isStateValid(folded.data()));
  auto tree = makeOctree();
  scene->updateWorldOctomap(tree);
  scene->getWorld()->addToObject("grab_object", std::make_shared<const shapes::Box>(0.1, 0.1, 0.1),
                                 Eigen::Isometry3d::Identity());
  // Far from the arm, so the tree's first bounds say nothing about where the arm is.
  fillPoint(*tree, Eigen::Vector3d(-3.0, -3.0, 0.0));
  scene->updateWorldOctomap(tree);
  EXPECT_EQ(scene->getCollisionWorld()->getFCLObjects().size(), 1u);
  ASSERT_TRUE(scene->isStateValid(kReady.data()));
  const Eigen::Vector3d on_link = linkPosition(*scene, kReady, "link4");
  fillPoint(*tree, on_link);
  EXPECT_FALSE(scene->isStateValid(kReady.data()));
  scene->updateWorldOctomap(nullptr);
  EXPECT_TRUE(scene->worldHoldsOctomap(tree)) << "a null tree is refused";
}

// A box attached to a link counts in every check until it is detached, and takes the place of a world object of
// its name; a box that cannot be built, or a link of another model, attaches nothing.
TEST(NodeOperations, AnAttachedBoxCountsUntilDetachedAndReplacesTheWorldObjectOfItsName) {
  std::unique_ptr<ManipulatorPlanScene> scene = makeArm6Scene();
  const std::string tool = scene->getPlanningGroup()->getLinkModelNames().back();
  const robot_model::core::LinkModel& link = *scene->getPlanningGroup()->getLinkModel(tool);
  const Eigen::Vector3d above = linkPosition(*scene, kReady, tool) + Eigen::Vector3d(0.0, 0.0, 0.4);
  auto tree = makeOctree(0.01);
  fillPoint(*tree, above);
  scene->updateWorldOctomap(tree);
  scene->getWorld()->addToObject("held", std::make_shared<const shapes::Box>(0.1, 0.1, 0.1),
                                 Eigen::Isometry3d(Eigen::Translation3d(-3.0, -3.0, 0.0)));
  ASSERT_TRUE(scene->isStateValid(kReady.data()));
  const Eigen::Isometry3d box_pose{Eigen::Translation3d(above)};
  const auto attach = [&](const robot_model::core::LinkModel& to, double edge, std::string& output) {
    bool attached = false;
    output = capturedOutput([&] {
      attached = scene->attachBox("held", to, {edge, 0.1, 0.1}, 1.0, 0.01, kReady.data(), box_pose);
    });
    return attached;
  };
  std::string output;
  ASSERT_TRUE(attach(link, 0.0, output));
  EXPECT_EQ(scene->getWorld()->objects_.count("held"), 0u);
  EXPECT_FALSE(scene->isStateValid(kReady.data()));
  EXPECT_TRUE(scene->detachBody("held"));
  EXPECT_FALSE(scene->detachBody("held"));
  EXPECT_TRUE(scene->isStateValid(kReady.data()));

  const robot_model::core::LinkModel foreign(tool, link.getLinkIndex());
  EXPECT_FALSE(attach(foreign, 0.1, output));
  EXPECT_EQ(output, "Invalid link.\n");
  EXPECT_FALSE(attach(link, -0.1, output));
  EXPECT_NE(output.find("negative"), std::string::npos) << output;
  EXPECT_FALSE(scene->getRobotState()->hasAttachedBody("held"));
  EXPECT_TRUE(scene->isStateValid(kReady.data()));
}

// A box placed in the world counts in every check, within a query too, until it is moved away or removed; placing
// takes the place of the object of its name, beside the octree; a box that cannot be built changes nothing.
TEST(NodeOperations, APlacedWorldBoxCountsUntilMovedAwayOrRemoved) {
  std::unique_ptr<ManipulatorPlanScene> scene = makeArm6Scene();
  auto tree = makeOctree();
  scene->updateWorldOctomap(tree);
  const Eigen::Isometry3d on_link(Eigen::Translation3d(linkPosition(*scene, kReady, "link4")));
  const Eigen::Isometry3d far(Eigen::Translation3d(-3.0, -3.0, 0.0));
  const Eigen::Vector3d edges(0.05, 0.05, 0.05);
  scene->beginQuery();
  ASSERT_TRUE(scene->isStateValid(kReady.data()));
  EXPECT_TRUE(scene->placeWorldBox("surface", edges, on_link));
  EXPECT_FALSE(scene->isStateValid(kReady.data()));
  bool placed = true;
  const std::string output =
      capturedOutput([&] { placed = scene->placeWorldBox("surface", Eigen::Vector3d(-0.1, 0.1, 0.1), far); });
  EXPECT_FALSE(placed);
  EXPECT_NE(output.find("negative"), std::string::npos) << output;
  EXPECT_FALSE(scene->isStateValid(kReady.data()));
  EXPECT_TRUE(scene->placeWorldBox("surface", edges, far));
  EXPECT_EQ(scene->getWorld()->objects_.size(), 2u);
  EXPECT_TRUE(scene->worldHoldsOctomap(tree));
  EXPECT_TRUE(scene->isStateValid(kReady.data()));
  EXPECT_TRUE(scene->placeWorldBox("surface", edges, on_link));
  EXPECT_TRUE(scene->removeWorldObject("surface"));
  EXPECT_FALSE(scene->removeWorldObject("surface"));
  EXPECT_TRUE(scene->isStateValid(kReady.data()));
  scene->endQuery();
}

}  // namespace
