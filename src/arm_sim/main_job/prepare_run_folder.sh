#!/usr/bin/env bash
# Lays out a working directory for the node as the main job runs it: the repository's robot
# descriptions linked in, and the node's configuration at its fixed relative path, in simulation and
# with the command services on.
#   prepare_run_folder.sh <repository root> <run folder>
set -euo pipefail
repo=$(cd "$1" && pwd)
run=$2

mkdir -p "$run/src/vantrel_robot_avoid_obstacle/config" "$run/src/robot_avoid_obstacle"
ln -sfn "$repo/src/robot_avoid_obstacle/resources" "$run/src/robot_avoid_obstacle/resources"
sed -e 's/^\(  real_robot_flag:\).*/\1 false/' \
    -e 's/^\(  grab_garbage_flag:\).*/\1 true/' \
    -e 's/^\(  print_debug_flag:\).*/\1 false/' \
    "$repo/src/vantrel_robot_avoid_obstacle/config/config_params.yaml" \
    > "$run/src/vantrel_robot_avoid_obstacle/config/config_params.yaml"
