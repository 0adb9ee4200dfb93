// Shortening of a found path: direct test, shortcuts, vertex reduction and the collapse of close vertices.
#include <algorithm>
#include <cmath>
#include <cstdio>
#include <iostream>
#include <limits>
#include <map>
#include <tuple>

#include "planning/rrt_connect.h"

namespace {

constexpr int kMaxShortcutCalls = 4;
constexpr double kSnapFraction = 0.005;
constexpr double kReachFraction = 0.33;

// Where an arc-length value falls on the path: on waypoint `index`, or inside the segment pos .. pos+1
// (index -1).
struct ArcPosition {
  int pos;
  int index;
};

void buildArcLengths(const JointPath& path, std::vector<double>& lengths) {
  lengths.assign(path.size(), 0.0);
  for (std::size_t i = 1; i < path.size(); ++i) {
    lengths[i] = lengths[i - 1] + waypointDistance(path[i - 1], path[i]);
  }
}

ArcPosition locate(const std::vector<double>& lengths, double value, double threshold) {
  int pos = static_cast<int>(std::lower_bound(lengths.begin(), lengths.end(), value) - lengths.begin());
  pos = std::min(pos, static_cast<int>(lengths.size()) - 1);
  if (pos == 0 || lengths[pos] - value < threshold) {
    return {pos, pos};
  }
  while (pos > 0 && lengths[pos] > value) {
    --pos;
  }
  return {pos, value - lengths[pos] < threshold ? pos : -1};
}

std::vector<double> pointAt(const JointPath& path, const std::vector<double>& lengths, ArcPosition at, double value) {
  if (at.index >= 0) {
    return path[at.index];
  }
  const double t = (value - lengths[at.pos]) / (lengths[at.pos + 1] - lengths[at.pos]);
  return interpolateWaypoints(path[at.pos], path[at.pos + 1], t);
}

// Removes the waypoints first .. last (inclusive); nothing when last < first.
void eraseWaypoints(JointPath& path, int first, int last) {
  if (first <= last) {
    path.erase(path.begin() + first, path.begin() + last + 1);
  }
}

// Runs `attempt` (true when it changed the path) until neither the attempt count nor the count since
// the last change reaches `attempts`; returns whether any attempt changed the path.
template <typename Attempt>
bool runAttempts(int attempts, Attempt&& attempt) {
  bool changed = false;
  int tried = 0;
  int nochange = 0;
  while (std::max(tried, nochange) < attempts) {
    const bool applied = attempt();
    ++tried;
    nochange = applied ? 1 : nochange + 1;
    changed = changed || applied;
  }
  return changed;
}

// Keys of the collapse stage hold waypoint values, so they stay valid while waypoints are removed;
// lookups compare against the path's own vectors without copying them.
using WaypointPair = std::pair<std::vector<double>, std::vector<double>>;
using WaypointPairView = std::pair<const std::vector<double>*, const std::vector<double>*>;

struct WaypointPairLess {
  using is_transparent = void;
  bool operator()(const WaypointPair& x, const WaypointPair& y) const { return x < y; }
  bool operator()(const WaypointPair& x, const WaypointPairView& y) const {
    return std::tie(x.first, x.second) < std::tie(*y.first, *y.second);
  }
  bool operator()(const WaypointPairView& x, const WaypointPair& y) const {
    return std::tie(*x.first, *x.second) < std::tie(y.first, y.second);
  }
};

}  // namespace

bool RRTConnectPlanner::motionValid(MotionCheck check_motion, const std::vector<double>& from,
                                    const std::vector<double>& to) {
  const bool valid = (plan_scene_->*check_motion)(from.data(), to.data());
  ++check_count_;
  return valid;
}

void RRTConnectPlanner::simplifyPath(JointPath& path) {
  if (path.size() <= 2) {
    std::cout << "\033[33mNo need to Simplify the Path~ \033[0m" << std::endl;
    return;
  }
  std::cout << "\033[42m Ready to begin path simplify\033[0m" << std::endl;
  check_count_ = 0;

  const std::int64_t direct_start = seams_.clock();
  if (plan_scene_->checkMotion(path.front().data(), path.back().data())) {
    eraseWaypoints(path, 1, static_cast<int>(path.size()) - 2);
    std::cout << "\033[33mSimplify Path direct cost:" << seams_.clock() - direct_start << "us\033[0m" << std::endl;
    return;
  }

  std::int64_t total_us = 0;
  auto stage = [&](const char* count_label, const char* cost_format, auto&& work) {
    const std::int64_t stage_start = seams_.clock();
    work();
    std::cout << "\033[33m" << count_label << check_count_ << "\033[0m" << std::endl;
    std::cout << "Path size: " << path.size() << std::endl;
    const std::int64_t stage_us = seams_.clock() - stage_start;
    printf(cost_format, static_cast<int>(stage_us));
    total_us += stage_us;
  };

  stage("Shortcut Path check num: ", "shortcutPath cost:%d us\n", [&] {
    for (int calls = 0; calls < kMaxShortcutCalls; ++calls) {
      if (!shortcutPath(path)) {
        break;
      }
    }
  });
  // The smoothing stage leaves the path as it is.
  stage("Smooth Path check num: ", "smoothBSpline cost:%d us\n", [] {});
  bool reduced = false;
  stage("Reduce Path check num: ", "reduceVertices  reduceVertices first cost:%d us\n",
        [&] { reduced = reduceVertices(path); });
  stage("Collapse Path check num: ", "collapseCloseVertices cost:%d us\n", [&] { collapseCloseVertices(path); });
  stage("Reduce Path check num after: ", "reduceVertices  reduceVertices cost:%d us\n", [&] {
    if (reduced) {
      reduceVertices(path);
      reduceVertices(path);
    }
  });
  std::cout << "\033[33mSimplify Path cost:" << total_us << "us\033[0m" << std::endl;
}

bool RRTConnectPlanner::shortcutPath(JointPath& path) {
  return shortcutWith(path, &PlanSceneInterface::checkMotion);
}

void RRTConnectPlanner::randomShortcut(JointPath& path) {
  shortcutWith(path, &PlanSceneInterface::checkMotionWithMargin);
}

bool RRTConnectPlanner::reduceVertices(JointPath& path) {
  return reduceVerticesWith(path, &PlanSceneInterface::checkMotion);
}

bool RRTConnectPlanner::reduceVerticesWithMargin(JointPath& path) {
  return reduceVerticesWith(path, &PlanSceneInterface::checkMotionWithMargin);
}

bool RRTConnectPlanner::shortcutWith(JointPath& path, MotionCheck check_motion) {
  if (path.size() < 3) {
    return false;
  }
  std::vector<double> lengths;
  buildArcLengths(path, lengths);
  double threshold = kSnapFraction * lengths.back();
  double range = kReachFraction * lengths.back();

  return runAttempts(static_cast<int>(path.size()), [&] {
    std::mt19937 engine(seams_.seed_source());
    const double p0 = uniformReal(engine, 0.0, lengths.back());
    ArcPosition a = locate(lengths, p0, threshold);
    const double p1 = uniformReal(engine, std::max(0.0, p0 - range), std::min(p0 + range, lengths.back()));
    ArcPosition b = locate(lengths, p1, threshold);
    if (a.pos == b.pos || a.index == b.pos || b.index == a.pos || b.index == a.pos + 1 || a.index == b.pos + 1 ||
        (a.index >= 0 && b.index >= 0 && std::abs(a.index - b.index) < 2)) {
      return false;
    }
    std::vector<double> s0 = pointAt(path, lengths, a, p0);
    std::vector<double> s1 = pointAt(path, lengths, b, p1);
    if (!motionValid(check_motion, s0, s1)) {
      return false;
    }
    if (a.pos > b.pos) {
      std::swap(a, b);
      std::swap(s0, s1);
    }
    // A point taken inside a segment splits it: the part kept was tested at other states than its own.
    if ((a.index < 0 && !motionValid(check_motion, path[a.pos], s0)) ||
        (b.index < 0 && !motionValid(check_motion, s1, path[b.pos + 1]))) {
      return false;
    }
    if (a.index < 0 && b.index < 0) {
      if (a.pos + 1 == b.pos) {
        path[b.pos] = std::move(s0);
        path.insert(path.begin() + b.pos + 1, std::move(s1));
      } else {
        path[a.pos + 1] = std::move(s0);
        path[b.pos] = std::move(s1);
        eraseWaypoints(path, a.pos + 2, b.pos - 1);
      }
    } else if (a.index >= 0 && b.index >= 0) {
      eraseWaypoints(path, a.index + 1, b.index - 1);
    } else if (b.index >= 0) {
      path[a.pos + 1] = std::move(s0);
      eraseWaypoints(path, a.pos + 2, b.index - 1);
    } else {
      path[b.pos] = std::move(s1);
      eraseWaypoints(path, a.index + 1, b.pos - 1);
    }
    buildArcLengths(path, lengths);
    threshold = kSnapFraction * lengths.back();
    range = kReachFraction * lengths.back();
    return true;
  });
}

bool RRTConnectPlanner::reduceVerticesWith(JointPath& path, MotionCheck check_motion) {
  if (path.size() <= 2) {
    return false;
  }
  return runAttempts(static_cast<int>(path.size()), [&] {
    std::mt19937 engine(seams_.seed_source());
    const int count = static_cast<int>(path.size());
    const int max_index = count - 1;
    const int reach = 1 + static_cast<int>(std::floor(0.5 + kReachFraction * count));
    int p1 = uniformInt(engine, 0, max_index);
    int p2 = uniformInt(engine, std::max(p1 - reach, 0), std::min(p1 + reach, max_index));
    if (std::abs(p1 - p2) < 2) {
      if (p1 < count - 2) {
        p2 = p1 + 2;
      } else if (p1 > 1) {
        p2 = p1 - 2;
      } else {
        return false;
      }
    }
    if (p1 > p2) {
      std::swap(p1, p2);
    }
    if (!motionValid(check_motion, path[p1], path[p2])) {
      return false;
    }
    eraseWaypoints(path, p1 + 1, p2 - 1);
    return true;
  });
}

void RRTConnectPlanner::collapseCloseVertices(JointPath& path) {
  if (path.size() <= 2) {
    return;
  }
  std::map<WaypointPair, double, WaypointPairLess> distances;
  for (std::size_t i = 0; i < path.size(); ++i) {
    for (std::size_t j = i + 2; j < path.size(); ++j) {
      distances.emplace(WaypointPair(path[i], path[j]), waypointDistance(path[i], path[j]));
    }
  }
  const int rounds = static_cast<int>(path.size());
  int round = 0;
  int nochange = 0;
  while (std::max(round, nochange) < rounds) {
    double best = std::numeric_limits<double>::infinity();
    int best_i = -1;
    int best_j = -1;
    auto best_entry = distances.end();
    for (std::size_t i = 0; i < path.size(); ++i) {
      for (std::size_t j = i + 2; j < path.size(); ++j) {
        const auto entry = distances.find(WaypointPairView(&path[i], &path[j]));
        if (entry != distances.end() && entry->second < best) {
          best = entry->second;
          best_i = static_cast<int>(i);
          best_j = static_cast<int>(j);
          best_entry = entry;
        }
      }
    }
    if (best_i < 0) {
      return;
    }
    if (motionValid(&PlanSceneInterface::checkMotion, path[best_i], path[best_j])) {
      eraseWaypoints(path, best_i + 1, best_j - 1);
      nochange = 1;
    } else {
      best_entry->second = std::numeric_limits<double>::infinity();
      ++nochange;
    }
    ++round;
  }
}
