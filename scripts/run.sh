#!/usr/bin/env bash
# Builds the program (and lockora-xep, the command-line tool, beside it) and
# starts the program; arguments pass through to it, e.g.
#   scripts/run.sh encrypt /home/me/Documents/report.txt
# Without a display (no DISPLAY or WAYLAND_DISPLAY) no browser window can
# open, so the program prints the address to open instead.
#   LOCKORA_BUILD_DIR=<build dir> scripts/run.sh     (default: build/)
# With --install or --uninstall it installs the program for the user, or
# removes it, through scripts/install.sh (see there).
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"
if [[ ${1:-} == --install || ${1:-} == --uninstall ]]; then
  exec bash "$repo/scripts/install.sh" "$@"
fi
build_dir="${LOCKORA_BUILD_DIR:-$repo/build}"

bash "$repo/scripts/setup.sh" run
# A new build folder leaves the tests and benchmarks out, whose tools running
# does not need; scripts/test.sh turns them on.
if [[ ! -f $build_dir/CMakeCache.txt ]]; then
  cmake -S "$repo" -B "$build_dir" -DLOCKORA_BUILD_TESTS=OFF -DLOCKORA_BUILD_BENCH=OFF >/dev/null
fi
cmake --build "$build_dir" --target lockora lockora-xep -j "$(nproc)"

if [[ -z ${DISPLAY:-} && -z ${WAYLAND_DISPLAY:-} && -z ${LOCKORA_BROWSER:-} ]]; then
  export LOCKORA_BROWSER=none
fi
exec "$build_dir/app/lockora" "$@"
