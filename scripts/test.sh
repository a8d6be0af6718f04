#!/usr/bin/env bash
# Sets up, builds and runs every test suite: native unit tests (plain and under ASan/UBSan),
# native tests against the real Java runtime, Windows tests and end-to-end tests under Wine,
# the check of the shipped 32-bit programs, and those programs run under 32-bit Wine.
set -euo pipefail
cd "$(dirname "$0")/.."

scripts/bootstrap.sh
jobs=$(nproc)
status=0
start=$(date +%s)

# The 32-bit Wine chroot is mostly downloads and unpacking: made ready while the rest builds.
mkdir -p build/wine32-logs
# A group of its own, so that an early end of this script ends all of it (it unmounts itself).
setsid scripts/wine32.sh setup >build/wine32-logs/setup-run.log 2>&1 &
wine32_setup=$!
# The compiler runtime of the shipped programs, rebuilt for the Pentium (minutes from scratch,
# a second when cached), builds beside the native and 64-bit test builds, at a lower priority.
setsid env NICE="nice -n 10" scripts/i586-runtime.sh >build/i586-runtime.log 2>&1 &
runtime_build=$!
trap 'kill -- "-$wine32_setup" "-$runtime_build" 2>/dev/null || true' EXIT

for preset in native native-asan wine-tests; do
  echo "== build $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build "build/$preset" --parallel "$jobs"
done
echo "== compiler runtime for the Pentium"
if ! wait "$runtime_build"; then
  tail -n 20 build/i586-runtime.log
  exit 1
fi
tail -n 1 build/i586-runtime.log
trap 'kill -- "-$wine32_setup" 2>/dev/null || true' EXIT
echo "== build windows"
cmake --preset windows >/dev/null
cmake --build build/windows --parallel "$jobs"
# dist/ holds the programs that ship: the ones the 32-bit layer runs.
mkdir -p dist
for exe in quorvel9x QuorvelBkp QuorvelRst StopQuorvel; do
  cp "build/windows/bin/$exe.exe" dist/
done
echo "== build wine32-tests"
cmake --preset wine32-tests >/dev/null
cmake --build build/wine32-tests --parallel "$jobs" --target wine32_e2e
echo "== builds took $(( $(date +%s) - start )) s"

echo "== native unit and Java runtime tests"
ctest --test-dir build/native --output-on-failure -j "$jobs" || status=1
echo "== native unit tests under ASan/UBSan"
ctest --test-dir build/native-asan -L unit --output-on-failure -j "$jobs" || status=1
# The 64-bit Wine layer needs nothing of the 32-bit set-up, which on a new machine may still be
# making its chroot: it starts first. The manager's scenarios share the registry key and the
# window title with one another and with the launchers' (so they run serially), and mostly wait
# on the Java side's timers: they run in a Wine session of their own, with its own registry and
# display, beside the rest.
setsid env QV_XVFB_FIRST=301 QV_XVFB_LAST=400 scripts/wine-session.sh build/wine-session-manager \
  ctest --test-dir build/wine-tests --output-on-failure -R '^manager_e2e$' >build/wine-manager.log 2>&1 &
manager_layer=$!
setsid env QV_XVFB_FIRST=101 QV_XVFB_LAST=300 scripts/wine-session.sh build/wine-session \
  ctest --test-dir build/wine-tests --output-on-failure -j "$jobs" -E '^manager_e2e$' >build/wine-layer.log 2>&1 &
wine_layer=$!
trap 'kill -- "-$wine32_setup" "-$manager_layer" "-$wine_layer" ${wine32_layer:+"-$wine32_layer"} 2>/dev/null || true' EXIT

# The 32-bit layer (emulated, mostly CPU) runs beside the 64-bit Wine layer (mostly waiting on
# the scenarios' timers): each has its own Wine session, prefix and display, so they share nothing.
wine32_ready=0
wait "$wine32_setup" && wine32_ready=1
if ((wine32_ready)); then
  wine32_start=$(date +%s)
  setsid scripts/wine32.sh session build/wine32-session \
    ctest --test-dir build/wine32-tests --output-on-failure >build/wine32-logs/layer.log 2>&1 &
  wine32_layer=$!
fi

echo "== Windows and end-to-end tests under Wine"
wait "$wine_layer" || status=1
cat build/wine-layer.log
echo "== the manager end to end under Wine (its own session)"
wait "$manager_layer" || status=1
cat build/wine-manager.log
echo "== shipped 32-bit programs"
ctest --test-dir build/windows --output-on-failure || status=1

echo "== shipped 32-bit programs end to end under 32-bit Wine (emulated)"
if ((wine32_ready)); then
  wait "$wine32_layer" || status=1
  cat build/wine32-logs/layer.log
  echo "== wine32 layer took $(( $(date +%s) - wine32_start )) s, beside the 64-bit Wine layer"
else
  echo "32-bit Wine setup failed:"; tail -n 20 build/wine32-logs/setup-run.log
  status=1
fi

trap - EXIT
echo "== test run took $(( $(date +%s) - start )) s"
exit $status
