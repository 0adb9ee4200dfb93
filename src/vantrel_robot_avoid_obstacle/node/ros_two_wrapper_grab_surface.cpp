// The support a grabbed object stood on. So that the gripper can reach the object, the grab's cut-out empties the
// obstacle map around it, the surface it rests on and the space below included. From the grab on, what the object
// stands on is an obstacle again, just below the object: under the object's own footprint, and wherever the cloud
// showed points at about its lowest level beside it. No grasp into it is chosen, no motion takes the object or the arm
// back down into it, and it stays until the cameras show the place again after the object was let go.
#include <algorithm>
#include <cstdio>

#include "node/point_cloud_obb_cut.h"
#include "node/ros_two_wrapper.h"

namespace {

const char* const kGrabSurfaceId = "grab_surface";
// Between the support's top and the lowest point the checks see at the grasp: an arm standing a little off the grasp
// still starts free, a box or a gripper lowered further is refused.
constexpr double kSurfaceGap = 0.005;
constexpr double kTopResolution = 0.001;
// Points the cut-out removed from this far below the object's lowest point to this far above are what it stands on.
constexpr double kSupportBelow = 0.03;
constexpr double kSupportAbove = 0.01;
constexpr double kThinnestSupport = 0.005;

}  // namespace

void RosTwoWrapper::handObstacleMapToScene() {
  plan_scene_ptr_->updateWorldOctomap(octomap_tree_ptr_);
  if (grab_surface_) plan_scene_ptr_->placeWorldBox(kGrabSurfaceId, grab_surface_->size, grab_surface_->pose);
}

void RosTwoWrapper::placeGrabSupport(const Eigen::Matrix4d& box_pose, const std::array<double, 3>& box_size) {
  const Eigen::Vector3d cut_half_extents = obbCutHalfExtents(box_size.data(), kObbCutScale, kObbCutMargin);
  const Eigen::Vector3d box_half_extents = 0.5 * Eigen::Vector3d(box_size[0], box_size[1], box_size[2]);
  const double object_bottom = lowestCornerZ(box_pose, box_half_extents);
  const double top = object_bottom - kSurfaceGap;
  const double bottom = std::min(lowestCornerZ(box_pose, cut_half_extents), top - kThinnestSupport);
  const std::vector<Eigen::Vector2d> seen =
      cutPointsBetween(*pc_robot_filter_, box_pose, cut_half_extents, object_bottom - kSupportBelow,
                       object_bottom + kSupportAbove);
  grab_surface_ = columnUnderBox(box_pose, box_half_extents, seen, bottom, top);
  plan_scene_ptr_->placeWorldBox(kGrabSurfaceId, grab_surface_->size, grab_surface_->pose);
  printf("the grab's cut-out is left out of the obstacle map so that the gripper can reach the object, all but what "
         "the object stands on: an obstacle up to z=%.3f\n",
         top);
}

std::optional<double> RosTwoWrapper::highestFreeSupportTop(const std::vector<std::vector<double>>& stands, double low,
                                                           double high) {
  // A stand the support does not make a difference to is left to the checks as they are.
  plan_scene_ptr_->removeWorldObject(kGrabSurfaceId);
  std::vector<const std::vector<double>*> free_stands;
  for (const std::vector<double>& q : stands) {
    if (plan_scene_ptr_->isStateValid(q.data())) free_stands.push_back(&q);
  }
  const UprightBox support = *grab_surface_;
  const auto freeUnder = [&](double top) {
    const UprightBox column = withTop(support, top);
    return plan_scene_ptr_->placeWorldBox(kGrabSurfaceId, column.size, column.pose) &&
           std::all_of(free_stands.begin(), free_stands.end(),
                       [this](const std::vector<double>* q) { return plan_scene_ptr_->isStateValid(q->data()); });
  };
  if (!(low <= high) || !freeUnder(low)) return std::nullopt;
  if (freeUnder(high)) return high;
  // The support only grows with its top: free at low, blocking at high.
  while (high - low > kTopResolution) {
    const double middle = 0.5 * (low + high);
    (freeUnder(middle) ? low : high) = middle;
  }
  return low;
}

void RosTwoWrapper::holdGrabbedObject(const Eigen::Matrix4d& box_pose) {
  // The arm may stand a little off the grasp it was sent to: motions start from either.
  std::vector<std::vector<double>> stands{grab_goal_};
  const std::vector<double> here = currentJointPositions();
  if (here.size() == grab_goal_.size() && here != grab_goal_) stands.push_back(here);
  const Eigen::Vector3d box_half_extents = 0.5 * Eigen::Vector3d(obb_size_[0], obb_size_[1], obb_size_[2]);
  const double object_bottom = lowestCornerZ(box_pose, box_half_extents);
  // Lowered only as far as the box and the gripper, padded and scaled as the checks carry them, need: the grasp
  // itself was chosen clear of the support as it stood.
  double lowest = 0.0;
  std::optional<double> top;
  {
    // The release leaves the grasp as the gripper came in: the box left out, the gripper unpadded.
    std::lock_guard<std::mutex> lock(scene_mutex_);
    lowest = columnBottom(*grab_surface_) + kThinnestSupport;
    plan_scene_ptr_->setGripperPadding(gripperPadding(2));
    top = highestFreeSupportTop(stands, lowest, object_bottom);
  }
  attachGrabObject(grab_goal_, false);
  std::lock_guard<std::mutex> lock(scene_mutex_);
  // Every other motion carries the box, the gripper padded.
  if (top) {
    plan_scene_ptr_->setGripperPadding(gripperPadding(1));
    top = highestFreeSupportTop(stands, lowest, *top);
  }
  if (!top) puts("the held object's support touches the arm at the grasp: motions carrying the object start refused");
  grab_surface_ = withTop(*grab_surface_, top ? std::max(*top - kSurfaceGap, lowest) : lowest);
  plan_scene_ptr_->placeWorldBox(kGrabSurfaceId, grab_surface_->size, grab_surface_->pose);
}

void RosTwoWrapper::dropGrabSupport() {
  if (!grab_surface_) return;
  grab_surface_.reset();
  plan_scene_ptr_->removeWorldObject(kGrabSurfaceId);
}

void RosTwoWrapper::restoreMapAfterFailedGrab() {
  dropGrabSupport();
  if (refillOctree(*pc_robot_filter_) != 0) handObstacleMapToScene();
}
