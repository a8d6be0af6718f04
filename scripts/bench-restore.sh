#!/usr/bin/env bash
# Prints how long the manager takes to undo an interrupted update of 2,000 replaced 100 KB files,
# against 2,000 plain CopyFileA calls over the same files and against the same calls each
# followed by a flush of the copy, under Wine. A figure, not a test.
#   scripts/bench-restore.sh [build folder (default build/wine-tests)] [files] [rounds]
set -euo pipefail
cd "$(dirname "$0")/.."
build=${1:-build/wine-tests}
files=${2:-2000}
rounds=${3:-3}
[[ -f "$build/CMakeCache.txt" ]] || cmake --preset wine-tests -B "$build"
cmake --build "$build" --target quorvel9x qv_journal_bench -j2 >/dev/null
bin=$(realpath "$build/bin")
winbin="Z:${bin//\//\\}"
# Inside a virtual desktop with a taskbar, as the manager runs on Windows: without one, Wine
# takes about 2 s over the manager's first notification icon, before the restore begins.
scripts/wine-session.sh "$build/bench-session" \
  /usr/lib/wine/wine64 explorer /desktop=Bench,1024x768 \
  "$bin/qv_journal_bench.exe" 'C:\qvbench' "$winbin\\quorvel9x.exe" "$files" "$rounds"
