#!/usr/bin/env bash
# Runs the browser tests: the web engine's test host, opened in Debian's
# Chromium (headless) and driven by Playwright. Never downloads a browser.
#   LOCKORA_BUILD_DIR=<build dir> tests/e2e/run.sh     (default: build/)
set -euo pipefail
here="$(cd "$(dirname "$0")" && pwd)"
repo="$(cd "$here/../.." && pwd)"
build_dir="${LOCKORA_BUILD_DIR:-$repo/build}"

for tool in /usr/bin/chromium node npm; do
  if ! command -v "$tool" >/dev/null; then
    echo "e2e: $tool is missing (apt-get install chromium nodejs npm)" >&2
    exit 1
  fi
done

if [[ ! -f $build_dir/CMakeCache.txt ]]; then
  cmake -S "$repo" -B "$build_dir" >/dev/null
fi
cmake --build "$build_dir" --target lockora_e2e_host lockora lockora-xep -j "$(nproc)"

export PLAYWRIGHT_SKIP_BROWSER_DOWNLOAD=1
cd "$here"
# Install exactly the locked packages, again only when the lock changed.
if ! cmp -s package-lock.json node_modules/.lockora-installed-lock 2>/dev/null; then
  npm ci --no-audit --no-fund
  cp package-lock.json node_modules/.lockora-installed-lock
fi

LOCKORA_E2E_HOST="$build_dir/tests/e2e/host/lockora_e2e_host" node --test --test-concurrency=1 "$here"/*.test.mjs
