#!/usr/bin/env bash
# Installs what the project needs, when it is missing:
#   scripts/setup.sh run     building and running the program
#   scripts/setup.sh test    that, and the test tools (the default)
#   scripts/setup.sh windows the mingw-w64 cross compilers for the Windows build, and Wine
#   scripts/setup.sh fuzz    that for running, and clang with libFuzzer
#   scripts/setup.sh compare that for running, Google Benchmark and the tools bench/compare.sh times
# As root it installs Debian packages with apt; otherwise it names them.
set -euo pipefail

PACKAGES=(
  cmake g++ make pkg-config
  libboost-dev nlohmann-json3-dev libsodium-dev libglib2.0-dev shared-mime-info desktop-file-utils xdg-utils adwaita-icon-theme
  chromium fonts-noto-cjk
)
WINDOWS_DEPS=0
case "${1:-test}" in
  run) ;;
  test) PACKAGES+=(libgtest-dev libgmock-dev libbenchmark-dev libxml2-utils nodejs npm) ;;
  windows)
    # dpkg-dev and the autotools let scripts/windows_deps.sh build libsodium
    # from Debian's source; pkg-config finds it for CMake. Boost's and
    # nlohmann-json's headers serve the cross build as they are. GoogleTest's
    # sources are built by the cross compiler with the tests, which
    # scripts/wine_tests.sh runs under Wine (curl fetches the program's page).
    PACKAGES=(cmake make pkg-config g++-mingw-w64-x86-64 g++-mingw-w64-i686 libboost-dev nlohmann-json3-dev googletest
              dpkg-dev autoconf automake libtool wine wine64 curl)
    WINDOWS_DEPS=1
    ;;
  fuzz) PACKAGES+=(clang libclang-rt-14-dev) ;;
  compare) PACKAGES+=(libbenchmark-dev gnupg age openssl p7zip-full) ;;
  *) echo "setup: say run, test, windows, fuzz or compare" >&2; exit 2 ;;
esac

missing=()
for package in "${PACKAGES[@]}"; do
  # nodejs may come from another Debian-format source that already ships npm.
  if [[ $package == npm ]] && command -v npm >/dev/null; then continue; fi
  if [[ $package == nodejs ]] && command -v node >/dev/null; then continue; fi
  if ! dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed'; then
    missing+=("$package")
  fi
done

if ((${#missing[@]})); then
  if [[ $(id -u) -eq 0 ]]; then
    echo "setup: installing ${missing[*]}"
    export DEBIAN_FRONTEND=noninteractive
    apt-get update -qq
    apt-get install -y -qq --no-install-recommends "${missing[@]}" >/dev/null
  else
    echo "setup: please install these Debian packages first: ${missing[*]}" >&2
    exit 1
  fi
fi

if ((WINDOWS_DEPS)); then
  "$(dirname "$0")/windows_deps.sh"
fi
