#include "support/grab_surface.h"

#include "robot_model/shapes/shapes.h"

std::optional<std::pair<Eigen::Isometry3d, Eigen::Vector3d>> surfaceOf(RosTwoWrapper& node) {
  std::optional<std::pair<Eigen::Isometry3d, Eigen::Vector3d>> found;
  Access::withObstacleMap(node, [&](auto&, auto&, auto& scene) {
    const auto& objects = scene.getWorld()->objects_;
    const auto surface = objects.find(kSurfaceId);
    if (surface == objects.end()) return;
    const auto& box = static_cast<const shapes::Box&>(*surface->second->shapes_.front());
    found.emplace(surface->second->shape_poses_.front(), Eigen::Vector3d(box.size[0], box.size[1], box.size[2]));
  });
  return found;
}

std::pair<bool, bool> freeWithAndWithoutSurface(RosTwoWrapper& node, const std::vector<double>& q) {
  const auto surface = surfaceOf(node);
  std::pair<bool, bool> free{false, false};
  testing::internal::CaptureStdout();
  Access::withObstacleMap(node, [&](auto&, auto&, auto& scene) {
    free.first = scene.isStateValid(q.data());
    if (!surface) return;
    scene.removeWorldObject(kSurfaceId);
    free.second = scene.isStateValid(q.data());
    scene.placeWorldBox(kSurfaceId, surface->second, surface->first);
  });
  testing::internal::GetCapturedStdout();
  return free;
}
