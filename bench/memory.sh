#!/usr/bin/env bash
# Peak resident memory of a whole launch (one cycle, as in bench/launch.sh)
# against the baseline program's, from /usr/bin/time -v ("Maximum resident
# set size"). The two alternate run by run (bench/timing.sh). Prints the
# medians, their spread and the median ratio.
#
#   bench/memory.sh [pairs]          (default 21)
set -euo pipefail
source "$(dirname "$0")/timing.sh"
pairs=${1:-21}
[[ -x /usr/bin/time ]] || { echo "memory.sh: /usr/bin/time is missing (Debian package time)" >&2; exit 1; }
bench_build orvan-launcher test_engine orvan_baseline
bench_bundle

launch() { bench_peak_kb "$BENCH_GAME"; }
baseline() { bench_peak_kb "$BENCH_BASELINE" "$BENCH_MODULE"; }
bench_alternate "$pairs" launch baseline
bench_report "peak memory of a launch" MiB 1024 baseline "<=1.1" "$BENCH_WORK/first" "$BENCH_WORK/second"
