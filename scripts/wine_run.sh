#!/usr/bin/env bash
# The Windows build's test runner: runs a Windows executable under Wine in one
# of the private prefixes that scripts/wine_tests.sh made, the first that no
# other run holds, so that each test has the prefix's drives and registry to
# itself. flock holds the prefix while the executable runs; what Wine starts
# beside it never inherits the lock.
set -uo pipefail
prefixes=${LOCKORA_WINE_PREFIXES:?run the Windows tests through scripts/wine_tests.sh}
loader=${LOCKORA_WINE_LOADER:?run the Windows tests through scripts/wine_tests.sh}
busy=250
# Each runs in the prefix's C:\users, where the tests may change folders and
# come back.
for prefix in "$prefixes"/prefix-*/; do
  prefix=${prefix%/}
  (cd "$prefix/drive_c/users" && WINEPREFIX=$prefix exec flock -n -o -E "$busy" "$prefix.lock" "$loader" "$@")
  status=$?
  if ((status != busy)); then exit "$status"; fi
done
# Every prefix is held (more jobs than prefixes): wait for the first.
prefix=$prefixes/prefix-0
cd "$prefix/drive_c/users"
WINEPREFIX=$prefix exec flock -o "$prefix.lock" "$loader" "$@"
