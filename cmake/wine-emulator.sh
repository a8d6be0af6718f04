#!/bin/sh
# ctest's emulator for Windows test programs. The Wine session (prefix, server, display) is
# prepared by scripts/wine-session.sh; starting the first wine process here would leave
# Wine's helper processes holding ctest's pipes open.
if [ -z "$WINEPREFIX" ] || [ -z "$DISPLAY" ]; then
  echo "wine-emulator: run under scripts/wine-session.sh (WINEPREFIX and DISPLAY unset)" >&2
  exit 2
fi
exec /usr/lib/wine/wine64 "$@"
