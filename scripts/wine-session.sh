#!/usr/bin/env bash
# Runs a command inside a private Wine session: a fresh 64-bit prefix below STATE_DIR, a
# persistent wineserver and a private Xvfb display. Leaves nothing running afterwards and
# never touches the user's own prefix or display.
#   scripts/wine-session.sh STATE_DIR command [args...]
set -uo pipefail
state=$(realpath -m "$1"); shift
mkdir -p "$state"

export WINEARCH=win64
export WINELOADER=/usr/lib/wine/wine64
export WINEPREFIX="$state/prefix"
export WINEDEBUG=${WINEDEBUG:--all}
export WINEDLLOVERRIDES="mscoree,mshtml=;winemenubuilder.exe=d"
unset WINESERVER

xvfb_pid=""
cleanup() {
  /usr/lib/wine/wineserver64 -k >/dev/null 2>&1 || true
  [[ -n "$xvfb_pid" ]] && kill "$xvfb_pid" >/dev/null 2>&1 && wait "$xvfb_pid" 2>/dev/null
  rm -f "$state/display"
}
trap cleanup EXIT INT TERM

# A free display number: no lock file and no socket.
display=""
for n in $(seq 101 400); do
  if [[ ! -e /tmp/.X$n-lock && ! -e /tmp/.X11-unix/X$n ]]; then
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset >"$state/xvfb.log" 2>&1 &
    xvfb_pid=$!
    for _ in $(seq 1 100); do
      [[ -e /tmp/.X11-unix/X$n ]] && break
      kill -0 "$xvfb_pid" 2>/dev/null || break
      sleep 0.05
    done
    if [[ -e /tmp/.X11-unix/X$n ]]; then display=":$n"; break; fi
    xvfb_pid=""
  fi
done
[[ -n "$display" ]] || { echo "wine-session: no free X display" >&2; exit 2; }
export DISPLAY=$display
echo "$display" > "$state/display"

rm -rf "$WINEPREFIX"
/usr/lib/wine/wine64 wineboot -i </dev/null >"$state/wineboot.log" 2>&1
# A persistent server, and Wine's helper processes booted with no inherited streams, so the
# test runner never waits on them.
/usr/lib/wine/wineserver64 -p </dev/null >/dev/null 2>&1
/usr/lib/wine/wine64 cmd /c exit </dev/null >/dev/null 2>&1
"$@"
