#!/usr/bin/env bash
# The manager under Wine as a user sees it: a virtual desktop with a taskbar, the 64-bit test
# build of quorvel9x.exe hosting the stand-in runtime (tests/support/fakejvm) through a
# scripted start and stop. A small driver plays the user and pictures the desktop at each step;
# the pictures go to demo-out/, and with --update-docs also over the README's ones in docs/.
#   scripts/demo.sh [--update-docs]   (QV_DEMO_BUILD picks another build folder, default build/wine-tests)
set -euo pipefail
cd "$(dirname "$0")/.."
update_docs=0
for arg in "$@"; do
  case $arg in
    --update-docs) update_docs=1 ;;
    *) echo "usage: scripts/demo.sh [--update-docs]" >&2; exit 2 ;;
  esac
done
root=$(pwd)
build=${QV_DEMO_BUILD:-build/wine-tests}

cmake --preset wine-tests -B "$build" >/dev/null
cmake --build "$build" --target quorvel9x fakejvm qvfakebrowser qvdemodriver --parallel 2 >/dev/null
bin=$(realpath "$build/bin")
out="$root/demo-out"
rm -rf "$out"
mkdir -p "$out/jre" "$out/inst" "$out/shots"
cp "$bin/fakejre/jvm.dll" "$out/jre/"
# The Java side: starting, then started at 9 s; the stop class makes it answer 6 after 3 s.
cat > "$out/jre/jvm.script" <<'SCRIPT'
status 0 at 0, 1 at 3000, 2 at 6000, 3 at 9000
main app.Start returns
main app.Stop returns
on app.Stop status 6 at 3000
SCRIPT

win() { local p=${1//\//\\}; echo "Z:$p"; }
export QV_BIN="$bin" QV_OUT="$out"
export QV_JVM=$(win "$out/jre/jvm.dll") QV_INST=$(win "$out/inst") QV_SHOTS=$(win "$out/shots")
export QV_BROWSER=$(win "$bin/qvfakebrowser.exe") QV_FAKEBROWSER_RECORD=$(win "$out/browser.record")

# A failed run still prints the driver's log below.
rc=0
scripts/wine-session.sh "$out/wine" bash -c '
  set -u
  wine=/usr/lib/wine/wine64
  key="HKLM\\SOFTWARE\\Halvane\\QuorvelMgr\\QUORVEL\\Parameters"
  reg() { $wine reg add "$key\\$1" /v "$2" /t "$3" /d "$4" /f >/dev/null 2>&1; }
  reg Java Jvm REG_SZ "$QV_JVM"
  reg Java JvmMs REG_DWORD 16
  reg Java JvmMx REG_DWORD 64
  reg Start Class REG_SZ app.Start
  reg Stop Class REG_SZ app.Stop
  reg Site URL REG_SZ "$QV_BROWSER"
  reg Site INSTDIR83 REG_SZ "$QV_INST"
  # Both programs join one virtual desktop, which has a taskbar with a notification area.
  $wine explorer /desktop=Quorvel,1024x768 "$QV_BIN/quorvel9x.exe" </dev/null >/dev/null 2>&1 &
  manager=$!
  $wine explorer /desktop=Quorvel,1024x768 "$QV_BIN/qvdemodriver.exe" "$QV_SHOTS" </dev/null >"$QV_OUT/driver.log" 2>&1
  rc=$?
  wait $manager
  exit $rc
' || rc=$?
cat "$out/driver.log"
for shot in "$out"/shots/*.bmp; do
  [[ -e $shot ]] || continue
  name=$(basename "$shot" .bmp)
  convert "$shot" "$out/demo-${name#*-}.png"
done
echo "demo: pictures in demo-out/: $(cd "$out" && ls demo-*.png | tr '\n' ' ')"
# The tracked pictures change only on request, and never from a failed run.
if ((update_docs)); then
  if ((rc == 0)); then
    cp "$out"/demo-*.png docs/
    echo "demo: docs/ pictures updated"
  else
    echo "demo: the run failed; docs/ left as it was" >&2
  fi
fi
[[ -s "$out/browser.record" ]] && echo "demo: the browser button started: $(cat "$out/browser.record")"
exit $rc
