#include <algorithm>
#include <cmath>
#include <cstdint>
#include <memory>
#include <string>

#include <gtest/gtest.h>

#include "planning/path_plan_and_post_processing.h"
#include "support/captured_output.h"
#include "support/config_space_scene.h"
#include "support/scene_fixtures.h"

namespace {

constexpr std::uint32_t kSafetySeeds = 40;
constexpr std::uint32_t kRepeatedSeeds = 5;

// The scene as it answers outside a query: every state is tested however often it is asked for.
class SceneTestingEveryState : public PlanSceneInterface {
 public:
  explicit SceneTestingEveryState(PlanSceneInterface& scene) : scene_(scene) {}
  int getJointLimits(std::vector<std::pair<double, double>>& bounds) override { return scene_.getJointLimits(bounds); }
  int getVmaxAndAmax(std::vector<double>& vmax, std::vector<double>& amax) override {
    return scene_.getVmaxAndAmax(vmax, amax);
  }
  bool isStateValid(const double* state) override { return scene_.isStateValid(state); }
  bool isStateValidWithMargin(const double* state) override { return scene_.isStateValidWithMargin(state); }
  bool checkMotion(const double* from, const double* to) override { return scene_.checkMotion(from, to); }
  bool checkMotionWithMargin(const double* from, const double* to) override {
    return scene_.checkMotionWithMargin(from, to);
  }
  bool checkMotionFinely(const double* from, const double* to) override { return scene_.checkMotionFinely(from, to); }
  double getMaximumExtent() override { return scene_.getMaximumExtent(); }

 private:
  PlanSceneInterface& scene_;
};

struct PlannedQuery {
  int code = 0;
  std::vector<TrajectoryPoint> points;
  std::string output;
};

PlannedQuery planQuery(PlanSceneInterface& scene, const PlanningScenario& scenario, std::uint32_t seed) {
  PathPlanAndPostProcessing pipeline(&scene, {seededSource(seed), steppingClock()});
  PlannedQuery query;
  query.output =
      capturedOutput([&] { query.code = pipeline.pathPlanAndSimplify(scenario.start, scenario.goal, query.points); });
  return query;
}

// Each arm in each scenario, many seeds: every query succeeds from start to goal, and no state of a returned
// trajectory, on the scene's own motion checks or on a grid of 0.01 rad of the joint moving most, is refused.
// For the first seeds the query prints and returns exactly what it does when every state is tested at every ask.
TEST(TrajectorySafety, NoStateOfAReturnedTrajectoryIsRefused) {
  using MakeScene = std::unique_ptr<ManipulatorPlanScene> (*)();
  const std::pair<MakeScene, ArmLayout> arms[] = {{[] { return makeArm6Scene(); }, arm6Layout()},
                                                  {[] { return makeArm5Scene(); }, arm5Layout()}};
  for (const auto& [make_scene, layout] : arms) {
    for (const Obstacles obstacles : {Obstacles::kWall, Obstacles::kShelf}) {
      const std::unique_ptr<ManipulatorPlanScene> scene = make_scene();
      const PlanningScenario scenario = makeScenario(*scene, obstacles, layout);
      SCOPED_TRACE(scenario.name + " with " + std::to_string(layout.ready.size()) + " joints");
      ASSERT_FALSE(scene->checkMotion(scenario.start.data(), scenario.goal.data()));
      for (std::uint32_t seed = 1; seed <= kSafetySeeds; ++seed) {
        const PlannedQuery query = planQuery(*scene, scenario, seed);
        ASSERT_EQ(query.code, 0) << "seed " << seed;
        if (seed <= kRepeatedSeeds) {
          SceneTestingEveryState testing_every_state(*scene);
          const PlannedQuery repeated = planQuery(testing_every_state, scenario, seed);
          EXPECT_EQ(repeated.output, query.output) << "seed " << seed;
          EXPECT_EQ(repeated.points, query.points) << "seed " << seed;
        }
        const std::vector<TrajectoryPoint>& points = query.points;
        EXPECT_EQ(points.front().positions, scenario.start) << "seed " << seed;
        EXPECT_EQ(points.back().positions, scenario.goal) << "seed " << seed;
        for (std::size_t i = 0; i + 1 < points.size(); ++i) {
          const std::vector<double>& from = points[i].positions;
          const std::vector<double>& to = points[i + 1].positions;
          EXPECT_NE(from, to) << "seed " << seed << " segment " << i;
          EXPECT_TRUE(scene->checkMotion(from.data(), to.data())) << "seed " << seed << " segment " << i;
          double largest = 0.0;
          for (std::size_t j = 0; j < from.size(); ++j) largest = std::max(largest, std::fabs(to[j] - from[j]));
          const int steps = static_cast<int>(std::ceil(largest / 0.01));
          int refused = 0;
          for (int k = 1; k < steps; ++k) {
            const std::vector<double> q = interpolateWaypoints(from, to, static_cast<double>(k) / steps);
            refused += scene->isStateValid(q.data()) ? 0 : 1;
          }
          EXPECT_EQ(refused, 0) << "seed " << seed << " segment " << i;
        }
      }
    }
  }
}

}  // namespace
