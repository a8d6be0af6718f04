#!/usr/bin/env bash
# Lists the instructions of a 32-bit program that the Pentium and Pentium MMX (and the K6 and
# early VIA C3) lack: cmov*, fcmov*, fcomi/fucomi*, MMX and SSE, and the long nop, also behind
# prefixes that objdump prints as words of their own ("cs nopw", "lock cmove"). The link map
# tells code from the data that the linker also puts into .text (constructor lists, exception
# tables), and names the input file and the function of each:
#   address mnemonic file function
# An instruction outside every input section the map names is listed with file "?": nobody can
# say whose it is, so it counts. A map that attributes no code at all is refused (exit 3).
# Usage: p6-instructions.sh PROGRAM.exe PROGRAM.map
set -euo pipefail
exe=$1
map=$2
[[ -f "$map" ]] || { echo "no link map $map" >&2; exit 2; }
p6='^(cmov|fcmov|fcomi|fucomi|emms|prefetch|[slm]fence|movnti|ldmxcsr|stmxcsr|fxsave|fxrstor|sysenter|sysexit|rdpmc|nop[lw]([[:space:]]|$))'
prefix='^(cs|ds|es|fs|gs|ss|data16|data32|addr16|addr32|lock|rep|repz|repe|repnz|repne|bnd|notrack|xacquire|xrelease)[[:space:]]+'
i686-w64-mingw32-objdump -d --no-show-raw-insn "$exe" |
  awk -F'\t' -v p6="$p6" -v prefix="$prefix" 'NF >= 2 && $1 ~ /^ *[0-9a-f]+:$/ {
      insn = $2; sub(/^ +/, "", insn)
      while (insn ~ prefix) sub(prefix, "", insn)
      if (insn ~ p6 || insn ~ /%x?mm[0-9]/) {
        split(insn, w, " "); addr = $1; gsub(/[ :]/, "", addr); print addr, w[1]
      }
    }' |
    # The map's memory part: input sections (" .text...  0xADDR  0xSIZE  file", the name alone
    # on its line when long), the linker's own data (" 0xADDR  0xSIZE  LONG 0x0") and the
    # symbols inside the sections ("  0xADDR  name").
    awk -v mapfile="$map" '
      function hex(s,   v, i, c) {
        v = 0; s = tolower(s); sub(/^0x/, "", s)
        for (i = 1; i <= length(s); i++) { c = index("0123456789abcdef", substr(s, i, 1)) - 1; v = v * 16 + c }
        return v
      }
      # Code sections are attributed; a function of its own when the name carries one
      # (.text$name). Any other input section is data.
      function add(sec, a, sz, f) {
        if (hex(sz) == 0) return
        if (sec ~ /^\.(text|init|fini|glue_7)/) {
          start[n] = hex(a); size[n] = hex(sz); file[n] = f; sub(/^\.text[$.]?/, "", sec); secfn[n] = sec; n++
        } else {
          dstart[d] = hex(a); dsize[d] = hex(sz); d++
        }
      }
      BEGIN {
        n = 0; d = 0; m = 0; inmap = 0; pending = ""
        while ((getline line < mapfile) > 0) {
          if (line ~ /^Linker script and memory map/) { inmap = 1; continue }
          if (!inmap) continue
          k = split(line, f, " ")
          if (k == 1 && f[1] ~ /^\.[^ ]/ && line ~ /^ /) { pending = f[1]; continue }
          if (pending != "" && k >= 3 && f[1] ~ /^0x/ && f[2] ~ /^0x/) { add(pending, f[1], f[2], f[3]); pending = ""; continue }
          pending = ""
          if (k >= 4 && line ~ /^ \./ && f[2] ~ /^0x/ && f[3] ~ /^0x/) { add(f[1], f[2], f[3], f[4]); continue }
          if (k >= 3 && f[1] ~ /^0x/ && f[2] ~ /^0x/ && f[3] ~ /^(BYTE|SHORT|LONG|QUAD|SQUAD)$/) {
            dstart[d] = hex(f[1]); dsize[d] = hex(f[2]); d++; continue
          }
          if (k == 2 && f[1] ~ /^0x/ && f[2] !~ /^0x/) { sa[m] = hex(f[1]); sn[m] = f[2]; m++ }
        }
        if (n == 0) {
          print "the link map " mapfile " attributes no code to any input file" > "/dev/stderr"
          exit 3
        }
      }
      {
        a = hex($1)
        for (i = 0; i < d; i++) if (a >= dstart[i] && a < dstart[i] + dsize[i]) break
        if (i < d) next
        for (i = 0; i < n; i++) if (a >= start[i] && a < start[i] + size[i]) break
        if (i == n) { print $1, $2, "?", "?"; next }
        where = file[i]; lo = start[i]; hi = lo + size[i]; fn = secfn[i]; best = -1
        for (j = 0; j < m; j++) if (sa[j] >= lo && sa[j] <= a && sa[j] > best) { best = sa[j]; fn = sn[j] }
        if (fn == "") fn = "?"
        print $1, $2, where, fn
      }'
