#!/usr/bin/env bash
# Runs a GoogleTest program limited by a filter and fails unless it ran COUNT tests: GoogleTest
# passes when a filter matches nothing, so a renamed test would drop out of the run unseen.
#   gtest-counted.sh COUNT program [args...]
set -uo pipefail
want=$1
shift
out=$(mktemp) || exit 2
trap 'rm -f "$out"' EXIT
"$@" 2>&1 | tee "$out"
rc=${PIPESTATUS[0]}
ran=$(sed -n 's/^\[==========\] \([0-9]*\) tests\{0,1\} from .* ran\..*/\1/p' "$out" | tail -n 1)
skipped=$(sed -n 's/^\[  SKIPPED \] \([0-9]*\) tests\{0,1\}, listed below:.*/\1/p' "$out" | tail -n 1)
ran=$((${ran:-0} - ${skipped:-0}))
if ((ran < want)); then
  echo "gtest-counted: $ran test(s) ran, the filter names $want" >&2
  exit 1
fi
exit "$rc"
