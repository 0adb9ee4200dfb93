// The surface a held object was lifted from. The grab's cut-out leaves a hole in the frozen obstacle map where the
// object stood: the surface it rested on and the space under it that no camera sees. While the object is held that
// space is an obstacle, so that no motion takes the box, or the arm, back down into it.
#include <algorithm>
#include <cstdio>

#include "node/ros_two_wrapper.h"

namespace {

const char* const kGrabSurfaceId = "grab_surface";
// Between the column's top and the lowest point the checks at the grasp see: an arm standing a little off the grasp
// still starts free, a box lowered further is refused.
constexpr double kSurfaceGap = 0.005;
constexpr double kTopResolution = 0.001;
constexpr double kThinnestColumn = 0.005;

}  // namespace

void RosTwoWrapper::handObstacleMapToScene() {
  plan_scene_ptr_->updateWorldOctomap(octomap_tree_ptr_);
  if (grab_surface_) plan_scene_ptr_->placeWorldBox(kGrabSurfaceId, grab_surface_->size, grab_surface_->pose);
}

std::optional<double> RosTwoWrapper::highestFreeColumnTop(const std::vector<std::vector<double>>& stands,
                                                          const Eigen::Matrix4d& cut_pose,
                                                          const Eigen::Vector3d& cut_half_extents, double low,
                                                          double high) {
  // A stand the column does not make a difference to is left to the checks as they are.
  plan_scene_ptr_->removeWorldObject(kGrabSurfaceId);
  std::vector<const std::vector<double>*> free_stands;
  for (const std::vector<double>& q : stands) {
    if (plan_scene_ptr_->isStateValid(q.data())) free_stands.push_back(&q);
  }
  const auto freeUnder = [&](double top) {
    const UprightBox column = columnUnderCut(cut_pose, cut_half_extents, top);
    return plan_scene_ptr_->placeWorldBox(kGrabSurfaceId, column.size, column.pose) &&
           std::all_of(free_stands.begin(), free_stands.end(),
                       [this](const std::vector<double>* q) { return plan_scene_ptr_->isStateValid(q->data()); });
  };
  if (!(low <= high) || !freeUnder(low)) return std::nullopt;
  if (freeUnder(high)) return high;
  // The column only grows with its top: free at low, blocking at high.
  while (high - low > kTopResolution) {
    const double middle = 0.5 * (low + high);
    (freeUnder(middle) ? low : high) = middle;
  }
  return low;
}

void RosTwoWrapper::holdGrabbedObject(const Eigen::Matrix4d& box_pose, const Eigen::Vector3d& cut_half_extents) {
  // The arm may stand a little off the grasp it was sent to: motions start from either.
  std::vector<std::vector<double>> stands{grab_goal_};
  const std::vector<double> here = currentJointPositions();
  if (here.size() == grab_goal_.size() && here != grab_goal_) stands.push_back(here);
  const Eigen::Vector3d box_half_extents = 0.5 * Eigen::Vector3d(obb_size_[0], obb_size_[1], obb_size_[2]);
  const double low = lowestCornerZ(box_pose, cut_half_extents) + kThinnestColumn + kSurfaceGap;
  std::optional<double> top;
  {
    // The release leaves the grasp as the gripper came in: the box left out, the gripper unpadded.
    std::lock_guard<std::mutex> lock(scene_mutex_);
    plan_scene_ptr_->setGripperPadding(gripperPadding(2));
    top = highestFreeColumnTop(stands, box_pose, cut_half_extents, low, lowestCornerZ(box_pose, box_half_extents));
  }
  attachGrabObject(grab_goal_, false);
  std::lock_guard<std::mutex> lock(scene_mutex_);
  // Every other motion carries the box, the gripper padded.
  if (top) {
    plan_scene_ptr_->setGripperPadding(gripperPadding(1));
    top = highestFreeColumnTop(stands, box_pose, cut_half_extents, low, *top);
  }
  plan_scene_ptr_->removeWorldObject(kGrabSurfaceId);
  if (!top) {
    puts("the held object's surface is left out: any obstacle there would block the arm at the grasp");
    return;
  }
  grab_surface_ = columnUnderCut(box_pose, cut_half_extents, *top - kSurfaceGap);
  plan_scene_ptr_->placeWorldBox(kGrabSurfaceId, grab_surface_->size, grab_surface_->pose);
}

void RosTwoWrapper::dropGrabSurface() {
  std::lock_guard<std::mutex> lock(scene_mutex_);
  grab_surface_.reset();
  plan_scene_ptr_->removeWorldObject(kGrabSurfaceId);
}
