#pragma once

#include <cstdint>

// What the last RRTConnectPlanner::plan did, for tests and benchmarks. Reset at the start of every plan.
struct PlannerStatistics {
  int samples = 0;          // random samples drawn by the search
  int checks = 0;           // the search's running check count
  int tree_exchanges = 0;   // times the two trees swapped roles
  std::int64_t direct_check_us = 0;      // the straight start-goal motion check
  std::int64_t search_us = 0;            // from the search start to the built path
  std::int64_t simplify_us = 0;          // simplifyPath
  std::int64_t away_from_obstacle_us = 0;
  std::int64_t shortcut_again_us = 0;    // randomShortcut after the repair
  std::int64_t reduce_again_us = 0;      // reduceVerticesWithMargin after the repair
};
