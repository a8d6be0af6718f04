#!/usr/bin/env bash
# Lists the instructions of a 32-bit program that the Pentium and Pentium MMX (and the K6 and
# early VIA C3) lack: cmov*, fcmov*, fcomi/fucomi*, MMX and SSE, and the long nop. The link map
# tells code from the data that the linker also puts into .text (constructor lists, exception
# tables), and names the input file and the function of each:
#   address mnemonic file function
# Usage: p6-instructions.sh PROGRAM.exe PROGRAM.map
set -euo pipefail
exe=$1
map=$2
[[ -f "$map" ]] || { echo "no link map $map" >&2; exit 2; }
p6='^(cmov|fcmov|fcomi|fucomi|emms|prefetch|[slm]fence|movnti|ldmxcsr|stmxcsr|fxsave|fxrstor|sysenter|sysexit|rdpmc|nop[lw]([[:space:]]|$))'
i686-w64-mingw32-objdump -d --no-show-raw-insn "$exe" |
  awk -F'\t' -v p6="$p6" 'NF >= 2 && $1 ~ /^ *[0-9a-f]+:$/ {
      insn = $2; sub(/^ +/, "", insn)
      if (insn ~ p6 || insn ~ /%x?mm[0-9]/) {
        split(insn, w, " "); addr = $1; gsub(/[ :]/, "", addr); print addr, w[1]
      }
    }' |
    # The map's memory part: input sections (" .text...  0xADDR  0xSIZE  file", the name alone
    # on its line when long) and the symbols inside them ("  0xADDR  name").
    awk -v mapfile="$map" '
      function hex(s,   v, i, c) {
        v = 0; s = tolower(s); sub(/^0x/, "", s)
        for (i = 1; i <= length(s); i++) { c = index("0123456789abcdef", substr(s, i, 1)) - 1; v = v * 16 + c }
        return v
      }
      # An input section; a function of its own when its name carries one (.text$name).
      function add(sec, a, sz, f) {
        start[n] = hex(a); size[n] = hex(sz); file[n] = f; sub(/^\.text[$.]?/, "", sec); secfn[n] = sec; n++
      }
      BEGIN {
        n = 0; m = 0; inmap = 0; pending = 0
        while ((getline line < mapfile) > 0) {
          if (line ~ /^Linker script and memory map/) { inmap = 1; continue }
          if (!inmap) continue
          k = split(line, f, " ")
          if (k == 1 && f[1] ~ /^\.text/) { pending = f[1]; continue }
          if (pending != "" && k >= 3 && f[1] ~ /^0x/) { add(pending, f[1], f[2], f[3]); pending = ""; continue }
          pending = ""
          if (k >= 4 && f[1] ~ /^\.text/ && f[2] ~ /^0x/) { add(f[1], f[2], f[3], f[4]); continue }
          if (k == 2 && f[1] ~ /^0x/ && f[2] !~ /^0x/) { sa[m] = hex(f[1]); sn[m] = f[2]; m++ }
        }
      }
      {
        a = hex($1); where = ""; best = -1
        for (i = 0; i < n; i++) if (a >= start[i] && a < start[i] + size[i]) { where = file[i]; lo = start[i]; hi = lo + size[i]; fn = secfn[i]; break }
        if (where == "") next
        for (j = 0; j < m; j++) if (sa[j] <= a && sa[j] >= lo && sa[j] < hi && sa[j] > best) { best = sa[j]; fn = sn[j] }
        if (fn == "") fn = "?"
        print $1, $2, where, fn
      }'
