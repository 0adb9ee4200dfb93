#pragma once

#include <optional>
#include <utility>
#include <vector>

#include <Eigen/Geometry>

#include "node_rig.h"

// The surface a held object was lifted from, as the node keeps it in its collision world.
constexpr const char* kSurfaceId = "grab_surface";

// The main job's padding, scale and map on the six-joint arm; the five-joint arm's links grow by scale and padding.
constexpr const char* kMainJobSettings =
    "{robot_avoid_obstacle: {robot_padding: 0.01, robot_scale: 1.0}, point_clouds: {resolution: 0.005}}";
constexpr const char* kGrownLinksSettings = "{point_clouds: {resolution: 0.005}}";
inline const char* settingsFor(Arm arm) { return arm == Arm::Six ? kMainJobSettings : kGrownLinksSettings; }

// The surface's pose and edge lengths; none when the world holds none.
std::optional<std::pair<Eigen::Isometry3d, Eigen::Vector3d>> surfaceOf(RosTwoWrapper& node);

// Whether the node's own checks find `q` free with the surface in the world, and without it.
std::pair<bool, bool> freeWithAndWithoutSurface(RosTwoWrapper& node, const std::vector<double>& q);

// Near `from`, only the shoulder or the elbow turned, as little as will do: the first configuration for which
// `wanted` holds; empty when none within 0.3 rad does.
template <typename Wanted>
std::vector<double> nearGrasp(NodeRig& rig, const std::vector<double>& from, Wanted wanted) {
  for (int steps = 1; steps <= 60; ++steps) {
    for (size_t j : {1, 2}) {
      for (double sign : {-1.0, 1.0}) {
        std::vector<double> q = from;
        q[j] += sign * 0.005 * steps;
        if (q[j] < rig.joints().limits[j].lower || q[j] > rig.joints().limits[j].upper) continue;
        if (wanted(q)) return q;
      }
    }
  }
  return {};
}
