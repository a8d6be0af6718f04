#!/usr/bin/env bash
# Installs everything the build and the tests need from Debian's packages. Idempotent: when all
# is there it only checks and returns in seconds.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
# shellcheck source=scripts/retry.sh
. "$root/scripts/retry.sh"

packages=(
  g++-mingw-w64-i686-win32 gcc-mingw-w64-i686-win32 mingw-w64-i686-dev binutils-mingw-w64-i686
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix
  g++-mingw-w64-x86-64-posix mingw-w64-x86-64-dev binutils-mingw-w64-x86-64
  wine wine64
  xvfb xauth x11-utils imagemagick
  openjdk-17-jdk-headless openjdk-17-jre ecj
  cmake ninja-build g++ googletest file
  libclang-rt-14-dev clang
  debootstrap qemu-user-static
  # scripts/i586-runtime.sh: the compiler runtime rebuilt for the Pentium from Debian's sources
  dpkg-dev autoconf automake make patch bzip2 xz-utils
)

missing=()
for p in "${packages[@]}"; do
  status=$(dpkg-query -W -f='${Status}' "$p" 2>/dev/null || true)
  [[ "$status" == "install ok installed" ]] || missing+=("$p")
done

if (( ${#missing[@]} )); then
  echo "bootstrap: installing ${missing[*]}"
  sudo=()
  [[ $(id -u) -eq 0 ]] || sudo=(sudo)
  log=$root/build/bootstrap.log
  mkdir -p "$root/build"
  : >"$log"
  qv_apt_update "apt-get update" "$log" -- "${sudo[@]}" apt-get -qq "${QV_APT_OPTS[@]}" update || exit 1
  # Another apt on the machine (a second checkout's set-up) holds dpkg's lock for minutes: wait
  # for it rather than spend the attempts.
  qv_retry "apt-get install" "$log" -- "${sudo[@]}" env DEBIAN_FRONTEND=noninteractive \
    apt-get install -y -qq --no-install-recommends -o DPkg::Lock::Timeout=900 "${QV_APT_OPTS[@]}" \
    "${missing[@]}" || exit 1
fi
echo "bootstrap: ok"
