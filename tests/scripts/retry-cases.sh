#!/usr/bin/env bash
# The retries of the steps that ask a package mirror (scripts/retry.sh), with no mirror: an
# apt-get on PATH that fails its first calls in apt's own words, run through a prefix function
# with a clean environment as the chroot's apt is.
set -euo pipefail
root=$(cd "$(dirname "$0")/../.." && pwd)
# shellcheck source=scripts/retry.sh
. "$root/scripts/retry.sh"
export QV_RETRY_PAUSES=0
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
status=0
who=$(basename "$0" .sh)

mkdir "$tmp/bin"
cat >"$tmp/bin/apt-get" <<'EOF'
#!/bin/sh
# Counts its calls; the first $(cat fails) print the file "out" and exit with the status in "rc".
d=$(dirname "$0")/..
n=$(($(cat "$d/calls" 2>/dev/null || echo 0) + 1))
echo "$n" >"$d/calls"
if [ "$n" -le "$(cat "$d/fails")" ]; then cat "$d/out"; exit "$(cat "$d/rc")"; fi
echo "call $n: done"
EOF
chmod +x "$tmp/bin/apt-get"
# shellcheck disable=SC2317 # called through the helpers
in_box() { env -i "PATH=$tmp/bin:/usr/bin:/bin" "$@"; }

run() { # FAILS RC OUTPUT HELPER STEP: one run of HELPER on apt-get; sets rc, calls, last (stderr)
  echo "$1" >"$tmp/fails"
  echo "$2" >"$tmp/rc"
  printf '%s\n' "$3" >"$tmp/out"
  rm -f "$tmp/calls"
  log=$tmp/$5.log
  rc=0
  "$4" "$5" "$log" -- in_box apt-get update 2>"$tmp/err" || rc=$?
  calls=$(cat "$tmp/calls")
  last=$(tail -n 1 "$tmp/err")
}
check() { # WHAT GOT EXPECTED
  if [[ $2 == "$3" ]]; then echo "ok   $1: $2"; else
    echo "FAIL $1: got '$2', expected '$3'"
    status=1
  fi
}

# A step that fails twice and then succeeds: done, on the third attempt, all three in its log.
run 2 7 "E: Could not connect to deb.debian.org:80" qv_retry flaky
check "flaky: status" "$rc" 0
check "flaky: calls" "$calls" 3
check "flaky: attempts in its log" "$(grep -c 'Could not connect' "$log") then '$(tail -n 1 "$log")'" "2 then 'call 3: done'"

# One that always fails: four attempts, then one line naming the step, the attempts and the log.
run 99 7 "E: Could not connect to deb.debian.org:80" qv_retry broken
check "broken: status" "$rc" 7
check "broken: calls" "$calls" 4
check "broken: last line" "$last" "$who: broken failed 4 times (last status 7), giving up; its log: $log"

# An update that keeps missing one index (apt exits 100): it goes on with the lists apt has,
# after four attempts, naming that index.
url=http://deb.debian.org/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz
run 99 100 "Err:3 http://deb.debian.org/debian-security bookworm-security/main i386 Packages
  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 151.101.2.132 80]
E: Failed to fetch $url  File has unexpected size (374820 != 376004). Mirror sync in progress? [IP: 151.101.2.132 80]
E: Some index files failed to download. They have been ignored, or old ones used instead." qv_apt_update update-partial
check "partial update: status" "$rc" 0
check "partial update: calls" "$calls" 4
check "partial update: last line" "$last" "$who: update-partial: going on with the lists apt has, without $url (File has unexpected size (374820 != 376004). Mirror sync in progress?) after 4 attempts; its log: $log"

# A warning with status 0 is a failed index too: tried again, and once all came, quiet.
run 1 0 "W: Failed to fetch $url  Connection timed out
W: Some index files failed to download. They have been ignored, or old ones used instead." qv_apt_update update-warned
check "warned update: status, calls" "$rc, $calls" "0, 2"
check "warned update: last line" "$last" "$who: update-warned failed (attempt 1 of 4, status 0), again in 0 s"

# An update that failed without naming an index (another apt holds the lists) is no partial one.
run 99 100 "E: Could not get lock /var/lib/apt/lists/lock. It is held by process 4242 (apt-get)
E: Unable to lock directory /var/lib/apt/lists/" qv_apt_update update-locked
check "locked update: status, calls" "$rc, $calls" "100, 4"
check "locked update: last line" "$last" "$who: update-locked failed 4 times (last status 100), giving up; its log: $log"

exit $status
