#pragma once

#include <functional>
#include <memory>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "planning/plan_scene_interface.h"

// One scene the planner properties are checked on: a factory for the scene (fresh or shared) and a start
// and goal whose straight motion is blocked, so that every plan runs the search and the post-processing.
struct PlannerSceneCase {
  std::string name;
  std::function<std::shared_ptr<PlanSceneInterface>()> make_scene;
  std::vector<double> start;
  std::vector<double> goal;
};

// Instantiate with INSTANTIATE_TEST_SUITE_P(<Scenes>, PlannerProperties, testing::Values(...),
// plannerSceneCaseName) in a test file of the scene's own.
class PlannerProperties : public testing::TestWithParam<PlannerSceneCase> {};

std::string plannerSceneCaseName(const testing::TestParamInfo<PlannerSceneCase>& info);
