# shellcheck shell=bash
# Sourced by the session scripts. start_private_xvfb FIRST LAST LOG: starts Xvfb on the first
# free display number in FIRST..LAST (no lock file and no socket), waits for its socket, and
# sets XVFB_PID and exports DISPLAY. Returns 1 when no display could be had; an Xvfb that did
# not come up is ended. Xvfb gets no fd 9: that is the 32-bit chroot's lock.
start_private_xvfb() {
  local n
  for n in $(seq "$1" "$2"); do
    [[ -e /tmp/.X$n-lock || -e /tmp/.X11-unix/X$n ]] && continue
    Xvfb ":$n" -screen 0 1024x768x24 -nolisten tcp -noreset >"$3" 2>&1 9>&- &
    XVFB_PID=$!
    for _ in $(seq 1 100); do
      [[ -e /tmp/.X11-unix/X$n ]] && break
      kill -0 "$XVFB_PID" 2>/dev/null || break
      sleep 0.05
    done
    if [[ -e /tmp/.X11-unix/X$n ]]; then
      export DISPLAY=":$n"
      return 0
    fi
    kill "$XVFB_PID" 2>/dev/null
    wait "$XVFB_PID" 2>/dev/null
    XVFB_PID=""
  done
  return 1
}
