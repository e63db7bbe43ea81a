#!/usr/bin/env bash
# Installs what is missing, builds with warnings as errors and runs every
# test: once as built, once under AddressSanitizer and UndefinedBehaviorSanitizer.
# Then the integration tests once more with the launcher under valgrind's
# memcheck, and each fuzz target for a few seconds.
set -euo pipefail
cd "$(dirname "$0")/.."
bash scripts/deps.sh
jobs=$(nproc)

cmake -S . -B build -DORVAN_WERROR=ON -DORVAN_BUILD_TESTS=ON >/dev/null
cmake --build build -j"$jobs"
(cd build && ctest --output-on-failure -j"$jobs")
bash scripts/memcheck.sh build

cmake -S . -B build-asan -DORVAN_WERROR=ON -DORVAN_SANITIZE=ON -DORVAN_BUILD_BENCH=OFF >/dev/null
cmake --build build-asan -j"$jobs"
export ASAN_OPTIONS="detect_leaks=1:abort_on_error=0"
export LSAN_OPTIONS="suppressions=$PWD/tests/lsan.supp:print_suppressions=0"
export UBSAN_OPTIONS="print_stacktrace=1:halt_on_error=1"
(cd build-asan && ctest --output-on-failure -j"$jobs")

# Six targets, five seconds each: enough for a regression in a reader to show.
bash scripts/fuzz.sh 5
