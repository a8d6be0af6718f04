#!/usr/bin/env bash
# shellcheck disable=SC2317 # the final exit makes shellcheck 0.9 call every function unreachable
# 32-bit Wine for the tests, through emulation: this machine kind cannot execute i386 Linux
# code, so an i386 Debian chroot holding Wine 8.0 (wine32) runs under qemu-i386 user mode,
# which binfmt_misc hands every i386 program to.
#   scripts/wine32.sh setup                      install or repair the chroot (idempotent)
#   scripts/wine32.sh session STATE_DIR cmd...   run cmd with a fresh 32-bit prefix, a wineserver
#                                                and a private Xvfb; unmounts and ends all after
#   scripts/wine32.sh umount                     end what runs in the chroot and unmount it
# The chroot is /var/cache/qv-wine32/root (QV_WINE32_ROOT), outside every checkout, with its
# lock beside it (ROOT.lock). Only during a session is the project folder bound at its own path
# inside it, so Windows paths (Z:\...) are the same as under the host's Wine. Set-up marks the
# folder as its own before anything goes in; an unmarked folder is never used or deleted.
# Run "umount" before deleting the chroot: a bind mount is the same filesystem.
set -euo pipefail

PROJECT=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd -P)
ROOT=${QV_WINE32_ROOT-/var/cache/qv-wine32/root}
[ -n "$ROOT" ] && ROOT=$(realpath -m "$ROOT")
MARK=.qv-wine32-root # written by set-up into the empty folder it makes the chroot in
LOGDIR=$PROJECT/build/wine32-logs
SUITE=bookworm
# One entry per chroot: a session that ends takes only its own away.
BINFMT_NAME=qv-wine32-$(printf %s "$ROOT" | cksum | cut -d' ' -f1)
QEMU_DIR=/opt/qv-qemu                    # inside the chroot
QEMU_P=$QEMU_DIR/usr/libexec/qemu-binfmt/i386-binfmt-P
QEMU_APT_DIR=/var/lib/qv-qemu-apt        # inside the chroot
CHROOT_PACKAGES="wine wine32 gcc libc6-dev"
CHROOT_PATH=/usr/local/sbin:/usr/local/bin:/usr/sbin:/usr/bin:/sbin:/bin
TEMPLATE=/opt/qv-prefix-template # inside the chroot: a booted prefix each session copies
QEMU_APT=(-o APT::Architecture=amd64 -o APT::Architectures::=amd64
  -o "Dir::Etc::SourceList=$QEMU_APT_DIR/sources.list" -o Dir::Etc::SourceParts=/nonexistent
  -o "Dir::State::Lists=$QEMU_APT_DIR/lists" -o "Dir::Cache=$QEMU_APT_DIR/cache"
  -o APT::Sandbox::User=root)

note() { echo "wine32: $*" >&2; }
die() { echo "wine32: error: $*" >&2; exit 1; }

check_root() { # a root that set-up may make, and that may go without harm to anything else
  case $ROOT in
  "") die "QV_WINE32_ROOT is empty" ;;
  /) die "refusing / as the chroot" ;;
  esac
  case $ROOT/ in "$PROJECT"/*)
    die "the chroot $ROOT must be outside the project folder: a clean of it would reach a session's mounts" ;;
  esac
  case $PROJECT/ in "$ROOT"/*) die "the chroot $ROOT must not hold the project folder" ;; esac
  if [ -e "$ROOT" ] && [ ! -d "$ROOT" ]; then die "$ROOT is not a folder"; fi
}

owned() { [ -f "$ROOT/$MARK" ]; }

require_owned() {
  owned || die "$ROOT carries no mark of this set-up ($MARK): run '$0 setup' first"
}

claim_root() { # marks an empty or new folder as ours; refuses any other
  owned && return 0
  if [ ! -e "$ROOT" ] || [ -z "$(ls -A "$ROOT")" ]; then
    mkdir -p "$ROOT"
  elif [ -e "$ROOT/.qv-debootstrap-done" ]; then
    note "adopting $ROOT, made by an earlier set-up that left no $MARK"
  else
    die "$ROOT is not empty and carries no mark of this set-up ($MARK): refusing to use it"
  fi
  echo "made by scripts/wine32.sh setup; deleted only by it" >"$ROOT/$MARK"
}

mounts_under_root() { # deepest first
  findmnt -rn -o TARGET | while read -r m; do
    m=$(printf '%b' "$m") # findmnt escapes blanks as \x20
    case $m in "$ROOT"/*) echo "$m" ;; esac
  done | sort -r
}

in_chroot() { # CMD...: run in the chroot with a clean environment
  chroot "$ROOT" /usr/bin/env -i HOME=/root USER=root LOGNAME=root LANG=C.UTF-8 \
    "PATH=$CHROOT_PATH" "$@" 9>&-
}

host_mirror() { # debian|debian-security: the host's mirror for that archive
  # shellcheck disable=SC2016 # $(REPO_URI) is apt's placeholder
  apt-get indextargets --format '$(REPO_URI)' 2>/dev/null |
    grep -m1 -E "/$1/?\$" || echo "http://deb.debian.org/$1/"
}

# The lock is fd 9 of this script alone: whatever may outlive a call (Xvfb, wineserver, Wine's
# helpers, the session's command) starts with 9>&-, or a left-over process would hold the lock
# and every later call would wait for ever.
with_lock() { # CMD...: run CMD holding the chroot's lock
  check_root
  mkdir -p "$(dirname "$ROOT")"
  (
    flock 9
    "$@"
  ) 9>"$ROOT.lock"
}

register_binfmt() { # INTERPRETER FLAGS (kernel order POCF): i386 ELF -> INTERPRETER
  local entry=/proc/sys/fs/binfmt_misc/$BINFMT_NAME
  [ -e /proc/sys/fs/binfmt_misc/register ] ||
    mount -t binfmt_misc binfmt_misc /proc/sys/fs/binfmt_misc
  if [ -e "$entry" ]; then
    if grep -qx enabled "$entry" && grep -qx "interpreter $1" "$entry" &&
      grep -qx "flags: $2" "$entry"; then
      return 0
    fi
    echo -1 >"$entry"
  fi
  # magic/mask: ELF, 32-bit, little endian, ET_EXEC or ET_DYN, EM_386 (as qemu's own)
  printf '%s' ":$BINFMT_NAME:M::"'\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\xfc\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff'":$1:$2" \
    >/proc/sys/fs/binfmt_misc/register
}

unregister_binfmt() {
  local entry=/proc/sys/fs/binfmt_misc/$BINFMT_NAME
  if [ -e "$entry" ]; then echo -1 >"$entry"; fi
}

mount_system() { # proc, sys and dev (not recursive)
  local m
  for m in proc sys dev dev/pts; do
    mkdir -p "$ROOT/$m"
    mountpoint -q "$ROOT/$m" && continue
    case $m in
    proc) mount -t proc proc "$ROOT/proc" ;;
    sys) mount -t sysfs sysfs "$ROOT/sys" ;;
    *) mount --bind "/$m" "$ROOT/$m" ;;
    esac
  done
}

mount_project() { # for a session only: set-up never has the sources within its reach
  mkdir -p "$ROOT$PROJECT"
  mountpoint -q "$ROOT$PROJECT" && return 0
  mount --bind "$PROJECT" "$ROOT$PROJECT" && mount --make-private "$ROOT$PROJECT"
}

unmount_chroot() { # everything under the root, also what a killed session of another checkout left
  local m
  for m in $(mounts_under_root); do
    umount "$m" || umount -l "$m"
  done
  [ -z "$(mounts_under_root)" ] || die "still mounted under $ROOT: $(mounts_under_root | tr '\n' ' ')"
}


# ---------------------------------------------------------------- setup

remove_incomplete_root() { # what an interrupted or failed debootstrap left
  [ -n "$(find "$ROOT" -mindepth 1 -maxdepth 1 ! -name "$MARK" -print -quit)" ] || return 0
  require_owned
  # rm --one-file-system walks into bind mounts (the same filesystem): none may be left
  unmount_chroot
  note "removing incomplete $ROOT"
  rm -rf --one-file-system "$ROOT"
  claim_root
}

# A failed attempt may have stopped anywhere, its second stage too: each starts from nothing.
debootstrap_afresh() {
  remove_incomplete_root && debootstrap --arch=i386 --variant=minbase "$SUITE" "$ROOT" "$MIRROR"
}

bootstrap_chroot() {
  [ -e "$ROOT/.qv-debootstrap-done" ] && return 0
  remove_incomplete_root
  note "debootstrap i386 $SUITE into $ROOT"
  # the second stage runs i386 programs: bookworm's qemu is enough for that
  register_binfmt /usr/bin/qemu-i386-static OF
  qv_retry "debootstrap i386 $SUITE" "$LOG" -- debootstrap_afresh 9>&- || exit 1
  touch "$ROOT/.qv-debootstrap-done"
}

configure_chroot() {
  cat >"$ROOT/etc/apt/sources.list" <<SRC
deb $MIRROR $SUITE main
deb $MIRROR $SUITE-updates main
deb $SECURITY_MIRROR $SUITE-security main
SRC
  # a private apt configuration, used only to download qemu from backports
  mkdir -p "$ROOT$QEMU_APT_DIR/lists/partial" "$ROOT$QEMU_APT_DIR/cache/archives/partial"
  echo "deb [arch=amd64] $MIRROR $SUITE-backports main" >"$ROOT$QEMU_APT_DIR/sources.list"
  cp /etc/hosts "$ROOT/etc/hosts"
  cp -L /etc/resolv.conf "$ROOT/etc/resolv.conf" 2>/dev/null || true
  cp -L /etc/localtime "$ROOT/etc/localtime" 2>/dev/null || true
  printf '#!/bin/sh\nexit 101\n' >"$ROOT/usr/sbin/policy-rc.d" # no daemons from packages
  chmod 755 "$ROOT/usr/sbin/policy-rc.d"
}

install_qemu() { # bookworm's qemu 7.2 needs about a minute of CPU per Wine process: take 10
  local debs
  if [ ! -x "$ROOT$QEMU_DIR/usr/bin/qemu-i386" ]; then
    note "fetching qemu-user from $SUITE-backports"
    register_binfmt /usr/bin/qemu-i386-static OF # runs the chroot's apt meanwhile
    qv_apt_update "apt-get update for $SUITE-backports" "$LOG" -- \
      in_chroot apt-get "${QEMU_APT[@]}" "${QV_APT_OPTS[@]}" update || exit 1
    qv_retry "fetching qemu-user from $SUITE-backports" "$LOG" -- \
      in_chroot env -C /tmp apt-get "${QEMU_APT[@]}" "${QV_APT_OPTS[@]}" download qemu-user || exit 1
    debs=("$ROOT"/tmp/qemu-user_*_amd64.deb)
    mkdir -p "$ROOT$QEMU_DIR"
    dpkg-deb --fsys-tarfile "${debs[-1]}" | tar -x -C "$ROOT$QEMU_DIR" ./usr/bin/qemu-i386
    rm -f "${debs[@]}"
  fi
  mkdir -p "$(dirname "$ROOT$QEMU_P")"
  ln -sfn ../../bin/qemu-i386 "$ROOT$QEMU_P" # the -binfmt-P name makes qemu keep argv[0]
  register_binfmt "$ROOT$QEMU_P" POF
}

install_packages() {
  local missing=0 p
  for p in $CHROOT_PACKAGES; do
    # shellcheck disable=SC2016 # ${Status} is dpkg-query's placeholder
    in_chroot dpkg-query -W -f '${Status}\n' "$p" 2>/dev/null | grep -q 'ok installed' || missing=1
  done
  ((missing)) || return 0
  note "installing in the chroot: $CHROOT_PACKAGES"
  in_chroot dpkg --configure -a >>"$LOG" 2>&1 || true # after an interrupted setup
  qv_apt_update "apt-get update in the chroot" "$LOG" -- in_chroot apt-get "${QV_APT_OPTS[@]}" update || exit 1
  qv_retry "apt-get dist-upgrade in the chroot" "$LOG" -- \
    in_chroot env DEBIAN_FRONTEND=noninteractive apt-get -y "${QV_APT_OPTS[@]}" dist-upgrade || exit 1
  # shellcheck disable=SC2086
  qv_retry "installing $CHROOT_PACKAGES" "$LOG" -- in_chroot env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y --no-install-recommends "${QV_APT_OPTS[@]}" $CHROOT_PACKAGES || exit 1
  in_chroot apt-get clean
}

install_shim() {
  local src=$ROOT/usr/local/src/x32shim.c
  mkdir -p "$(dirname "$src")"
  if ! cmp -s "$PROJECT/tests/support/wine32/x32shim.c" "$src" || [ ! -e "$ROOT/usr/local/lib/x32shim.so" ]; then
    cp "$PROJECT/tests/support/wine32/x32shim.c" "$src"
    in_chroot gcc -O2 -Wall -fPIC -shared -D_FILE_OFFSET_BITS=64 \
      -o /usr/local/lib/x32shim.so.new /usr/local/src/x32shim.c -ldl >>"$LOG" 2>&1 ||
      die "building x32shim.so failed (see $LOG)"
    mv "$ROOT/usr/local/lib/x32shim.so.new" "$ROOT/usr/local/lib/x32shim.so"
  fi
  echo /usr/local/lib/x32shim.so >"$ROOT/etc/ld.so.preload"
}

# wineboot under emulation takes minutes, more while other work shares the processors: it runs
# once here, beside the builds, and every session starts from a copy. Made again when the
# chroot's Wine changes.
make_prefix_template() {
  local want stamp=$ROOT$TEMPLATE.done
  # shellcheck disable=SC2016 # ${Version} is dpkg-query's placeholder
  want="wine32 $(in_chroot dpkg-query -W -f '${Version}' wine32)"
  [ -f "$stamp" ] && [ "$(cat "$stamp")" = "$want" ] && [ -d "$ROOT$TEMPLATE" ] && return 0
  rm -rf "$stamp" "$ROOT$TEMPLATE"
  start_private_xvfb 401 700 "$LOGDIR/template-xvfb.log" || die "no free X display"
  local wine=(env "QV_WINE32_ROOT=$ROOT" "WINEPREFIX=$TEMPLATE" "$PROJECT/cmake/wine32-emulator.sh")
  "${wine[@]}" wineboot -i </dev/null >>"$LOG" 2>&1 9>&- || die "wineboot failed (see $LOG)"
  # No crash dialog (it would wait for a click). Unmanaged windows: with no window manager,
  # hiding a managed window waits 2 s for one.
  "${wine[@]}" reg add 'HKCU\Software\Wine\WineDbg' /v ShowCrashDialog /t REG_DWORD /d 0 /f \
    </dev/null >>"$LOG" 2>&1 9>&-
  "${wine[@]}" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /t REG_SZ /d N /f \
    </dev/null >>"$LOG" 2>&1 9>&-
  in_chroot env "WINEPREFIX=$TEMPLATE" /usr/lib/wine/wineserver -w
  kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null
  XVFB_PID=""
  chroot_empty_within 150 || die "Wine still runs in $ROOT after making the prefix"
  echo "$want" >"$stamp"
}

setup() {
  [ "$(id -u)" = 0 ] || die "setup must run as root (chroot, mount, binfmt_misc)"
  mkdir -p "$LOGDIR"
  LOG=$LOGDIR/setup.log
  local t0=$SECONDS step
  MIRROR=${QV_WINE32_MIRROR:-$(host_mirror debian)}
  SECURITY_MIRROR=${QV_WINE32_SECURITY_MIRROR:-$(host_mirror debian-security)}
  claim_root
  trap 'if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null; fi; unmount_chroot; unregister_binfmt' EXIT
  trap 'exit 130' INT TERM
  for step in bootstrap_chroot configure_chroot mount_system install_qemu install_packages install_shim \
    make_prefix_template; do
    local t1=$SECONDS
    "$step"
    if ((SECONDS - t1 > 5)); then note "$step: $((SECONDS - t1)) s"; fi
  done
  unmount_chroot
  unregister_binfmt
  trap - EXIT
  touch "$ROOT/.qv-ready"
  note "chroot ready in $((SECONDS - t0)) s"
}

# ---------------------------------------------------------------- session

XVFB_PID=""
PREFIX=""

end_session() {
  local i
  if [ -n "$PREFIX" ] && [ -n "$(all_chroot_pids)" ]; then
    in_chroot env "WINEPREFIX=$PREFIX" /usr/lib/wine/wineserver -k >/dev/null 2>&1 || true
  fi
  # Wine's processes go with their server; whatever is left of the chroot's must not stay.
  if ! chroot_empty_within 150; then
    for i in $(all_chroot_pids); do
      note "ending $(cat "/proc/$i/comm" 2>/dev/null) ($i), still running"
      kill -9 "$i" 2>/dev/null || true
    done
    chroot_empty_within 50 || note "processes still in $ROOT: $(all_chroot_pids)"
  fi
  if [ -n "$XVFB_PID" ]; then kill "$XVFB_PID" 2>/dev/null && wait "$XVFB_PID" 2>/dev/null; fi
  unmount_chroot
  unregister_binfmt
}

chroot_empty_within() { # TENTHS: wait until no process runs in the chroot
  local i
  for ((i = 0; i < $1; i++)); do
    [ -z "$(all_chroot_pids)" ] && return 0
    sleep 0.1
  done
  return 1
}

all_chroot_pids() { # every process whose root is this chroot
  local d
  for d in /proc/[0-9]*; do
    [ "$(readlink "$d/root" 2>/dev/null)" = "$ROOT" ] && echo "${d#/proc/}"
  done
  return 0
}

# shellcheck source=scripts/xvfb.sh
. "$PROJECT/scripts/xvfb.sh"
# shellcheck source=scripts/retry.sh
. "$PROJECT/scripts/retry.sh"

session() { # STATE_DIR CMD...
  [ "$(id -u)" = 0 ] || die "must run as root (chroot, mount, binfmt_misc)"
  require_owned
  [ -e "$ROOT/.qv-ready" ] || die "no 32-bit Wine in $ROOT: run '$0 setup' first"
  STATE=$(realpath -m "$1")
  shift
  case $STATE/ in "$PROJECT"/*) ;; *) die "the state folder must be inside $PROJECT" ;; esac
  mkdir -p "$STATE"
  trap end_session EXIT
  trap 'exit 130' INT TERM
  register_binfmt "$ROOT$QEMU_P" POF
  mount_system
  mount_project
  # on the host: the chroot's programs reach it by its socket
  start_private_xvfb 401 700 "$STATE/xvfb.log" || die "no free X display"
  mkdir -p "$ROOT/tmp/.X11-unix" # the abstract socket serves; libX11 wants the folder
  # A fresh prefix on each run, in the state folder: the same path inside the chroot.
  PREFIX=$STATE/prefix
  rm -rf "$PREFIX"
  export QV_WINE32_ROOT=$ROOT WINEPREFIX=$PREFIX
  local wine=("$PROJECT/cmake/wine32-emulator.sh")
  [ -f "$ROOT$TEMPLATE.done" ] || die "no prefix to copy in $ROOT: run '$0 setup' first"
  cp -a "$ROOT$TEMPLATE" "$PREFIX"
  # A persistent server, and Wine's helper processes booted with no inherited streams, so the
  # test runner never waits on them.
  in_chroot env "WINEPREFIX=$PREFIX" /usr/lib/wine/wineserver -p </dev/null >/dev/null 2>&1
  "${wine[@]}" cmd /c exit </dev/null >/dev/null 2>&1 9>&-
  "$@" 9>&-
}

main() {
  case ${1:-} in
  setup) with_lock setup ;;
  session)
    shift
    (($# >= 2)) || die "usage: $0 session STATE_DIR command [args...]"
    with_lock session "$@"
    ;;
  umount)
    check_root
    if owned; then with_lock end_session; else note "$ROOT is no chroot of ours: nothing to do"; fi
    ;;
  *) sed -n '5,8s/^# \{0,1\}//p' "${BASH_SOURCE[0]}" >&2; exit 2 ;;
  esac
}

# Read whole before it runs: editing this file cannot derail a running copy.
{
  main "$@"
  exit
}
