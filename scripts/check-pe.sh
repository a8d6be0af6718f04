#!/usr/bin/env bash
# Checks the shipped 32-bit programs against what Windows 98 (first edition) and ME need:
# - a PE32 GUI program for the Intel 80386;
# - every imported function is on the reviewed list scripts/win9x-imports.txt (a new import
#   fails here until someone has checked it against the platform of the time);
# - none of our own code holds an instruction that the Pentium lacks (scripts/p6-instructions.sh,
#   with the link map beside the program or in --maps DIR); the compiler runtime's are counted;
# - at most 400 KB, no debug sections, its resources present, and, with --source-dir, no trace of
#   where the build machine keeps the sources;
# - the launchers export their status callback undecorated (not ...@12).
# Usage: check-pe.sh [--source-dir DIR] [--maps DIR] PROGRAM.exe...
set -uo pipefail
here=$(cd "$(dirname "$0")" && pwd)
allowed_list="$here/win9x-imports.txt"
source_dir=""
maps=""
while [[ $# -gt 0 && "$1" == --* ]]; do
  case "$1" in
    --source-dir) source_dir=$2; shift 2 ;;
    --maps) maps=$2; shift 2 ;;
    *) echo "unknown option $1"; exit 2 ;;
  esac
done
max_size=$((400 * 1024))
allowed=$(grep -E '^[A-Z0-9_]+\.DLL ' "$allowed_list" | awk '{print $1 " " $2}' | sort -u)
status=0
for exe in "$@"; do
  name=$(basename "$exe")
  failed=0
  fail() { echo "FAIL $name: $*"; failed=1; }
  desc=$(file -b "$exe")
  [[ "$desc" == "PE32 executable (GUI) Intel 80386"* ]] ||
    fail "got '$desc', expected a PE32 GUI program for Intel 80386"
  headers=$(i686-w64-mingw32-objdump -p "$exe")

  # Imports as "DLL FUNCTION"; an import by ordinal has no name and is never on the list.
  imports=$(awk '/DLL Name:/ {dll = toupper($3); next}
                 /^[[:space:]]*$/ {dll = ""}
                 dll != "" && /<none>/ {print dll " #ordinal"}
                 dll != "" && NF >= 3 && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ {print dll " " $3}' <<<"$headers" | sort -u)
  while read -r imp; do
    [[ -z "$imp" ]] && continue
    fail "imports $imp, which is not on the reviewed list of functions present on Windows 98/ME ($allowed_list)"
  done < <(comm -23 <(echo "$imports") <(echo "$allowed"))

  size=$(stat -c %s "$exe")
  ((size <= max_size)) || fail "$size bytes, more than $max_size"
  sections=$(i686-w64-mingw32-objdump -h "$exe" | awk '$1 ~ /^[0-9]+$/ {print $2}')
  grep -q '^\.debug' <<<"$sections" && fail "carries debug sections: $(grep '^\.debug' <<<"$sections" | tr '\n' ' ')"
  grep -qx '\.rsrc' <<<"$sections" || fail "has no resources"
  if [[ -n "$source_dir" ]] && grep -aqF "$source_dir" "$exe"; then
    fail "contains the build machine's source path $source_dir"
  fi
  if [[ "$name" == QuorvelBkp.exe || "$name" == QuorvelRst.exe ]]; then
    grep -qE '^[[:space:]]*\[[[:space:]]*[0-9]+\] Java_LauncherControl_informarStatus$' <<<"$headers" ||
      fail "does not export Java_LauncherControl_informarStatus"
  fi

  # Pentium Pro instructions: none from our code; the prebuilt runtime's are listed by file.
  map="${maps:-$(dirname "$exe")}/${name%.exe}.map"
  if [[ ! -f "$map" ]]; then
    fail "no link map $map: cannot tell our code from the runtime's"
  else
    p6=$("$here/p6-instructions.sh" "$exe" "$map")
    ours=$(awk '$3 !~ /^\/usr\//' <<<"$p6" | grep . || true)
    if [[ -n "$ours" ]]; then
      fail "$(wc -l <<<"$ours") instructions the Pentium lacks in our code:"
      sed 's/^/       /' <<<"$ours"
    fi
    runtime=$(awk '$3 ~ /^\/usr\// {f = $3; sub(/.*\//, "", f); print f}' <<<"$p6" | sort | uniq -c | sort -rn |
      awk '{printf "%s %s, ", $2, $1}')
    echo "     $name: $(grep -c . <<<"$p6") Pentium Pro instructions, all in the compiler runtime: ${runtime%, }"
  fi
  if ((failed)); then
    status=1
  else
    echo "ok   $name: $desc; $size bytes; $(wc -l <<<"$imports") imports, all reviewed"
  fi
done
exit $status
