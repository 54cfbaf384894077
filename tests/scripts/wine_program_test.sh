#!/usr/bin/env bash
# The Windows program under Wine: started with a verb and a path and no
# browser, it prints where its page is; the page is served over loopback;
# a second start with a command line exits with 1. Run by
# scripts/wine_tests.sh once its tests are done, in its first prefix.
#   wine_program_test.sh <Windows build dir>
set -euo pipefail
program=$1/app/lockora.exe
export WINEPREFIX=${LOCKORA_WINE_PREFIXES:?run through scripts/wine_tests.sh}/prefix-0
loader=${LOCKORA_WINE_LOADER:?run through scripts/wine_tests.sh}
# On the prefix's drive D:, where the program sees it.
root=$(mktemp -d "$LOCKORA_WINE_PREFIXES/drive-d-0/program-XXXXXX")
first_pid=
cleanup() {
  if [[ -n $first_pid && $first_pid -gt 0 ]]; then
    kill "$first_pid" 2>/dev/null || true
    wait "$first_pid" 2>/dev/null || true
  fi
  rm -rf "$root"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$root/app"
cp "$program" "$root/app/"
echo "plain" >"$root/item.txt"
item="D:\\${root##*/}\\item.txt"
export LOCKORA_BROWSER=none
mkfifo "$root/out"
"$loader" "$root/app/lockora.exe" encrypt "$item" >"$root/out" 2>&1 &
first_pid=$!
exec 3<"$root/out"
printed=
while IFS= read -r -t 60 line <&3; do
  printed+="$line"$'\n'
  [[ $line == *start.html* ]] && break
done
[[ $printed =~ Open\ file:///([A-Za-z]):(/[^ ]*start\.html)\ in\ a\ browser ]] || fail "no address printed: $printed"
# The start file lies below the user's temporary folder on C:, the prefix's drive_c.
[[ ${BASH_REMATCH[1],,} == c ]] || fail "the start file is not on C: ($printed)"
start_file=$WINEPREFIX/drive_c${BASH_REMATCH[2]//%20/ }
[[ -f $start_file ]] || fail "no start file at $start_file"
[[ $(<"$start_file") =~ url=(http://127\.0\.0\.1:[0-9]+/[^\"]*) ]] || fail "no address in the start file"
status=$(curl -s -o /dev/null -w '%{http_code}' --max-time 30 "${BASH_REMATCH[1]}")
[[ $status == 200 ]] || fail "the start page answered $status"

# A second start with a command line hands it over and exits with 1.
set +e
timeout 60 "$loader" "$root/app/lockora.exe" encrypt "$item" >/dev/null 2>&1
second=$?
set -e
[[ $second == 1 ]] || fail "a second start exited with $second"
echo "the program under Wine: printed its start file, served its page, and a second start exited with 1"
