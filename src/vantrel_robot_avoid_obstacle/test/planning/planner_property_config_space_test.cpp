#include "planner_property_suite.h"
#include "support/joint_space_scenes.h"

namespace {

PlannerSceneCase wallCase(int dof) {
  return {"WallWithGap" + std::to_string(dof) + "D",
          [dof] { return std::shared_ptr<PlanSceneInterface>(makeWallWithGapScene(dof)); }, wallStart(dof),
          wallGoal(dof)};
}

INSTANTIATE_TEST_SUITE_P(ConfigSpace, PlannerProperties, testing::Values(wallCase(2), wallCase(6)),
                         plannerSceneCaseName);

}  // namespace
