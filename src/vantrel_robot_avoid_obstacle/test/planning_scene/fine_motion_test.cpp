// The dense final check against FCL alone: short motions of the arm, bare and carrying long sticks, free at both ends
// but through an obstacle voxel in between as FCL sampled every 0.0005 rad sees it, must all be refused.
#include <algorithm>
#include <cmath>
#include <memory>
#include <random>
#include <string>
#include <vector>

#include <fcl/geometry/shape/box.h>
#include <fcl/narrowphase/collision.h>
#include <gtest/gtest.h>

#include "collision_detection/collision_robot_fcl.h"
#include "robot_model/core/link_model.h"
#include "robot_model/shapes/shapes.h"
#include "support/arms_and_sticks.h"
#include "support/captured_output.h"
#include "support/scene_fixtures.h"

namespace {

constexpr double kJudgeStep = 0.0005;
constexpr double kPadding = 0.01;
constexpr double kVoxel = 0.02;
constexpr int kThroughMotions = 500;

using robot_model::core::AttachedBody;
using robot_model::core::LinkModel;

// FCL alone on the unpadded geometry of the arm's links and of the carried stick, at states of its own. FCL tests a
// mesh by its triangles, so an obstacle wholly inside one is not seen: where that matters, a mesh is taken as its
// bounding box, its hull.
class BareCheck {
 public:
  BareCheck(const ManipulatorPlanScene& scene, const AttachedBody* stick)
      : robot_(scene.getRobotModel()), state_(scene.getRobotModel()), group_(scene.getPlanningGroup()) {
    state_.setToDefaultValues();
    const auto& geometries = robot_.getCollisionGeometries();
    for (std::size_t k = 0; k < geometries.size(); ++k) {
      if (!geometries[k]) continue;
      const std::shared_ptr<fcl::CollisionGeometryd>& geometry = geometries[k]->collision_geometry_;
      Body body{fcl::CollisionObjectd(geometry), fcl::CollisionObjectd(geometry),
                geometries[k]->collision_geometry_data_->getLink(), Eigen::Isometry3d::Identity(), k};
      if (geometry->getObjectType() == fcl::OT_BVH) {
        const fcl::AABBd& box = geometry->aabb_local;
        body.hull = fcl::CollisionObjectd(std::make_shared<fcl::Boxd>(box.max_ - box.min_));
        body.hull_offset = Eigen::Translation3d(box.center());
      }
      bodies_.push_back(body);
    }
    if (stick != nullptr) {
      const auto& box = static_cast<const shapes::Box&>(*stick->shapes_[0]);
      const auto geometry = std::make_shared<fcl::Boxd>(box.size[0], box.size[1], box.size[2]);
      bodies_.push_back({fcl::CollisionObjectd(geometry), fcl::CollisionObjectd(geometry), stick->parent_link_,
                         Eigen::Isometry3d::Identity(), kStick, stick->shape_poses_[0]});
    }
  }

  void place(const std::vector<double>& q) {
    state_.setJointGroupPositions(group_, q);
    state_.updateCollisionBodyTransforms();
    for (Body& body : bodies_) {
      const Eigen::Isometry3d pose = body.index == kStick ? state_.getGlobalLinkTransform(body.link) * body.in_link
                                                          : state_.getCollisionBodyTransform(body.index);
      body.object.setTransform(pose);
      body.object.computeAABB();
      body.hull.setTransform(pose * body.hull_offset);
      body.hull.computeAABB();
    }
  }

  // Whether the voxel meets a body, or when `hulls` a mesh's hull.
  bool hits(const fcl::CollisionObjectd& voxel, bool hulls = false) const {
    return std::any_of(bodies_.begin(), bodies_.end(),
                       [&](const Body& body) { return collide(hulls ? body.hull : body.object, voxel); });
  }

  // Whether the stick meets a link other than the one it is held by.
  bool stickHitsArm() const {
    const Body& held = bodies_.back();
    return std::any_of(bodies_.begin(), bodies_.end() - 1,
                       [&](const Body& body) { return body.link != held.link && collide(body.object, held.object); });
  }

  // Whether the motion meets the voxel at any sample at most kJudgeStep apart on every joint; the samples nearest
  // fraction t are tried first.
  bool sampledMotionHits(const std::vector<double>& from, const std::vector<double>& to, double t,
                         const fcl::CollisionObjectd& voxel) {
    double widest = 0.0;
    for (std::size_t j = 0; j < from.size(); ++j) widest = std::max(widest, std::fabs(to[j] - from[j]));
    const int n = std::max(1, static_cast<int>(std::ceil(widest / kJudgeStep)));
    const int middle = static_cast<int>(std::lround(t * n));
    std::vector<double> q(from.size());
    for (int offset = 0; offset <= n; ++offset) {
      for (const int k : {middle - offset, middle + offset}) {
        if (k < 0 || k > n) continue;
        for (std::size_t j = 0; j < q.size(); ++j) q[j] = from[j] + (to[j] - from[j]) * k / n;
        place(q);
        if (hits(voxel)) return true;
        if (offset == 0) break;
      }
    }
    return false;
  }

  // A point of a body that the joint of group variable `variable` moves, as placed: three times in four, when there
  // is a stick, in the stick's outer quarters, which move fastest; otherwise anywhere in the body's bounding box.
  Eigen::Vector3d pointOnMovedBody(std::size_t variable, std::mt19937& rng) const {
    const Body* body = &bodies_.back();
    if (body->index != kStick || rng() % 4 == 0) {
      const auto& descendants = group_->getActiveJointModels()[variable]->getDescendantLinkModels();
      std::vector<const Body*> moved;
      for (const Body& candidate : bodies_) {
        if (std::find(descendants.begin(), descendants.end(), candidate.link) != descendants.end()) {
          moved.push_back(&candidate);
        }
      }
      body = moved[std::uniform_int_distribution<std::size_t>(0, moved.size() - 1)(rng)];
    }
    const fcl::AABBd& box = body->object.collisionGeometry()->aabb_local;
    Eigen::Vector3d local;
    for (int axis = 0; axis < 3; ++axis) {
      local[axis] = std::uniform_real_distribution<double>(box.min_[axis], box.max_[axis])(rng);
    }
    if (body->index == kStick) {
      int longest = 0;
      box.max_.maxCoeff(&longest);
      local[longest] = (rng() % 2 == 0 ? 1.0 : -1.0) * std::uniform_real_distribution<double>(0.5, 1.0)(rng) *
                       box.max_[longest];
    }
    return body->object.getTransform() * local;
  }

  static bool collide(const fcl::CollisionObjectd& a, const fcl::CollisionObjectd& b) {
    if (!a.getAABB().overlap(b.getAABB())) return false;
    static const fcl::CollisionRequestd request;
    fcl::CollisionResultd result;
    return fcl::collide(&a, &b, request, result) > 0;
  }

 private:
  static constexpr std::size_t kStick = static_cast<std::size_t>(-1);
  struct Body {
    fcl::CollisionObjectd object;
    fcl::CollisionObjectd hull;
    const LinkModel* link;
    Eigen::Isometry3d hull_offset;
    std::size_t index;  // collision body index, kStick for the stick
    Eigen::Isometry3d in_link = Eigen::Isometry3d::Identity();  // the stick's pose
  };
  collision_detection::CollisionRobotFCL robot_;
  robot_model::core::RobotState state_;
  const robot_model::core::JointModelGroup* group_;
  std::vector<Body> bodies_;
};

using DenseCheck = testing::TestWithParam<ArmAndStick>;

TEST_P(DenseCheck, RefusesEveryMotionThatPassesThroughAnObstacle) {
  const ArmAndStick& c = GetParam();
  std::unique_ptr<ManipulatorPlanScene> scene = makeArmScene(c, kPadding);
  const JointBounds bounds = jointBounds(*scene);
  auto tree = makeOctree(kVoxel);
  scene->updateWorldOctomap(tree);
  std::mt19937 rng(c.seed);

  std::unique_ptr<AttachedBody> body;
  if (c.stick_length > 0.0) body = stick(*scene, c.stick_length, c.across);
  BareCheck bare(*scene, body.get());
  if (body) {
    // The stick against the arm's own links: wherever the bare arm is free, the state is valid exactly when the
    // stick meets no link but its own.
    std::vector<std::vector<double>> free_states;
    capturedOutput([&] {
      for (int i = 0; i < 1000; ++i) {
        std::vector<double> q = drawState(bounds, false, rng);
        if (scene->isStateValid(q.data())) free_states.push_back(q);
      }
      scene->getRobotState()->attachBody(std::move(body));
    });
    int stick_hits = 0;
    for (const std::vector<double>& q : free_states) {
      bare.place(q);
      const bool hit = bare.stickHitsArm();
      stick_hits += hit;
      bool valid = false;
      capturedOutput([&] { valid = scene->isStateValid(q.data()); });
      EXPECT_EQ(valid, !hit) << testing::PrintToString(q);
    }
    // Pointing away from the wrist, a stick along the tool seldom meets the arm.
    if (c.across) {
      EXPECT_GT(stick_hits, 0);
    }
    EXPECT_LT(stick_hits, static_cast<int>(free_states.size()));
  }

  int through = 0, attempts = 0;
  std::vector<std::string> accepted;
  capturedOutput([&] {
    for (; through < kThroughMotions && attempts < 100 * kThroughMotions; ++attempts) {
      // Every tenth start from special values; two motions in three turn one joint only, the others several.
      const std::vector<double> from = drawState(bounds, attempts % 10 == 0, rng);
      std::vector<double> to = from;
      std::size_t first_moved = from.size();
      const std::size_t single = attempts % 3 != 0 ? rng() % from.size() : from.size();
      for (std::size_t j = 0; j < from.size(); ++j) {
        if (single < from.size() ? j != single : rng() % 2 == 0) continue;
        to[j] += (rng() % 2 == 0 ? 1.0 : -1.0) * std::uniform_real_distribution<double>(0.1, 0.5)(rng);
        first_moved = std::min(first_moved, j);
      }
      if (first_moved == from.size()) continue;
      // A voxel on a body the motion moves, where it is at fraction t of the motion, and clear of every body at
      // both ends.
      const double t = std::uniform_real_distribution<double>(0.2, 0.8)(rng);
      std::vector<double> between(from.size());
      for (std::size_t j = 0; j < from.size(); ++j) between[j] = from[j] + (to[j] - from[j]) * t;
      bare.place(between);
      const Eigen::Vector3d point = bare.pointOnMovedBody(first_moved, rng);
      const octomap::point3d centre = tree->keyToCoord(tree->coordToKey(point.x(), point.y(), point.z()));
      const fcl::CollisionObjectd voxel(std::make_shared<fcl::Boxd>(kVoxel, kVoxel, kVoxel),
                                        fcl::Transform3d(fcl::Translation3d(centre.x(), centre.y(), centre.z())));
      bare.place(from);
      if (bare.hits(voxel, true)) continue;
      bare.place(to);
      if (bare.hits(voxel, true)) continue;
      tree->clear();
      fillPoint(*tree, Eigen::Vector3d(centre.x(), centre.y(), centre.z()));
      scene->updateWorldOctomap(tree);
      if (!scene->isStateValid(from.data()) || !scene->isStateValid(to.data())) continue;
      if (!bare.sampledMotionHits(from, to, t, voxel)) continue;
      ++through;
      if (scene->checkMotionFinely(from.data(), to.data())) {
        accepted.push_back(testing::PrintToString(from) + " -> " + testing::PrintToString(to));
      }
    }
  });
  EXPECT_EQ(through, kThroughMotions) << "after " << attempts << " motions";
  EXPECT_TRUE(accepted.empty()) << accepted.size() << " accepted, the first " << accepted.front();
}

INSTANTIATE_TEST_SUITE_P(ArmsAndSticks, DenseCheck, testing::ValuesIn(armsAndSticks(1)),
                         [](const testing::TestParamInfo<ArmAndStick>& info) { return info.param.name; });

// Two segments of the base joint with the arm stretched out; a voxel where the wrist is halfway through the
// first one, some 8 cm from the states around it.
TEST(DenseCheckAlone, FindsTheObstacleBetweenTheStatesTheMotionCheckTests) {
  std::unique_ptr<ManipulatorPlanScene> scene = makeArm6Scene(0.01);
  const double segment = scene->getLongestValidSegment();
  const std::vector<double> from{0.0, -1.0, 0.5, 0.0, 0.5, 0.0};
  std::vector<double> to = from;
  to[0] = 2.0 * segment;
  std::vector<double> between = from;
  between[0] = 0.5 * segment;
  auto tree = makeOctree(0.01);
  fillPoint(*tree, linkPosition(*scene, between, "link6"));
  scene->updateWorldOctomap(tree);
  ASSERT_FALSE(scene->isStateValid(between.data()));
  EXPECT_TRUE(scene->checkMotion(from.data(), to.data())) << "the motion check tests no state near the voxel";
  EXPECT_FALSE(scene->checkMotionFinely(from.data(), to.data()));
  EXPECT_FALSE(scene->checkMotionFinely(between.data(), between.data()));
  EXPECT_TRUE(scene->checkMotionFinely(from.data(), from.data()));
}

}  // namespace
