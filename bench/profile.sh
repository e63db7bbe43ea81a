#!/usr/bin/env bash
# Profiles one whole launch (as in bench/launch.sh) and one run of the
# baseline program with callgrind, and counts the launch's disk syncs with
# strace. Instruction counts do not move with the load of the machine, so
# they show where the launcher's time goes even when wall-clock figures are
# noisy; the syncs are what instruction counts cannot show. Prints a
# Markdown summary; the callgrind files are kept in the folder given as the
# first argument (default: none kept).
#
#   bench/profile.sh [folder]
#   callgrind_annotate --tree=calling --inclusive=yes <folder>/launch.callgrind
set -euo pipefail
source "$(dirname "$0")/timing.sh"
keep=${1:-}
for tool in valgrind callgrind_annotate strace; do
  command -v "$tool" >/dev/null || { echo "profile.sh: $tool is missing (Debian packages valgrind, strace)" >&2; exit 1; }
done
bench_build orvan-launcher test_engine orvan_baseline
bench_bundle

valgrind --tool=callgrind --callgrind-out-file="$BENCH_WORK/launch.callgrind" "$BENCH_GAME" >/dev/null 2>&1
valgrind --tool=callgrind --callgrind-out-file="$BENCH_WORK/baseline.callgrind" \
  "$BENCH_BASELINE" "$BENCH_MODULE" >/dev/null 2>&1
if [[ -n $keep ]]; then
  mkdir -p "$keep"
  cp "$BENCH_WORK/launch.callgrind" "$BENCH_WORK/baseline.callgrind" "$keep/"
fi

# Inclusive instruction counts, one "count<TAB>function" line each.
inclusive() {
  callgrind_annotate --inclusive=yes --threshold=100 "$1" 2>/dev/null |
    awk '$2 ~ /^\(/ && $1 ~ /^[0-9,]+$/ { n = $1; gsub(",", "", n); $1 = ""; $2 = ""; sub(/^ +/, ""); print n "\t" $0 }'
}
inclusive "$BENCH_WORK/launch.callgrind" >"$BENCH_WORK/launch.incl"
inclusive "$BENCH_WORK/baseline.callgrind" >"$BENCH_WORK/baseline.incl"
total() { grep -m1 -F 'PROGRAM TOTALS' <(callgrind_annotate "$1" 2>/dev/null) | awk '{ n = $1; gsub(",", "", n); print n }'; }
# The largest count of the lines whose function matches a pattern.
count() { awk -F'\t' -v p="$2" '$2 ~ p && $1 > m { m = $1 } END { print m + 0 }' "$1"; }
mega() { awk -v n="$1" 'BEGIN { printf "%.2f M", n / 1e6 }'; }

lt=$(total "$BENCH_WORK/launch.callgrind"); bt=$(total "$BENCH_WORK/baseline.callgrind")
lm=$(count "$BENCH_WORK/launch.incl" '\(below main\)'); bm=$(count "$BENCH_WORK/baseline.incl" '\(below main\)')
ll=$(count "$BENCH_WORK/launch.incl" ':_dl_start '); bl=$(count "$BENCH_WORK/baseline.incl" ':_dl_start ')

# The instruction counts as a row of bench/run.sh's table: one run each, as
# they hardly change from run to run.
echo "$lt" >"$BENCH_WORK/first"
echo "$bt" >"$BENCH_WORK/second"
bench_report "whole launch, instructions (callgrind)" "M Ir" 1e6 baseline "" "$BENCH_WORK/first" "$BENCH_WORK/second" >/dev/null

echo "Instructions of one launch (callgrind, Ir), launcher against baseline:"
echo
echo "| part | launcher | baseline |"
echo "| --- | ---: | ---: |"
echo "| whole process | $(mega "$lt") | $(mega "$bt") |"
echo "| before \`main\`: linking the program's own libraries (\`_dl_start\`) | $(mega "$ll") | $(mega "$bl") |"
echo "| before \`main\`: library constructors (SDL 1.2 loads SDL2 here) | $(mega $((lt - lm - ll))) | $(mega $((bt - bm - bl))) |"
echo "| \`main\` to exit | $(mega "$lm") | $(mega "$bm") |"
echo
echo "The launcher's own steps (inclusive Ir: each with all it calls):"
echo
echo "| step | Ir |"
echo "| --- | ---: |"
callgrind_annotate --tree=calling --inclusive=yes "$BENCH_WORK/launch.callgrind" 2>/dev/null |
  awk '/^ *[0-9,]+ .*\* +\?\?\?:(Run\(|\(anonymous namespace\)::CustomApplicationMain)/ { inside = 1; next }
       /^ *[0-9,]+ .*\* / { inside = 0 }
       inside && /^ *[0-9,]+ .*> / {
         n = $1; gsub(",", "", n)
         line = $0; sub(/^.*> +/, "", line); sub(/ \([0-9]+x\).*$/, "", line); sub(/^\?\?\?:/, "", line)
         if (line !~ /^(SDL_main|Run\()/) print n "\t" line
       }' | sort -t$'\t' -k1,1nr | head -8 |
  awk -F'\t' '{ printf "| `%s` | %.2f M |\n", $2, $1 / 1e6 }'

# Syncs wait for the disk, which other work on the machine shares: the
# median of several launches.
for ((i = 0; i < 11; i++)); do
  strace -f -c -w -e trace=fsync,fdatasync -o "$BENCH_WORK/syncs" "$BENCH_GAME" >/dev/null 2>&1
  awk '$NF == "total" { print $(NF - 1), $2 * 1000 }' "$BENCH_WORK/syncs"
done | sort -k2,2g | awk '{ c[NR] = $1; t[NR] = $2 } END {
  if (NR == 0) { print "\nDisk syncs of one launch (strace -c -w): none."; exit }
  m = int((NR + 1) / 2)
  printf "\nDisk syncs of one launch (fsync and fdatasync, strace -c -w, median of %d launches): %d, taking %.2f ms (interquartile %.2f..%.2f ms).\n", NR, c[m], t[m], t[int((NR + 3) / 4)], t[int((3 * NR + 3) / 4)]
}'
