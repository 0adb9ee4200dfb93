#!/usr/bin/env bash
# The main job in one process over the in-process transport, in a fresh run folder; fails unless every
# command answers as expected.
#   main_job_test.sh <arm_sim_main_job_in_process>
set -euo pipefail
job=$(realpath "$1")
run=$(mktemp -d)
trap 'rm -rf "$run"' EXIT
"$(dirname "$0")/prepare_run_folder.sh" . "$run"
cd "$run"
"$job" out
