#!/usr/bin/env bash
# Prints what one line of the runtime's words costs through the manager's vfprintf hook under
# Wine (a verbose runtime writes thousands), against opening and closing the file for each line.
# A figure, not a test.
#   scripts/bench-runtime-words.sh [build folder (default build/wine-tests)] [lines]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/wine-tests}
lines=${2:-20000}
[[ -f "$build/CMakeCache.txt" ]] || cmake --preset wine-tests -B "$build"
cmake --build "$build" --target qv_words_bench -j2 >/dev/null
bin=$(realpath "$build/bin")
scripts/wine-session.sh "$build/bench-session" wine "$bin/qv_words_bench.exe" 'C:\qvwords' "$lines"
