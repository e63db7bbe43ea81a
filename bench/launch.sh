#!/usr/bin/env bash
# Times a whole launch (one cycle, an engine that returns at once from every
# entry point, dummy video driver) against the baseline program, which only
# opens the same module and starts and stops the media layer. The two
# programs alternate run by run (bench/timing.sh). Prints the medians, their
# spread and the median ratio.
#
#   bench/launch.sh [pairs]          (default 201)
set -euo pipefail
source "$(dirname "$0")/timing.sh"
pairs=${1:-201}
bench_build orvan-launcher test_engine orvan_baseline
bench_bundle

# The launch must run the game, not stop early.
TE_LOG="$BENCH_WORK/check.calls" "$BENCH_GAME" >/dev/null 2>&1
grep -qx vokRun "$BENCH_WORK/check.calls" || { echo "launch.sh: the launch did not run the game" >&2; exit 1; }

launch() { bench_time_us "$BENCH_GAME"; }
baseline() { bench_time_us "$BENCH_BASELINE" "$BENCH_MODULE"; }
bench_alternate "$pairs" launch baseline
bench_report "whole launch" ms 1000 baseline "<=1.3" "$BENCH_WORK/first" "$BENCH_WORK/second"
