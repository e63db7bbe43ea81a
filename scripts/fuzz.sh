#!/usr/bin/env bash
# Builds the libFuzzer targets (fuzz/*_fuzz.cc) with clang, AddressSanitizer
# and UndefinedBehaviorSanitizer in build-fuzz/, replays each target's kept
# crash inputs (fuzz/regressions/<name>/), then fuzzes it for the given
# number of seconds from a scratch copy of its seeds (fuzz/corpus/<name>/;
# the repository's corpus is never changed).
#
#   bash scripts/fuzz.sh [seconds-per-target]     (default 60)
#
# Prints one line per target and writes the same figures, tab-separated, to
# build-fuzz/fuzz-results.tsv:
#   target  seconds  executions  exec_per_sec  corpus_units  result
# result is "ok", "regression" (a kept input fails again) or "crash" (a new
# finding: the input is copied to build-fuzz/fuzz-findings/<name>/; add it to
# fuzz/regressions/<name>/ once it is fixed). Exits 1 when any target failed.
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-60}
build=build-fuzz
bash scripts/deps.sh

CC=clang CXX=clang++ cmake -S . -B "$build" -DORVAN_FUZZ=ON -DORVAN_BUILD_TESTS=OFF \
  -DORVAN_BUILD_BENCH=OFF >/dev/null
names=()
for source in fuzz/*_fuzz.cc; do
  name=$(basename "$source" _fuzz.cc)
  names+=("$name")
done
cmake --build "$build" -j"$(nproc)" --target "${names[@]/%/_fuzz}" >/dev/null

scratch=$(mktemp -d "${TMPDIR:-/tmp}/orvan-fuzz-run-XXXXXX")
trap 'rm -rf "$scratch"' EXIT
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
results="$build/fuzz-results.tsv"
printf 'target\tseconds\texecutions\texec_per_sec\tcorpus_units\tresult\n' >"$results"
failed=0
for name in "${names[@]}"; do
  binary="$PWD/$build/fuzz/${name}_fuzz"
  work="$scratch/$name"
  mkdir -p "$work/corpus" "$work/tmp" "$work/artifacts"
  cp fuzz/corpus/"$name"/* "$work/corpus/" 2>/dev/null || true
  result=ok

  kept=()
  for input in fuzz/regressions/"$name"/*; do
    [ -f "$input" ] && kept+=("$PWD/$input")
  done
  # The targets work in scratch folders of their own below TMPDIR.
  if [ ${#kept[@]} -gt 0 ] &&
    ! (cd "$work" && TMPDIR="$work/tmp" "$binary" "${kept[@]}" >"$work/regressions.log" 2>&1); then
    result=regression
    echo "== $name: a kept input fails again" >&2
    grep -E 'Running:|ERROR|SUMMARY|check failed|runtime error' "$work/regressions.log" >&2 || true
  fi

  start=$(date +%s.%N)
  if ! (cd "$work" && TMPDIR="$work/tmp" "$binary" -max_total_time="$seconds" -timeout=10 \
    -rss_limit_mb=2048 -print_final_stats=1 -artifact_prefix="$work/artifacts/" \
    "$work/corpus" >"$work/fuzz.log" 2>&1); then
    [ "$result" = ok ] && result=crash
    keep="$build/fuzz-findings/$name"
    mkdir -p "$keep"
    cp "$work"/artifacts/* "$keep/" 2>/dev/null || true
    echo "== $name: finding kept in $keep" >&2
    grep -E -A12 'ERROR|check failed|runtime error' "$work/fuzz.log" | head -40 >&2 || true
  fi
  end=$(date +%s.%N)
  elapsed=$(awk -v a="$start" -v b="$end" 'BEGIN { printf "%.1f", b - a }')
  executions=$(awk '/stat::number_of_executed_units:/ { n = $2 } END { print n + 0 }' "$work/fuzz.log")
  rate=$(awk -v n="$executions" -v s="$elapsed" 'BEGIN { printf "%d", (s > 0 ? n / s : 0) }')
  units=$(find "$work/corpus" -type f | wc -l)
  [ "$result" = ok ] || failed=1

  printf '%s\t%s\t%s\t%s\t%s\t%s\n' "$name" "$elapsed" "$executions" "$rate" "$units" "$result" >>"$results"
  printf '%-12s %6ss %12s executions %9s/s %6s corpus units  %s\n' \
    "$name" "$elapsed" "$executions" "$rate" "$units" "$result"
done
passed=$(awk -F'\t' 'NR > 1 && $6 == "ok"' "$results" | wc -l)
echo "fuzz: $passed passed, $((${#names[@]} - passed)) failed"
exit "$failed"
