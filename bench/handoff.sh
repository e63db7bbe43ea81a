#!/usr/bin/env bash
# Times a second launch that finds the game running and hands over, against
# the baseline program (opens the same module, starts and stops the media
# layer). One instance runs the game throughout (the test engine waits in
# vokRun); the hand-off launch and the baseline alternate run by run so that
# machine noise lands in the spread, not in the ratio. Prints the medians and
# the median ratio.
#
#   bench/handoff.sh [runs]          (default 200)
#   ORVAN_BENCH_BUILD=<folder> picks the build folder (default build-release)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-200}
build=${ORVAN_BENCH_BUILD:-build-release}
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DORVAN_BUILD_TESTS=ON >/dev/null
cmake --build "$build" -j2 --target orvan-launcher test_engine orvan_baseline >/dev/null

work=$(mktemp -d)
first=
cleanup() {
  touch "$work/done"
  if [[ -n $first ]]; then wait "$first" 2>/dev/null || true; fi
  rm -rf "$work"
}
trap cleanup EXIT
app="$work/Game.app"
mkdir -p "$app/Contents/MacOS" "$app/Contents/Resources" "$work/home"
cp "$build/bin/orvan-launcher" "$app/Contents/MacOS/Game"
cp "$build/engines/test_engine/zizuzo.so" "$app/Contents/Resources/zizuzo.so"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" ORVAN_SHARED_PREFS_DIR="$work/shared"
export SDL_VIDEODRIVER=dummy ORVAN_DIALOG=none
unset TE_LOG TE_RUN DISPLAY WAYLAND_DISPLAY

# The running instance.
TE_LOG="$work/first.calls" TE_RUN="wait:$work/done" "$app/Contents/MacOS/Game" >/dev/null 2>&1 &
first=$!
for ((i = 0; i < 1000; i++)); do
  grep -qx vokRun "$work/first.calls" 2>/dev/null && break
  sleep 0.01
done
grep -qx vokRun "$work/first.calls" || { echo "handoff.sh: the first instance did not start" >&2; exit 1; }

now_ns() { date +%s%N; }
handoff_times=() baseline_times=() ratios=()
for ((i = 0; i < runs; i++)); do
  t0=$(now_ns); TE_LOG="$work/second.calls" "$app/Contents/MacOS/Game" -level 2 >/dev/null 2>&1; t1=$(now_ns)
  "$build/bench/orvan_baseline" "$app/Contents/Resources/zizuzo.so" >/dev/null 2>&1; t2=$(now_ns)
  handoff_times+=($((t1 - t0))); baseline_times+=($((t2 - t1)))
  ratios+=("$(awk -v a=$((t1 - t0)) -v b=$((t2 - t1)) 'BEGIN { printf "%.4f", a / b }')")
done
if grep -q '^vokCreate' "$work/second.calls" || [[ $(grep -c '^vokCreate' "$work/first.calls") != 1 ]]; then
  echo "handoff.sh: a second launch started the game instead of handing over" >&2
  exit 1
fi
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
quartiles() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { printf "%s..%s", v[int(NR / 4) + 1], v[int(3 * NR / 4)] }'; }
mh=$(median "${handoff_times[@]}"); mb=$(median "${baseline_times[@]}")
printf 'second launch handing over to a running instance, %d runs each, alternating\n' "$runs"
printf '  hand-off  median %.2f ms\n' "$(awk -v v="$mh" 'BEGIN { print v / 1e6 }')"
printf '  baseline  median %.2f ms\n' "$(awk -v v="$mb" 'BEGIN { print v / 1e6 }')"
printf '  ratio     median %s (interquartile %s)\n' "$(median "${ratios[@]}")" "$(quartiles "${ratios[@]}")"
