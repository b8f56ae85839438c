#!/usr/bin/env bash
# Sets up, builds and runs every test: the formatting check, an optimised build with
# all tests, everything again under AddressSanitizer and UndefinedBehaviorSanitizer
# (the Qt window's tests included), every test program that starts threads under
# ThreadSanitizer, and a short run of each fuzz target.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/setup.sh

jobs=$(nproc)
export QT_QPA_PLATFORM=offscreen

echo "== formatting"
scripts/format.sh --check

echo "== optimised build and tests"
scripts/build.sh release
ctest --test-dir build/release --output-on-failure -j "$jobs"

echo "== AddressSanitizer + UndefinedBehaviorSanitizer"
scripts/build.sh asan
ASAN_OPTIONS=detect_leaks=1:abort_on_error=1 UBSAN_OPTIONS=print_stacktrace=1:halt_on_error=1 \
  ctest --test-dir build/asan --output-on-failure -j "$jobs"

echo "== ThreadSanitizer (every test program that starts threads)"
scripts/build.sh tsan
# The window's tests start the program as a child; the toolkit's own threads in a
# forked child are not the tests' business (die_after_fork=0).
TSAN_OPTIONS="halt_on_error=1 history_size=7 die_after_fork=0 suppressions=$PWD/tests/tsan.supp" \
  ctest --test-dir build/tsan --output-on-failure -j "$jobs" -L threads

echo "== fuzzing (short runs)"
scripts/build.sh fuzz
for target in build/fuzz/fuzz/fuzz_*; do
  [ -x "$target" ] || continue
  name=$(basename "$target")
  corpus=fuzz/corpus/${name#fuzz_}
  work=$(mktemp -d)
  cp -r "$corpus"/. "$work"/ 2>/dev/null || true
  "$target" -max_total_time="${FUZZ_SECONDS:-30}" -print_final_stats=0 "$work" 2>&1 | tail -n 2
  rm -rf "$work"
done
echo "All test stages passed."
