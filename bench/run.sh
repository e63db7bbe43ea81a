#!/usr/bin/env bash
# Builds in release mode, runs every benchmark and prints one table:
#
#   whole launch against the baseline program         bench/launch.sh
#   second-launch hand-off against the baseline       bench/handoff.sh
#   ten restart cycles against ten launches           bench/restart.sh
#   durable preferences write                         bench/prefs_bench.cc
#   peak memory of a launch against the baseline      bench/memory.sh
#   SStringList split and HexToBytes against loops    bench/stringlist_bench.cc, bench/hex_bench.cc
#   a profile of one launch                           bench/profile.sh
#
# Every figure is the median of repeated runs with its interquartile range;
# whole-process figures alternate the two programs run by run, so that a busy
# machine widens the spread instead of moving the ratio (bench/timing.sh).
# The table and the profile also go into docs/performance.md, between its
# two marker lines; the rest of that file is left as it is.
#
#   bench/run.sh            about 2 minutes on two cores, and the build
#   bench/run.sh --quick    fewer runs, to try the scripts out (the document is left alone)
#   ORVAN_BENCH_BUILD, ORVAN_BENCH_NO_BUILD: see bench/timing.sh
#   ORVAN_BENCH_DIR: where the preferences benchmark writes (default /var/tmp)
set -euo pipefail
source "$(dirname "$0")/timing.sh"

quick=0
if [[ ${1:-} == --quick ]]; then
  quick=1 launch_pairs=21 restart_pairs=5 memory_pairs=5 reps=5 min_time=0.05
else
  launch_pairs=201 restart_pairs=41 memory_pairs=21 reps=21 min_time=0.1
fi

bash scripts/deps.sh
echo "building $BENCH_BUILD (release)" >&2
bench_build orvan-launcher test_engine orvan_baseline prefs_bench stringlist_bench hex_bench
bench_bundle
load_before=$(cut -d' ' -f1-3 /proc/loadavg)
results="$BENCH_WORK/results.tsv"
: >"$results"

# The whole-process pieces, on the build made above.
# profile.sh adds the instruction counts of a launch as a row and prints the
# profile, kept for the document.
for piece in "launch.sh $launch_pairs" "profile.sh" "handoff.sh $launch_pairs" "restart.sh $restart_pairs" \
  "memory.sh $memory_pairs"; do
  echo "running bench/$piece" >&2
  # shellcheck disable=SC2086  # the piece's name and its argument
  if [[ $piece == profile.sh ]]; then
    ORVAN_BENCH_NO_BUILD=1 ORVAN_BENCH_RESULTS="$results" bash bench/profile.sh >"$BENCH_WORK/profile.md"
  else
    ORVAN_BENCH_NO_BUILD=1 ORVAN_BENCH_RESULTS="$results" bash bench/$piece >&2
  fi
done

# Google Benchmark programs: every repetition goes to a CSV file, in an order
# that interleaves the benchmarks at random, and repetition i of one is
# paired with repetition i of the other.
gbench() {
  local program=$1
  shift
  echo "running $program" >&2
  "$BENCH_BUILD/bench/$program" --benchmark_out="$BENCH_WORK/$program.csv" --benchmark_out_format=csv "$@" \
    >/dev/null 2>"$BENCH_WORK/$program.err" || { cat "$BENCH_WORK/$program.err" >&2; return 1; }
}
# The column <column> of every repetition of benchmark <name>.
gbench_values() {
  awk -F, -v name="\"$2\"" -v column="$3" '
    /^name,/ { for (i = 1; i <= NF; i++) if ($i == column) c = i; next }
    c && $1 == name { print $c }' "$BENCH_WORK/$1.csv"
}
report_to_results() { ORVAN_BENCH_RESULTS="$results" bench_report "$@" >&2; }

gbench prefs_bench --benchmark_filter=Durable
gbench_values prefs_bench "BM_SetSystemPreferenceDurable/iterations:1/repeats:201/real_time" real_time >"$BENCH_WORK/a"
report_to_results "durable preference write" "µs" 1 "" "" "$BENCH_WORK/a"

interleaved=(--benchmark_repetitions="$reps" --benchmark_enable_random_interleaving=true --benchmark_min_time="$min_time")
gbench stringlist_bench "${interleaved[@]}"
for n in "64 1 kB" "65536 1 MB"; do
  read -r items size unit <<<"$n"
  gbench_values stringlist_bench "BM_StringListSplit/$items" bytes_per_second >"$BENCH_WORK/a"
  gbench_values stringlist_bench "BM_PlainLoopSplit/$items" bytes_per_second >"$BENCH_WORK/b"
  report_to_results "SStringList split, $items items ($size $unit)" MB/s 1e6 "plain loop" ">=1" "$BENCH_WORK/a" "$BENCH_WORK/b"
done
gbench hex_bench "${interleaved[@]}"
for n in "16 16 digits" "1048576 1 MB"; do
  read -r digits size unit <<<"$n"
  gbench_values hex_bench "BM_HexToBytes/$digits" bytes_per_second >"$BENCH_WORK/a"
  gbench_values hex_bench "BM_PlainLoopHex/$digits" bytes_per_second >"$BENCH_WORK/b"
  report_to_results "HexToBytes, $size $unit" MB/s 1e6 "plain loop" "" "$BENCH_WORK/a" "$BENCH_WORK/b"
done

load_after=$(cut -d' ' -f1-3 /proc/loadavg)

# One Markdown table from the rows of bench_report.
table() {
  echo "| figure | measured, median (interquartile) | reference, median (interquartile) | ratio, median (interquartile) | goal |"
  echo "| --- | --- | --- | --- | --- |"
  local f u m q1 q3 r rm rq1 rq3 ratio rr1 rr3 g v
  # A figure of a single run has no range.
  range() { [[ $2 == "$1" && $3 == "$1" ]] || echo " ($2–$3)"; }
  while IFS=$'\t' read -r f u m q1 q3 r rm rq1 rq3 ratio rr1 rr3 g v; do
    local reference="—" ratios="—" goal="—"
    if [[ -n $rm ]]; then
      reference="$r: $rm $u$(range "$rm" "$rq1" "$rq3")"
      ratios="$ratio$(range "$ratio" "$rr1" "$rr3")"
    fi
    if [[ -n $g ]]; then
      goal="${g/<=/≤ }"
      goal="${goal/>=/≥ } ($v)"
    fi
    echo "| $f | $m $u$(range "$m" "$q1" "$q3") | $reference | $ratios | $goal |"
  done <"$results"
}

{
  echo "Measured $(date -u '+%Y-%m-%d %H:%M UTC') by \`bench/run.sh\` on $(nproc) cores of" \
    "$(awk -F': ' '/^model name/ { print $2; exit }' /proc/cpuinfo), Linux $(uname -r)," \
    "load average $load_before before and $load_after after."
  echo
  table
  echo
  cat "$BENCH_WORK/profile.md"
} >"$BENCH_WORK/section.md"

echo
table
echo
# Into docs/performance.md, between the markers (made with them when missing);
# a quick run's figures are too few to keep.
if ((quick)); then
  exit 0
fi
doc=docs/performance.md
begin='<!-- bench/run.sh writes from here -->'
end='<!-- bench/run.sh writes up to here -->'
if ! grep -qxF "$begin" "$doc" 2>/dev/null || ! grep -qxF "$end" "$doc"; then
  printf '# Performance\n\n%s\n%s\n' "$begin" "$end" >>"$doc"
fi
awk -v begin="$begin" -v end="$end" -v section="$BENCH_WORK/section.md" '
  $0 == begin { print; while ((getline line < section) > 0) print line; skip = 1; next }
  $0 == end { skip = 0 }
  !skip' "$doc" >"$BENCH_WORK/doc.md"
cp "$BENCH_WORK/doc.md" "$doc"
echo "Profile and the same table: $doc"
