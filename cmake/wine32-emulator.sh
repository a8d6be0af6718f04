#!/usr/bin/env bash
# ctest's emulator for the 32-bit test programs: 32-bit Wine inside the i386 chroot, in the
# session that scripts/wine32.sh prepares. The environment starts clean; TZ and the QV_
# variables a test sets pass through.
if [ -z "${QV_WINE32_ROOT:-}" ] || [ -z "${WINEPREFIX:-}" ] || [ -z "${DISPLAY:-}" ]; then
  echo "wine32-emulator: run under scripts/wine32.sh session (QV_WINE32_ROOT, WINEPREFIX or DISPLAY unset)" >&2
  exit 2
fi
cwd=$PWD
[ -d "$QV_WINE32_ROOT$cwd" ] || cwd=/
pass=()
for v in $(compgen -e); do
  case $v in TZ | QV_*) pass+=("$v=${!v}") ;; esac
done
# Wine's debug channels write to the Unix standard error: to QV_WINE_STDERR, when a test reads them.
if [ -n "${QV_WINE_STDERR:-}" ]; then exec 2>>"$QV_WINE_STDERR"; fi
exec chroot "$QV_WINE32_ROOT" /usr/bin/env -i -C "$cwd" HOME=/root USER=root LOGNAME=root LANG=C.UTF-8 \
  PATH=/usr/local/bin:/usr/bin:/bin "WINEPREFIX=$WINEPREFIX" "DISPLAY=$DISPLAY" "WINEDEBUG=${WINEDEBUG:--all}" \
  "WINEDLLOVERRIDES=mscoree,mshtml=;winemenubuilder.exe=d" "${pass[@]}" /usr/lib/wine/wine "$@"
