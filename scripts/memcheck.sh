#!/usr/bin/env bash
# Runs the integration tests with every start of the launcher under
# valgrind's memcheck (tests/support: ORVAN_TEST_WRAPPER), on a build made
# without sanitizers. Fails when a test fails or when any launcher run had an
# invalid access, a use of uninitialised memory or a definite leak outside
# the media layer's and the system's libraries (tests/valgrind.supp).
#
#   bash scripts/memcheck.sh [build-folder]     (default: build, as test.sh makes it)
#
# Left out: the tests that need a real X display, that race or time signals
# against the game, and the fault and load tests, which kill processes, fill
# disks, set resource limits or start hundreds of launches; under valgrind's
# slowdown these measure valgrind rather than the launcher.
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build}
exclude='DemoWindowTest|GuiUninstallTest|QuitSignalTest|Sigterm|AQuitStill|OfSixteen|FaultTest|LoadTest'

if [ ! -x "$build/bin/orvan_integration_tests" ]; then
  cmake -S . -B "$build" -DORVAN_WERROR=ON >/dev/null
  cmake --build "$build" -j"$(nproc)"
fi

logs=$(mktemp -d "${TMPDIR:-/tmp}/orvan-memcheck-XXXXXX")
trap 'rm -rf "$logs"' EXIT
# The launcher carries its own copy of operator new and delete (linked in
# from the static C++ runtime): somalloc=NONE lets memcheck track that copy as
# well as the C library's and an engine's libstdc++, so a list an engine makes
# with new and releases through the launcher's virtual destructor is one
# new/delete pair rather than a "mismatched free".
export ORVAN_TEST_WRAPPER="valgrind --error-exitcode=99 --leak-check=full \
--errors-for-leak-kinds=definite --show-leak-kinds=definite --num-callers=40 \
--soname-synonyms=somalloc=NONE --suppressions=$PWD/tests/valgrind.supp \
--log-file=$logs/run-%p.log"

status=0
(cd "$build" && ctest -L integration -E "$exclude" --output-on-failure -j"$(nproc)" --timeout 600) || status=1

runs=0
signalled=0
bad=0
for log in "$logs"/run-*.log; do
  [ -f "$log" ] || continue
  runs=$((runs + 1))
  if ! grep -q 'ERROR SUMMARY:' "$log"; then
    signalled=$((signalled + 1))  # ended by a test's kill: no summary
  elif ! grep -q 'ERROR SUMMARY: 0 errors' "$log"; then
    bad=$((bad + 1))
    echo "== memcheck errors: $log" >&2
    cat "$log" >&2
  fi
done
echo "memcheck: $runs launcher runs, $bad with errors, $signalled ended by a signal"
[ "$runs" -gt 0 ] || { echo "memcheck: no launcher run was checked" >&2; status=1; }
[ "$bad" -eq 0 ] || status=1
exit "$status"
