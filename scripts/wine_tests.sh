#!/usr/bin/env bash
# Runs the native suite of the x86-64 Windows build under Wine: every test
# case through CTest, two at a time, each in one of two private Wine prefixes
# made here (headless) and removed at the end with their wine servers; then,
# in the first prefix, the program started under Wine and, given a Linux
# build, containers compared across the two builds.
#   scripts/wine_tests.sh build-win-x86_64 [build]
set -euo pipefail
build_dir=${1:?say the Windows build folder}
linux_build=${2:-}
repo=$(cd "$(dirname "$0")/.." && pwd)
export LOCKORA_WINE_LOADER=/usr/lib/wine/wine64
if [[ ! -x $LOCKORA_WINE_LOADER ]]; then
  echo "wine: $LOCKORA_WINE_LOADER is missing (apt-get install wine wine64)" >&2
  exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/lockora-wine.XXXXXX")
export LOCKORA_WINE_PREFIXES=$work
stop_prefixes() {
  local prefix
  for prefix in "$work"/prefix-*; do
    if [[ -d $prefix ]]; then WINEPREFIX=$prefix timeout 60 wineserver -k || true; fi
  done
  rm -rf "$work"
}
trap stop_prefixes EXIT

# No debug output, no offer to install Mono or Gecko, and the tests may change
# the prefix's drives and registry (they refuse to run anywhere else). A
# Windows process takes its time zone from the system, which Wine takes from
# the host's TZ: the tests' fixed zone, UTC+1 all year.
export WINEDEBUG=-all WINEDLLOVERRIDES="mscoree=;mshtml=" LOCKORA_TEST_WINDOWS=private TZ=CET-1
unset DISPLAY WAYLAND_DISPLAY
for number in 0 1; do
  prefix=$work/prefix-$number
  mkdir "$prefix"
  # One server per prefix for the whole run, instead of one per test.
  WINEPREFIX=$prefix wineserver -p
  WINEPREFIX=$prefix timeout 300 "$LOCKORA_WINE_LOADER" wineboot --init >/dev/null 2>&1
  # Without a display, windows are made by Wine's null graphics driver
  # (otherwise each process waits 20 s for a desktop that never comes).
  WINEPREFIX=$prefix timeout 60 "$LOCKORA_WINE_LOADER" reg add 'HKCU\Software\Wine\Drivers' \
    /v Graphics /d null /f >/dev/null 2>&1
  # A drive D: of the tests' own, beside C: and Z: (the host's /). Wine's
  # mount manager lists the drives it found when it started: a new server
  # starts it again.
  mkdir "$work/drive-d-$number"
  ln -s "$work/drive-d-$number" "$prefix/dosdevices/d:"
  WINEPREFIX=$prefix timeout 60 wineserver -k
  WINEPREFIX=$prefix timeout 60 wineserver -w
  WINEPREFIX=$prefix wineserver -p
  # The desktop process starts with the first window and inherits the output
  # of the process that made it, which CTest then waits for as long as other
  # tests keep the desktop alive: an explorer window holds it open for the
  # whole run (wineserver -k ends it), started beside the services' start so
  # that it is up before the first test.
  WINEPREFIX=$prefix "$LOCKORA_WINE_LOADER" explorer.exe </dev/null >/dev/null 2>&1 &
  # Its services start here, so that none holds a test's output open.
  WINEPREFIX=$prefix timeout 300 "$LOCKORA_WINE_LOADER" wineboot >/dev/null 2>&1
done

status=0
timeout 1800 ctest --test-dir "$build_dir" -j 2 --timeout 300 --output-on-failure || status=1
timeout 300 bash "$repo/tests/scripts/wine_program_test.sh" "$build_dir" || status=1
if [[ -n $linux_build ]]; then
  timeout 300 bash "$repo/tests/scripts/wine_cross_test.sh" "$linux_build" "$build_dir" || status=1
fi
exit "$status"
