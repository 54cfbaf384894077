#!/usr/bin/env bash
# Sets up, builds and runs every test.
#   scripts/test.sh                 normal build in build/
#   LOCKORA_SANITIZE=address scripts/test.sh   AddressSanitizer + UBSan in build-asan/
#   LOCKORA_SANITIZE=thread scripts/test.sh    ThreadSanitizer in build-tsan/
#   LOCKORA_TARGET=windows scripts/test.sh     the Windows build with its tests, x86-64 and i686,
#                                               in build-win-*/, and the x86-64 tests under Wine
set -euo pipefail
cd "$(dirname "$0")/.."

# Every build has its tests, and in CI warnings fail it.
common_options=(-DLOCKORA_BUILD_TESTS=ON)
if [[ -n ${CI:-} ]]; then common_options+=(-DLOCKORA_WERROR=ON); fi
# The normal build's options; the Windows run builds its command-line tool
# there too, to compare containers across the builds.
linux_options=("${common_options[@]}" -DLOCKORA_BUILD_BENCH=ON)

if [[ ${LOCKORA_TARGET:-} == windows ]]; then
  bash scripts/setup.sh windows
  bash scripts/setup.sh test
  scripts/check_layering.sh
  for arch in x86_64 i686; do
    options=(-DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake -DLOCKORA_WINDOWS_ARCH="$arch"
             "${common_options[@]}" -DLOCKORA_BUILD_BENCH=OFF)
    cmake -S . -B "build-win-$arch" "${options[@]}" >/dev/null
    timeout 1800 cmake --build "build-win-$arch" -j "$(nproc)"
    scripts/check_windows_build.sh "build-win-$arch" "$arch"
  done
  cmake -S . -B build "${linux_options[@]}" >/dev/null
  cmake --build build -j "$(nproc)" --target lockora-xep
  bash scripts/wine_tests.sh build-win-x86_64 build
  exit 0
fi

bash scripts/setup.sh test

build_dir=build
options=("${linux_options[@]}")
case "${LOCKORA_SANITIZE:-}" in
  "") ;;
  address) build_dir=build-asan; options=("${common_options[@]}" -DLOCKORA_SANITIZE_ADDRESS=ON -DLOCKORA_BUILD_BENCH=OFF) ;;
  thread) build_dir=build-tsan; options=("${common_options[@]}" -DLOCKORA_SANITIZE_THREAD=ON -DLOCKORA_BUILD_BENCH=OFF) ;;
  *) echo "test: LOCKORA_SANITIZE must be address or thread" >&2; exit 2 ;;
esac

cmake -S . -B "$build_dir" "${options[@]}" >/dev/null
cmake --build "$build_dir" -j "$(nproc)"
ctest --test-dir "$build_dir" -j "$(nproc)" --output-on-failure

# Browser tests drive the real programs in headless Chromium; the sanitizer
# builds leave them out (they test the pages, not memory safety).
if [[ -z ${LOCKORA_SANITIZE:-} && -x tests/e2e/run.sh ]]; then
  LOCKORA_BUILD_DIR="$PWD/$build_dir" tests/e2e/run.sh
fi
