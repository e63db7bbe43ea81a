#!/usr/bin/env bash
# Times ten launch cycles in one process (the engine asks for a restart nine
# times) against ten separate launches of one cycle each, run one after the
# other. The two alternate run by run (bench/timing.sh). Prints the medians,
# their spread and the median ratio: below 1 when a restart in the process
# costs less than a new launch.
#
#   bench/restart.sh [pairs]          (default 41)
set -euo pipefail
source "$(dirname "$0")/timing.sh"
pairs=${1:-41}
bench_build orvan-launcher test_engine
bench_bundle

# The one process must run all ten cycles.
TE_LOG="$BENCH_WORK/check.calls" TE_RESTARTS=9 "$BENCH_GAME" >/dev/null 2>&1
[[ $(grep -c '^vokCreate' "$BENCH_WORK/check.calls") == 10 ]] || {
  echo "restart.sh: the launch did not run ten cycles" >&2
  exit 1
}

restarts() { TE_RESTARTS=9 bench_time_us "$BENCH_GAME"; }
launches() { bench_time_us -n 10 "$BENCH_GAME"; }
bench_alternate "$pairs" restarts launches
bench_report "10 cycles: restarts in one process" ms 1000 "10 launches" "" "$BENCH_WORK/first" "$BENCH_WORK/second"
