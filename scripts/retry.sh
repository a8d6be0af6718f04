# shellcheck shell=bash
# Sourced by the scripts that ask a package mirror (apt-get, debootstrap). A mirror in the middle
# of a sync or a dropped connection fails one attempt, not the whole run.
#   qv_retry STEP LOG -- CMD...       runs CMD (a function too, e.g. a chroot prefix) up to four
#                                     times, its output appended to LOG. When the last attempt fails,
#                                     one line names STEP, the attempts and LOG; the status is CMD's.
#   qv_apt_update STEP LOG -- CMD...  the same for an apt-get update, but an update still missing
#                                     index files after its attempts goes on (status 0) with the
#                                     lists apt has, saying in one line which failed: what needs
#                                     them fails later, at its install. Only an update that failed
#                                     without naming an index (a lock, a broken sources list) fails.
# QV_RETRY_PAUSES: the pauses between attempts in seconds, "5 15 30"; the last one serves any
# further pause, so "0" makes every attempt follow at once (the tests).
# QV_APT_OPTS: apt's own retries of each download; give them to every apt-get that downloads.

QV_RETRY_ATTEMPTS=4
# shellcheck disable=SC2034 # used by the scripts that source this
QV_APT_OPTS=(-o Acquire::Retries=3)

_qv_who=${0##*/}
_qv_who=${_qv_who%.sh} # the messages' prefix, as the script's own

_qv_pause() { # N: the pause after failed attempt N
  local p
  read -ra p <<<"${QV_RETRY_PAUSES:-5 15 30}"
  echo "${p[$1 - 1]:-${p[-1]}}"
}

# The indexes an apt-get update's output says it could not fetch, on one line. apt words it as
# "W: Failed to fetch URL  REASON [IP: ...]" (E: when it exits 100), or names a repository
# without a Release file; a summary line alone names none.
_qv_failed_indexes() {
  local out named
  out=$(cat)
  # shellcheck disable=SC2016 # sed's own $
  named=$(sed -nE '/^[WE]: (Failed to fetch |The repository .* does not have a Release file)/{
    s/^.: Failed to fetch ([^ ]+) *(.*)/\1 (\2)/
    s/^.: The repository '"'"'([^'"'"']+)'"'"'.*/\1 (no Release file)/
    s/ *\[IP: [^]]*\]//; s/ \(\)$//; p
  }' <<<"$out" | paste -sd ';' | sed 's/;/; /g')
  if [[ -n $named ]]; then
    echo "$named"
  elif grep -q '^[WE]: Some index files failed to download' <<<"$out"; then
    echo "some index files (unnamed)"
  fi
}

_qv_next() { # STEP N RC: says that attempt N failed and waits before the next one
  local p
  p=$(_qv_pause "$2")
  echo "$_qv_who: $1 failed (attempt $2 of $QV_RETRY_ATTEMPTS, status $3), again in $p s" >&2
  sleep "$p"
}

_qv_gave_up() { # STEP RC LOG
  echo "$_qv_who: $1 failed $QV_RETRY_ATTEMPTS times (last status $2), giving up; its log: $3" >&2
}

qv_retry() { # STEP LOG -- CMD...
  local step=$1 log=$2 n rc
  [[ ${3-} == -- ]] || { echo "usage: qv_retry STEP LOG -- CMD..." >&2; return 2; }
  shift 3
  for ((n = 1; ; n++)); do
    rc=0
    "$@" >>"$log" 2>&1 || rc=$?
    ((rc)) || return 0
    if ((n >= QV_RETRY_ATTEMPTS)); then
      _qv_gave_up "$step" "$rc" "$log"
      return "$rc"
    fi
    _qv_next "$step" "$n" "$rc"
  done
}

qv_apt_update() { # STEP LOG -- CMD...
  local step=$1 log=$2 n rc start failed
  [[ ${3-} == -- ]] || { echo "usage: qv_apt_update STEP LOG -- CMD..." >&2; return 2; }
  shift 3
  for ((n = 1; ; n++)); do
    start=$(stat -c %s "$log" 2>/dev/null || echo 0)
    rc=0
    "$@" >>"$log" 2>&1 || rc=$?
    # apt-get update exits 0 on a warning: the output of this attempt says whether all came
    failed=$(tail -c +"$((start + 1))" "$log" | _qv_failed_indexes)
    ((rc)) || [[ -n $failed ]] || return 0
    if ((n >= QV_RETRY_ATTEMPTS)); then
      if [[ -n $failed ]]; then
        echo "$_qv_who: $step: going on with the lists apt has, without $failed after $n attempts; its log: $log" >&2
        return 0
      fi
      _qv_gave_up "$step" "$rc" "$log"
      return "$rc"
    fi
    _qv_next "$step" "$n" "$rc"
  done
}
