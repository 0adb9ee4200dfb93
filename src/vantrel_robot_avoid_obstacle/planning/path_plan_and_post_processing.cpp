#include "planning/path_plan_and_post_processing.h"

#include <algorithm>
#include <cstdio>
#include <iostream>

namespace {

// Brackets a query on the scene, whichever way it ends.
class SceneQuery {
 public:
  explicit SceneQuery(PlanSceneInterface* scene) : scene_(scene) { scene_->beginQuery(); }
  ~SceneQuery() { scene_->endQuery(); }
  SceneQuery(const SceneQuery&) = delete;
  SceneQuery& operator=(const SceneQuery&) = delete;

 private:
  PlanSceneInterface* scene_;
};

}  // namespace

PathPlanAndPostProcessing::PathPlanAndPostProcessing(PlanSceneInterface* plan_scene, PlannerSeams seams)
    : plan_scene_(plan_scene),
      finely_checked_scene_(plan_scene),
      seams_(seams),
      planner_(std::make_unique<RRTConnectPlanner>(plan_scene, std::move(seams))),
      time_calculator_(std::make_unique<PathTimeCalculator>(plan_scene)) {}

int PathPlanAndPostProcessing::pathPlanAndSimplify(const std::vector<double>& start, const std::vector<double>& goal,
                                                   std::vector<TrajectoryPoint>& points) {
  return planAndTime("---------------start path plan and simpfily---------------", start, goal, points);
}

int PathPlanAndPostProcessing::pathPlanAndSimplifySimulation(const std::vector<double>& start,
                                                             const std::vector<double>& goal,
                                                             std::vector<TrajectoryPoint>& points) {
  return planAndTime("---------------start path plan and simpfily Simulation---------------", start, goal, points);
}

int PathPlanAndPostProcessing::planAndTime(const char* banner, const std::vector<double>& start,
                                           const std::vector<double>& goal, std::vector<TrajectoryPoint>& points) {
  const SceneQuery query(plan_scene_);
  points.clear();
  planner_->setStartAndGoal(start, goal);
  std::cout << banner << std::endl;
  JointPath path;
  const int plan_rc = planner_->plan(path);
  if (plan_rc != 0) {
    printf("[path_plan_and_post_processing]path plan error!,error ocde=%d\n", plan_rc);
    return plan_rc;
  }
  std::vector<bool> segment_passed;
  for (std::size_t k = 0; k + 1 < path.size(); ++k) {
    segment_passed.push_back(plan_scene_->checkMotion(path[k].data(), path[k + 1].data()));
    printf("check_motion_flag:%d\n", static_cast<int>(segment_passed.back()));
  }
  if (!replanFailingSegments(path, segment_passed)) {
    return refuse(points);
  }
  std::cout << "---------------path plan success---------------" << std::endl;

  std::vector<double> vmax;
  std::vector<double> amax;
  const int limit_count = plan_scene_->getVmaxAndAmax(vmax, amax);
  // The time parametrisation reads one limit per planned joint.
  if (limit_count < 1 || limit_count < planner_->dofCount() || vmax.size() < static_cast<std::size_t>(limit_count) ||
      amax.size() < static_cast<std::size_t>(limit_count)) {
    std::cout << "getVmaxAndAmax error!" << std::endl;
    return -3;
  }
  for (int i = 0; i < limit_count; ++i) {
    std::cout << "vmax-amax:" << vmax[i] << "," << amax[i] << std::endl;
  }
  std::cout << "---------------start calculate path time---------------" << std::endl;
  for (int round = 0;; ++round) {
    const int time_rc = time_calculator_->calculatePathTime(path, vmax.data(), amax.data(), points);
    if (time_rc != 0) {
      points.clear();
      return time_rc;
    }
    // Points the time parametrisation put between two waypoints make segments of their own, whose states
    // the planned segment's check did not test.
    const int failing = firstFailingInsertedSegment(path, points);
    if (failing < 0) {
      break;
    }
    printf("[path_plan_and_post_processing]trajectory segment %d fails its motion check, planning it again.\n",
           failing);
    path.clear();
    for (const TrajectoryPoint& point : points) path.push_back(point.positions);
    if (round == kMaxTimingRounds || !replanFailingSegments(path, {})) {
      return refuse(points);
    }
  }
  printf("---------------calculate path time success---------------,point size:%d\n", static_cast<int>(points.size()));
  return 0;
}

bool PathPlanAndPostProcessing::replanFailingSegments(JointPath& path, std::vector<bool> motion_checked) {
  int replans = 0;
  for (std::size_t k = 0; k + 1 < path.size();) {
    const bool passed = k < motion_checked.size() ? motion_checked[k]
                                                  : plan_scene_->checkMotion(path[k].data(), path[k + 1].data());
    if (passed && plan_scene_->checkMotionFinely(path[k].data(), path[k + 1].data())) {
      ++k;
      continue;
    }
    if (replans++ == kMaxReplans) {
      return false;
    }
    printf("[path_plan_and_post_processing]path segment %d fails its motion checks, planning it again.\n",
           static_cast<int>(k));
    // The detour runs between the nearest valid waypoints around the segment; the first and the last
    // waypoint stay whatever they are.
    std::size_t first = k;
    std::size_t last = k + 1;
    while (first > 0 && !plan_scene_->isStateValid(path[first].data())) --first;
    while (last + 1 < path.size() && !plan_scene_->isStateValid(path[last].data())) ++last;
    RRTConnectPlanner local_planner(&finely_checked_scene_, seams_);
    local_planner.setStartAndGoal(path[first], path[last]);
    JointPath detour;
    if (local_planner.plan(detour) != 0) {
      printf("[path_plan_and_post_processing]path segment %d could not be planned again.\n", static_cast<int>(k));
      return false;
    }
    // The detour's own segments are checked next.
    path.erase(path.begin() + static_cast<std::ptrdiff_t>(first) + 1, path.begin() + static_cast<std::ptrdiff_t>(last));
    path.insert(path.begin() + static_cast<std::ptrdiff_t>(first) + 1, detour.begin() + 1, detour.end() - 1);
    // Results of the motion check hold only for the segments before the detour.
    motion_checked.resize(std::min(motion_checked.size(), first));
    k = first;
  }
  return true;
}

int PathPlanAndPostProcessing::firstFailingInsertedSegment(const JointPath& path,
                                                           const std::vector<TrajectoryPoint>& points) {
  std::size_t waypoint = 0;
  for (std::size_t i = 0; i + 1 < points.size(); ++i) {
    const bool starts_on_waypoint = waypoint < path.size() && points[i].positions == path[waypoint];
    waypoint += starts_on_waypoint ? 1 : 0;
    const bool planned_segment =
        starts_on_waypoint && waypoint < path.size() && points[i + 1].positions == path[waypoint];
    if (!planned_segment && !plan_scene_->checkMotion(points[i].positions.data(), points[i + 1].positions.data())) {
      return static_cast<int>(i);
    }
  }
  return -1;
}

int PathPlanAndPostProcessing::refuse(std::vector<TrajectoryPoint>& points) {
  points.clear();
  printf("[path_plan_and_post_processing]planned path has a segment in collision!,error code=%d\n", -7);
  return -7;
}
