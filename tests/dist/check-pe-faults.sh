#!/usr/bin/env bash
# Proves that scripts/check-pe.sh catches what it is there to catch: doctored copies of a built
# program and its link map must fail the check (or, for data among the code, pass), each for
# its own reason. The unchanged copy must pass, so that every failure below is the fault's.
# Usage: check-pe-faults.sh PROGRAM.exe   (its link map beside it)
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
exe=$1
map=${exe%.exe}.map
name=$(basename "$exe")
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
status=0

# File offset of a virtual address in .text.
offset() {
  local vma file_offset
  read -r vma file_offset < <(i686-w64-mingw32-objdump -h "$exe" | awk '$2 == ".text" {print $4, $6}')
  echo $((0x$1 - 0x$vma + 0x$file_offset))
}
# A copy of the program with BYTES (printf escapes) written at ADDRESS, and the map alongside.
doctor() { # CASE ADDRESS BYTES
  mkdir -p "$tmp/$1"
  cp "$exe" "$map" "$tmp/$1/"
  if [[ -n $2 ]]; then
    # shellcheck disable=SC2059
    printf "$3" | dd of="$tmp/$1/$name" bs=1 seek="$(offset "$2")" conv=notrunc status=none
    i686-w64-mingw32-objdump -d "$tmp/$1/$name" | grep -E "^ *$2:" >/dev/null ||
      { echo "FAIL $1: the disassembly does not start an instruction at $2"; status=1; }
  fi
}
check() { # CASE EXPECTED-EXIT TEXT
  local out rc=0
  out=$("$root/scripts/check-pe.sh" --maps "$tmp/$1" "$tmp/$1/$name" 2>&1) || rc=$?
  if [[ $2 == pass && $rc -ne 0 ]] || [[ $2 == fail && $rc -eq 0 ]] || ! grep -qF -- "$3" <<<"$out"; then
    echo "FAIL $1: expected the check to $2 saying '$3'; exit $rc, got:"
    head -n 12 <<<"$out" | sed 's/^/    /'
    status=1
  else
    echo "ok   $1: the check did $2, saying '$3'"
  fi
}

# The start of the first code section of our own (a relative path in the map): an instruction
# boundary of the linear disassembly.
read -r ours_at ours_line < <(awk '/^Linker script and memory map/ {inmap = 1}
  inmap && /^ \.text/ && $2 ~ /^0x/ && $3 != "0x0" && $4 !~ /^\// {print $2, NR; exit}' "$map")
ours_at=$(printf '%x' "$((ours_at))")
# The constructor list the linker writes into .text: its first word (-1), after nop padding.
ctors_at=$(awk '/^Linker script and memory map/ {inmap = 1}
  inmap && $1 ~ /^0x/ && $3 == "LONG" {print $1; exit}' "$map")
ctors_at=$(printf '%x' "$((ctors_at))")

doctor unchanged "" ""
check unchanged pass "0 Pentium Pro instructions in the whole image"

doctor cmov-in-our-code "$ours_at" '\x0f\x44\xc0'
check cmov-in-our-code fail "in our code: 1"

doctor cmov-behind-a-prefix "$ours_at" '\x2e\x0f\x44\xc0'
check cmov-behind-a-prefix fail "in our code: 1"

doctor long-nop-behind-a-prefix "$ours_at" '\x66\x66\x2e\x0f\x1f\x84\x00\x00\x00\x00\x00'
check long-nop-behind-a-prefix fail "in our code: 1"

doctor cmov-nobody-owns "$ours_at" '\x0f\x44\xc0'
sed -i "${ours_line}d" "$tmp/cmov-nobody-owns/${name%.exe}.map"
check cmov-nobody-owns fail "outside every input section of the link map: 1"

doctor cmov-bytes-in-the-constructor-list "$ctors_at" '\x0f\x44\xc0\x90'
check cmov-bytes-in-the-constructor-list pass "0 Pentium Pro instructions in the whole image"

doctor map-attributes-nothing "" ""
sed -i -E '/^ \.text/d' "$tmp/map-attributes-nothing/${name%.exe}.map"
check map-attributes-nothing fail "attributes no code"

doctor map-names-no-runtime "" ""
sed -i -E '/(crt2\.o|crtbegin\.o|crtend\.o|lib(gcc|gcc_eh|stdc\+\+|supc\+\+|mingw32|mingwex|msvcrt|moldname)\.a)/d' \
  "$tmp/map-names-no-runtime/${name%.exe}.map"
check map-names-no-runtime fail "names no compiler runtime file"

doctor debian-runtime "" ""
sed -i -E 's@[^ (]*/((crt2|crtbegin|crtend)\.o|lib(gcc|gcc_eh|stdc\+\+|supc\+\+|mingw32|mingwex|msvcrt|moldname)\.a)@/usr/lib/gcc/i686-w64-mingw32/12-win32/\1@g' \
  "$tmp/debian-runtime/${name%.exe}.map"
check debian-runtime fail "linked against Debian's prebuilt runtime"

exit $status
