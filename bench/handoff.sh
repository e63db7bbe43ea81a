#!/usr/bin/env bash
# Times a second launch that finds the game running and hands over, against
# the baseline program (opens the same module, starts and stops the media
# layer). One instance runs the game throughout (the test engine waits in
# vokRun); the hand-off launch and the baseline alternate run by run
# (bench/timing.sh). Prints the medians, their spread and the median ratio.
#
#   bench/handoff.sh [pairs]          (default 201)
set -euo pipefail
source "$(dirname "$0")/timing.sh"
pairs=${1:-201}
bench_build orvan-launcher test_engine orvan_baseline
bench_bundle

# The running instance, ended (through the file its engine waits for) when
# the script ends.
first=
bench_before_cleanup() {
  touch "$BENCH_WORK/done"
  if [[ -n $first ]]; then wait "$first" 2>/dev/null || true; fi
}
TE_LOG="$BENCH_WORK/first.calls" TE_RUN="wait:$BENCH_WORK/done" "$BENCH_GAME" >/dev/null 2>&1 &
first=$!
for ((i = 0; i < 1000; i++)); do
  grep -qx vokRun "$BENCH_WORK/first.calls" 2>/dev/null && break
  sleep 0.01
done
grep -qx vokRun "$BENCH_WORK/first.calls" || { echo "handoff.sh: the first instance did not start" >&2; exit 1; }

handoff() { TE_LOG="$BENCH_WORK/second.calls" bench_time_us "$BENCH_GAME" -level 2; }
baseline() { bench_time_us "$BENCH_BASELINE" "$BENCH_MODULE"; }
bench_alternate "$pairs" handoff baseline
if grep -q '^vokCreate' "$BENCH_WORK/second.calls" || [[ $(grep -c '^vokCreate' "$BENCH_WORK/first.calls") != 1 ]]; then
  echo "handoff.sh: a second launch started the game instead of handing over" >&2
  exit 1
fi
bench_report "second-launch hand-off" ms 1000 baseline "<=1.3" "$BENCH_WORK/first" "$BENCH_WORK/second"
