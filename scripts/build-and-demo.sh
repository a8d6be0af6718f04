#!/usr/bin/env bash
# Sets up, builds the four 32-bit programs into dist/ and runs the demo.
#   scripts/build-and-demo.sh [--update-docs]   (passed on to scripts/demo.sh)
set -euo pipefail
cd "$(dirname "$0")/.."
demo_args=()
for arg in "$@"; do
  case $arg in
    --update-docs) demo_args+=("$arg") ;;
    *) echo "usage: scripts/build-and-demo.sh [--update-docs]" >&2; exit 2 ;;
  esac
done

scripts/bootstrap.sh
# The compiler runtime the programs link, rebuilt for the Pentium; cached in /var/cache/qv-i586-runtime.
scripts/i586-runtime.sh
cmake --preset windows >/dev/null
cmake --build build/windows --parallel "$(nproc)"
mkdir -p dist
for exe in quorvel9x QuorvelBkp QuorvelRst StopQuorvel; do
  cp "build/windows/bin/$exe.exe" dist/
done
# The link maps stay in the build: they tell our code from the compiler runtime's.
scripts/check-pe.sh --source-dir "$PWD" --maps build/windows/bin dist/*.exe
if [[ -x scripts/demo.sh ]]; then
  scripts/demo.sh "${demo_args[@]}"
fi
echo "dist/: $(ls dist)"
