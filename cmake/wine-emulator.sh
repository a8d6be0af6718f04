#!/bin/sh
# ctest's emulator for Windows test programs. The Wine session (prefix, server, display) is
# prepared by scripts/wine-session.sh; starting the first wine process here would leave
# Wine's helper processes holding ctest's pipes open.
if [ -z "$WINEPREFIX" ] || [ -z "$DISPLAY" ]; then
  echo "wine-emulator: run under scripts/wine-session.sh (WINEPREFIX and DISPLAY unset)" >&2
  exit 2
fi
# Wine's debug channels write to the Unix standard error of the program and of every program
# it starts; a test that reads them (QV_WINE_STDERR) finds them in that file.
if [ -n "${QV_WINE_STDERR:-}" ]; then
  exec /usr/lib/wine/wine64 "$@" 2>>"$QV_WINE_STDERR"
fi
exec /usr/lib/wine/wine64 "$@"
