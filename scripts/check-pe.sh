#!/usr/bin/env bash
# Checks that each given program is a 32-bit Windows GUI program that imports only DLLs that
# Windows itself ships, and no function that Windows 98/ME lack (such imports keep a program
# from loading there at all; they come in with the posix-thread C++ runtime, among others).
set -uo pipefail
allowed='^(KERNEL32|USER32|GDI32|ADVAPI32|SHELL32|COMCTL32|COMDLG32|OLE32|OLEAUT32|msvcrt|WSOCK32|WS2_32|RICHED32|VERSION)\.dll$'
# Windows matches DLL names without regard to case (the import library names WSOCK32.DLL).
shopt -s nocasematch
not_on_9x='^(GetTickCount64|AddVectoredExceptionHandler|RemoveVectoredExceptionHandler|GetHandleInformation|SetHandleInformation|TryEnterCriticalSection|SwitchToThread|SignalObjectAndWait|GetFileSizeEx|SetFilePointerEx|GetModuleHandleExA|GetModuleHandleExW|QueryFullProcessImageNameA|QueryFullProcessImageNameW|GetProcessId|GetThreadId|FlsAlloc|FlsGetValue|FlsSetValue|FlsFree|InitOnceExecuteOnce|InitializeConditionVariable|SleepConditionVariableCS|WakeAllConditionVariable|InitializeSRWLock|AcquireSRWLockExclusive|GetSystemTimePreciseAsFileTime|GetNativeSystemInfo|IsWow64Process|SetProcessAffinityMask|GetProcessAffinityMask|CreateWaitableTimerExW|SetThreadStackGuarantee|CheckTokenMembership|OpenThreadToken)$'
status=0
for exe in "$@"; do
  desc=$(file -b "$exe")
  if [[ "$desc" != "PE32 executable (GUI) Intel 80386"* ]]; then
    echo "FAIL $exe: got '$desc', expected a PE32 GUI program for Intel 80386"; status=1
  fi
  while read -r dll; do
    if [[ ! "$dll" =~ $allowed ]]; then
      echo "FAIL $exe imports $dll, which Windows does not ship"; status=1
    fi
  done < <(i686-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {print $3}')
  while read -r fn; do
    if [[ "$fn" =~ $not_on_9x ]]; then
      echo "FAIL $exe imports $fn, which Windows 98/ME lack"; status=1
    fi
  done < <(i686-w64-mingw32-objdump -p "$exe" | awk 'NF>=3 && $1 ~ /^[0-9a-f]+$/ && $2 ~ /^[0-9]+$/ {print $3}')
  # The launchers export their native status callback undecorated (not ...@12).
  if [[ "$(basename "$exe")" == QuorvelBkp.exe || "$(basename "$exe")" == QuorvelRst.exe ]]; then
    exports=$(i686-w64-mingw32-objdump -p "$exe")
    if ! grep -qE '^[[:space:]]*\[[[:space:]]*[0-9]+\] Java_LauncherControl_informarStatus$' <<<"$exports"; then
      echo "FAIL $exe does not export Java_LauncherControl_informarStatus"; status=1
    fi
  fi
  [[ $status -eq 0 ]] && echo "ok   $(basename "$exe"): $desc; imports $(i686-w64-mingw32-objdump -p "$exe" | awk '/DLL Name:/ {printf "%s ", $3}')"
done
exit $status
