#!/usr/bin/env bash
# Installs everything the build and the tests need from Debian's packages. Idempotent: when all
# is there it only checks and returns in seconds.
set -euo pipefail

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
  SUDO=""
  [[ $(id -u) -eq 0 ]] || SUDO=sudo
  $SUDO apt-get update -qq
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
fi
echo "bootstrap: ok"
