# shellcheck shell=bash disable=SC2034  # the BENCH_ names are read by the scripts that source this
# Shared by the bench/*.sh scripts (sourced, not run): the release build, a
# game bundle with the test engine in a temporary home, alternating timings
# and their summary.
#
# Whole-process figures are taken in pairs, the two programs run back to
# back and their order swapped from one pair to the next, and each pair gives
# a ratio. A machine that gets busier or quieter during the run moves both
# programs of a pair alike, so it widens the spread and leaves the median
# ratio where it was.
#
#   ORVAN_BENCH_BUILD=<folder>   build folder (default build-release)
#   ORVAN_BENCH_NO_BUILD=1       use the build folder as it is
#   ORVAN_BENCH_RESULTS=<file>   also append each summary there as one
#                                tab-separated row (bench/run.sh reads them)

cd "$(dirname "${BASH_SOURCE[0]}")/.." || exit 1
BENCH_BUILD=${ORVAN_BENCH_BUILD:-build-release}
BENCH_BASELINE="$BENCH_BUILD/bench/orvan_baseline"

# Configures the build folder for release and builds the named targets (and
# the timer every script uses).
bench_build() {
  [[ ${ORVAN_BENCH_NO_BUILD:-0} == 1 ]] && return 0
  cmake -S . -B "$BENCH_BUILD" -DCMAKE_BUILD_TYPE=Release -DORVAN_BUILD_TESTS=ON -DORVAN_BUILD_BENCH=ON >/dev/null
  cmake --build "$BENCH_BUILD" -j2 --target orvan_spawn_timer "$@" >/dev/null
}

# Called on exit: scripts add their own steps in front of the removal of the
# work folder by redefining bench_before_cleanup.
bench_before_cleanup() { :; }
bench_cleanup() {
  bench_before_cleanup
  [[ -n ${BENCH_WORK:-} ]] && rm -rf "$BENCH_WORK"
}

# A game bundle (the launcher renamed Game, the test engine as its module) in
# a fresh work folder, with a home, preference folders and a dummy display of
# its own. Sets BENCH_WORK, BENCH_GAME (the executable), BENCH_MODULE.
bench_bundle() {
  BENCH_WORK=$(mktemp -d)
  trap bench_cleanup EXIT
  local app="$BENCH_WORK/Game.app"
  mkdir -p "$app/Contents/MacOS" "$app/Contents/Resources" "$BENCH_WORK/home"
  cp "$BENCH_BUILD/bin/orvan-launcher" "$app/Contents/MacOS/Game"
  cp "$BENCH_BUILD/engines/test_engine/zizuzo.so" "$app/Contents/Resources/zizuzo.so"
  BENCH_GAME="$app/Contents/MacOS/Game"
  BENCH_MODULE="$app/Contents/Resources/zizuzo.so"
  export HOME="$BENCH_WORK/home" XDG_CONFIG_HOME="$BENCH_WORK/home/.config"
  export ORVAN_SHARED_PREFS_DIR="$BENCH_WORK/shared" SDL_VIDEODRIVER=dummy ORVAN_DIALOG=none
  unset TE_LOG TE_RUN TE_RESTARTS DISPLAY WAYLAND_DISPLAY
}

# Sets BENCH_US to the wall-clock time of one run of a command (output
# discarded), in microseconds; with -n COUNT as first arguments, of COUNT runs
# one after the other. Timed by orvan_spawn_timer, so that the shell's own
# cost of starting a program stays out of the figure.
bench_time_us() {
  BENCH_US=$("$BENCH_BUILD/bench/orvan_spawn_timer" "$@") || { echo "bench: '$*' failed" >&2; return 1; }
}

# Sets BENCH_US to the peak resident memory of one run of a command, in kB
# (the "Maximum resident set size" of /usr/bin/time -v).
bench_peak_kb() {
  /usr/bin/time -f %M -o "$BENCH_WORK/peak" "$@" >/dev/null 2>&1 || { echo "bench: '$*' failed" >&2; return 1; }
  BENCH_US=$(tail -n 1 "$BENCH_WORK/peak")
}

# bench_alternate <pairs> <first> <second>
# Calls the functions <first> and <second>, each of which measures one run
# and leaves its figure in BENCH_US, as pairs, swapping their order each
# pair. Writes one figure per line to $BENCH_WORK/first and $BENCH_WORK/second.
bench_alternate() {
  local pairs=$1 first=$2 second=$3 i a b
  local -a as=() bs=()
  for ((i = 0; i < pairs; i++)); do
    if ((i % 2 == 0)); then
      "$first"; a=$BENCH_US
      "$second"; b=$BENCH_US
    else
      "$second"; b=$BENCH_US
      "$first"; a=$BENCH_US
    fi
    as+=("$a") bs+=("$b")
  done
  printf '%s\n' "${as[@]}" >"$BENCH_WORK/first"
  printf '%s\n' "${bs[@]}" >"$BENCH_WORK/second"
}

# bench_report <figure> <unit> <divisor> <reference> <goal> <values> [<reference values>]
# Prints the median and interquartile range of the values (divided by
# <divisor> to show them in <unit>) and, given reference values taken in
# pairs with them, those of the reference and of the pairwise ratio. <goal>
# is empty or a bound on the median ratio: "<=1.3", ">=1".
bench_report() {
  local figure=$1 unit=$2 divisor=$3 reference=$4 goal=$5 values=$6 refs=${7:-/dev/null}
  local row
  row=$(awk -v figure="$figure" -v unit="$unit" -v div="$divisor" -v ref="$reference" -v goal="$goal" '
    function sort(v, n,   i, j, t) {
      for (i = 2; i <= n; i++) { t = v[i]; for (j = i - 1; j >= 1 && v[j] > t; j--) v[j + 1] = v[j]; v[j + 1] = t }
    }
    # Quartiles by linear interpolation between the closest ranks.
    function q(v, n, p,   h, l) {
      h = 1 + (n - 1) * p; l = int(h)
      return l >= n ? v[n] : v[l] + (h - l) * (v[l + 1] - v[l])
    }
    # Four figures or more, no exponents.
    function fmt(x) {
      return sprintf(x >= 1000 ? "%.0f" : x >= 100 ? "%.1f" : x >= 10 ? "%.2f" : "%.3f", x)
    }
    function stats(v, n, d) {
      sort(v, n)
      return fmt(q(v, n, 0.5) / d) "\t" fmt(q(v, n, 0.25) / d) "\t" fmt(q(v, n, 0.75) / d)
    }
    FNR == NR { a[++na] = $1 + 0; next }
    { b[++nb] = $1 + 0 }
    END {
      if (na == 0) { print "bench: no values for " figure > "/dev/stderr"; exit 1 }
      if (nb > 0 && nb != na) { print "bench: unpaired values for " figure > "/dev/stderr"; exit 1 }
      # The ratios pair by pair, before stats() sorts a and b.
      for (i = 1; i <= nb; i++) r[i] = b[i] == 0 ? 0 : a[i] / b[i]
      line = figure "\t" unit "\t" stats(a, na, div) "\t" ref
      if (nb == 0) { print line "\t\t\t\t\t\t\t" goal "\t"; exit }
      rs = stats(r, nb, 1)
      line = line "\t" stats(b, nb, div) "\t" rs
      split(rs, m, "\t")
      verdict = ""
      if (goal ~ /^<=/) verdict = (m[1] <= substr(goal, 3) + 0) ? "met" : "missed"
      if (goal ~ /^>=/) verdict = (m[1] >= substr(goal, 3) + 0) ? "met" : "missed"
      print line "\t" goal "\t" verdict
    }' "$values" "$refs") || return 1
  [[ -n ${ORVAN_BENCH_RESULTS:-} ]] && printf '%s\n' "$row" >>"$ORVAN_BENCH_RESULTS"
  local f u m q1 q3 r rm rq1 rq3 ratio rr1 rr3 g v
  IFS=$'\t' read -r f u m q1 q3 r rm rq1 rq3 ratio rr1 rr3 g v <<<"$row"
  printf '%s\n' "$f"
  printf '  %-12s median %s %s (interquartile %s..%s)\n' "measured" "$m" "$u" "$q1" "$q3"
  if [[ -n $rm ]]; then
    printf '  %-12s median %s %s (interquartile %s..%s)\n' "$r" "$rm" "$u" "$rq1" "$rq3"
    printf '  %-12s median %s (interquartile %s..%s)%s\n' "ratio" "$ratio" "$rr1" "$rr3" "${g:+, goal $g: $v}"
  fi
}
