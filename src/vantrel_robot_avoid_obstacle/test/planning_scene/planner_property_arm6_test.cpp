// The planner's property suite on the real arm6 scene with the octree wall.
#include "planner_property_suite.h"
#include "support/planning_scenarios.h"
#include "support/scene_fixtures.h"

namespace {

// One arm6 scene for every seed: building it again per seed would only repeat the mesh loading. The
// suite owns what make_scene returns, so it gets this non-owning view.
class SharedSceneView : public PlanSceneInterface {
 public:
  explicit SharedSceneView(ManipulatorPlanScene* scene) : scene_(scene) {}
  int getJointLimits(std::vector<std::pair<double, double>>& bounds) override { return scene_->getJointLimits(bounds); }
  int getVmaxAndAmax(std::vector<double>& vmax, std::vector<double>& amax) override {
    return scene_->getVmaxAndAmax(vmax, amax);
  }
  bool isStateValid(const double* state) override { return scene_->isStateValid(state); }
  bool isStateValidWithMargin(const double* state) override { return scene_->isStateValidWithMargin(state); }
  bool checkMotion(const double* from, const double* to) override { return scene_->checkMotion(from, to); }
  bool checkMotionWithMargin(const double* from, const double* to) override {
    return scene_->checkMotionWithMargin(from, to);
  }
  double getMaximumExtent() override { return scene_->getMaximumExtent(); }

 private:
  ManipulatorPlanScene* scene_;
};

struct Arm6Wall {
  Arm6Wall() {
    testing::internal::CaptureStdout();
    scene = makeArm6Scene();
    scenario = wallScenario(*scene);
    testing::internal::GetCapturedStdout();
  }
  std::unique_ptr<ManipulatorPlanScene> scene;
  PlanningScenario scenario;
};

Arm6Wall& arm6Wall() {
  static Arm6Wall wall;
  return wall;
}

PlannerSceneCase arm6WallCase() {
  Arm6Wall& wall = arm6Wall();
  return {"Arm6OctreeWall", [] { return std::unique_ptr<PlanSceneInterface>(new SharedSceneView(arm6Wall().scene.get())); },
          wall.scenario.start, wall.scenario.goal};
}

INSTANTIATE_TEST_SUITE_P(RealScene, PlannerProperties, testing::Values(arm6WallCase()), plannerSceneCaseName);

}  // namespace
