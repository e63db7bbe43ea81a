#!/usr/bin/env bash
# Times a whole launch (one cycle, an engine that returns at once from every
# entry point, dummy video driver) against the baseline program, which only
# opens the same module and starts and stops the media layer. The two
# programs alternate run by run so that machine noise lands in the spread,
# not in the ratio. Prints the medians and the median ratio.
#
#   bench/launch.sh [runs]          (default 200)
set -euo pipefail
cd "$(dirname "$0")/.."
runs=${1:-200}
build=build-release
cmake -S . -B "$build" -DCMAKE_BUILD_TYPE=Release -DORVAN_BUILD_TESTS=ON >/dev/null
cmake --build "$build" -j"$(nproc)" --target orvan-launcher test_engine orvan_baseline >/dev/null

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
app="$work/Game.app"
mkdir -p "$app/Contents/MacOS" "$app/Contents/Resources" "$work/home"
cp "$build/bin/orvan-launcher" "$app/Contents/MacOS/Game"
cp "$build/engines/test_engine/zizuzo.so" "$app/Contents/Resources/zizuzo.so"
export HOME="$work/home" XDG_CONFIG_HOME="$work/home/.config" ORVAN_SHARED_PREFS_DIR="$work/shared"
export SDL_VIDEODRIVER=dummy ORVAN_DIALOG=none
unset TE_LOG DISPLAY WAYLAND_DISPLAY

now_ns() { date +%s%N; }
launcher_times=() baseline_times=() ratios=()
for ((i = 0; i < runs; i++)); do
  t0=$(now_ns); "$app/Contents/MacOS/Game" >/dev/null 2>&1; t1=$(now_ns)
  "$build/bench/orvan_baseline" "$app/Contents/Resources/zizuzo.so" >/dev/null 2>&1; t2=$(now_ns)
  launcher_times+=($((t1 - t0))); baseline_times+=($((t2 - t1)))
  ratios+=("$(awk -v a=$((t1 - t0)) -v b=$((t2 - t1)) 'BEGIN { printf "%.4f", a / b }')")
done
median() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { print (NR % 2) ? v[(NR + 1) / 2] : (v[NR / 2] + v[NR / 2 + 1]) / 2 }'; }
quartiles() { printf '%s\n' "$@" | sort -g | awk '{ v[NR] = $1 } END { printf "%s..%s", v[int(NR / 4) + 1], v[int(3 * NR / 4)] }'; }
ml=$(median "${launcher_times[@]}"); mb=$(median "${baseline_times[@]}")
printf 'whole launch, %d runs each, alternating\n' "$runs"
printf '  launcher  median %.2f ms\n' "$(awk -v v="$ml" 'BEGIN { print v / 1e6 }')"
printf '  baseline  median %.2f ms\n' "$(awk -v v="$mb" 'BEGIN { print v / 1e6 }')"
printf '  ratio     median %s (interquartile %s), goal <= 1.3\n' "$(median "${ratios[@]}")" "$(quartiles "${ratios[@]}")"
