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

XVFB_PID=""
cleanup() {
  /usr/lib/wine/wineserver64 -k >/dev/null 2>&1 || true
  [[ -n "$XVFB_PID" ]] && kill "$XVFB_PID" >/dev/null 2>&1 && wait "$XVFB_PID" 2>/dev/null
  rm -f "$state/display"
}
trap cleanup EXIT INT TERM

# shellcheck source=scripts/xvfb.sh
. "$(dirname "${BASH_SOURCE[0]}")/xvfb.sh"
# Sessions started side by side get display ranges of their own: two servers started at once
# on one free number would leave one session on the other's display.
start_private_xvfb "${QV_XVFB_FIRST:-101}" "${QV_XVFB_LAST:-400}" "$state/xvfb.log" ||
  { echo "wine-session: no free X display" >&2; exit 2; }
echo "$DISPLAY" > "$state/display"

rm -rf "$WINEPREFIX"
/usr/lib/wine/wine64 wineboot -i </dev/null >"$state/wineboot.log" 2>&1
# A program that crashes ends, its backtrace on standard error, instead of waiting behind
# Wine's crash dialog until the test's time-out.
/usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
  </dev/null >>"$state/wineboot.log" 2>&1
# Unmanaged windows: with no window manager on the display, hiding or removing a managed window
# (a dialog, the notification icon) waits 2 s for one that never answers.
/usr/lib/wine/wine64 reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
  </dev/null >>"$state/wineboot.log" 2>&1
# A persistent server, and Wine's helper processes booted with no inherited streams, so the
# test runner never waits on them.
/usr/lib/wine/wineserver64 -p </dev/null >/dev/null 2>&1
/usr/lib/wine/wine64 cmd /c exit </dev/null >/dev/null 2>&1
"$@"
