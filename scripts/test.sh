#!/usr/bin/env bash
# Sets up, builds and runs every test suite: native unit tests (plain and under ASan/UBSan),
# native tests against the real Java runtime, Windows tests and end-to-end tests under Wine,
# and the check of the shipped 32-bit programs.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh
jobs=$(nproc)
status=0
start=$(date +%s)

for preset in native native-asan wine-tests windows; do
  echo "== build $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build "build/$preset" --parallel "$jobs"
done
echo "== builds took $(( $(date +%s) - start )) s"

echo "== native unit and Java runtime tests"
ctest --test-dir build/native --output-on-failure -j "$jobs" || status=1
echo "== native unit tests under ASan/UBSan"
ctest --test-dir build/native-asan -L unit --output-on-failure -j "$jobs" || status=1
echo "== Windows and end-to-end tests under Wine"
scripts/wine-session.sh build/wine-session \
  ctest --test-dir build/wine-tests --output-on-failure -j "$jobs" || status=1
echo "== shipped 32-bit programs"
ctest --test-dir build/windows --output-on-failure || status=1

echo "== test run took $(( $(date +%s) - start )) s"
exit $status
