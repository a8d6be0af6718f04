#!/usr/bin/env bash
# Checks the shipped 32-bit programs against what Windows 98 (first edition) and ME need:
# - a PE32 GUI program for the Intel 80386;
# - every imported function is on the reviewed list scripts/win9x-imports.txt (a new import
#   fails here until someone has checked it against the platform of the time);
# - no instruction that the Pentium lacks anywhere in the image, compiler runtime included
#   (scripts/p6-instructions.sh, with the link map beside the program or in --maps DIR), and the
#   runtime linked is the one rebuilt for the Pentium (scripts/i586-runtime.sh);
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
# The compiler runtime's files as the link map names them.
runtime_files='crt2\.o|crtbegin\.o|crtend\.o|libgcc\.a|libgcc_eh\.a|libstdc\+\+\.a|libsupc\+\+\.a|libmingw32\.a|libmingwex\.a|libmsvcrt\.a|libmoldname\.a'
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

  # Pentium Pro instructions: none anywhere in the image, whoever compiled them. The link map
  # says whose each one is, and that the compiler runtime linked is ours (scripts/i586-runtime.sh),
  # not Debian's prebuilt one.
  map="${maps:-$(dirname "$exe")}/${name%.exe}.map"
  if [[ ! -f "$map" ]]; then
    fail "no link map $map: cannot tell code from the data the linker puts among it"
  else
    members=$(grep -oE "[^ ]*/(${runtime_files})(\(|$| )" "$map" | sed -E 's/[( ]$//' | sort -u)
    if [[ -z "$members" ]]; then
      fail "the link map $map names no compiler runtime file: not the map of this program's link"
    elif grep -q '^/usr/' <<<"$members"; then
      fail "linked against Debian's prebuilt runtime, built for the Pentium Pro: $(grep '^/usr/' <<<"$members" |
        sed 's@.*/@@' | sort -u | tr '\n' ' ')"
    fi
    if p6=$("$here/p6-instructions.sh" "$exe" "$map"); then
      count=$(grep -c . <<<"$p6" || true)
      if ((count)); then
        fail "$count instructions the Pentium lacks (goal 0):"
        ours=$(awk '$3 != "?" && $3 !~ /^\//' <<<"$p6" | grep -c . || true)
        runtime=$(awk '$3 ~ /^\// {f = $3; sub(/.*\//, "", f); print f}' <<<"$p6" | sort | uniq -c | sort -rn |
          awk '{printf "%s %s, ", $2, $1}')
        unattributed=$(awk '$3 == "?"' <<<"$p6" | grep -c . || true)
        echo "       in our code: $ours"
        echo "       in the compiler runtime: $(awk '$3 ~ /^\//' <<<"$p6" | grep -c . || true) ${runtime:+(${runtime%, })}"
        echo "       outside every input section of the link map: $unattributed"
        head -n 20 <<<"$p6" | sed 's/^/       /'
        ((count <= 20)) || echo "       ..."
      else
        echo "     $name: 0 Pentium Pro instructions in the whole image"
      fi
    else
      fail "cannot attribute its instructions with $map"
    fi
  fi
  if ((failed)); then
    status=1
  else
    echo "ok   $name: $desc; $size bytes; $(wc -l <<<"$imports") imports, all reviewed"
  fi
done
exit $status
