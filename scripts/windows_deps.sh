#!/usr/bin/env bash
# Cross-builds the libraries the Windows program links statically, from
# Debian's own source packages, for both mingw-w64 targets:
#   scripts/windows_deps.sh
# Everything lands in ${LOCKORA_WINDOWS_DEPS:-/var/cache/lockora/windows-deps}
# (outside the work tree, so it survives fresh checkouts):
#   src/<version>/   the unpacked Debian source
#   build/<arch>/    the out-of-tree build
#   <arch>/          the install prefix cmake/mingw-w64.cmake searches
#   log/             the build logs, printed when a step fails
# A stamp in each prefix records the source version it was built from, so a
# repeated run with nothing new returns at once.
# As root it adds the deb-src entry, dpkg-dev and the autotools when missing;
# otherwise it says what to do.
set -euo pipefail

DEPS=${LOCKORA_WINDOWS_DEPS:-/var/cache/lockora/windows-deps}
ARCHES=(x86_64 i686)
SOURCE=libsodium
SOURCES_FILE=/etc/apt/sources.list.d/debian.sources
SRC_ENTRY=/etc/apt/sources.list.d/lockora-src.sources
# apt-get source needs dpkg-source; the autotools regenerate configure.
TOOL_PACKAGES=(dpkg-dev autoconf automake libtool make)
# Generous bounds: the machine may be busy with other builds.
STEP_TIMEOUT=1200

say() { echo "windows-deps: $*"; }
fail() { echo "windows-deps: $*" >&2; exit 1; }
is_root() { [[ $(id -u) -eq 0 ]]; }

# Runs a step with its output in a log file, which is shown if it fails.
LOG=
logged() {
  if ! "$@" >>"$LOG" 2>&1; then
    echo "windows-deps: failed: $*" >&2
    echo "---- $LOG (last 60 lines) ----" >&2
    tail -n 60 "$LOG" >&2
    exit 1
  fi
}

# The stanzas of debian.sources whose Types include deb, as deb-src stanzas
# with the same URIs, Suites, Components and Signed-By.
deb_src_stanzas() {
  awk '
    function flush() {
      if (is_deb && uris != "")
        printf "Types: deb-src\nURIs: %s\nSuites: %s\nComponents: %s\n%s\n", uris, suites, comps,
          (signed != "" ? "Signed-By: " signed "\n" : "")
      is_deb = 0; uris = suites = comps = signed = ""
    }
    /^[ \t]*#/ { next }
    /^[ \t]*$/ { flush(); next }
    {
      key = tolower($1); sub(/^[^:]*:[ \t]*/, "")
      if (key == "types:") is_deb = (" " $0 " " ~ /[ \t]deb[ \t]/)
      else if (key == "uris:") uris = $0
      else if (key == "suites:") suites = $0
      else if (key == "components:") comps = $0
      else if (key == "signed-by:") signed = $0
    }
    END { flush() }
  ' "$SOURCES_FILE"
}

# The main archive's URI, as the deb entries name it.
main_archive_uri() {
  awk 'tolower($1) == "uris:" { for (i = 2; i <= NF; i++) if ($i ~ /\/debian\/?$/) { print $i; exit } }' "$SOURCES_FILE"
}

# True when some configured deb-src entry already covers the main archive.
has_deb_src() {
  local uri=${1%/} file
  for file in /etc/apt/sources.list /etc/apt/sources.list.d/*.list; do
    [[ -f $file ]] || continue
    grep -Eq "^[[:space:]]*deb-src[[:space:]].*${uri}/?[[:space:]]" "$file" && return 0
  done
  for file in /etc/apt/sources.list.d/*.sources; do
    [[ -f $file ]] || continue
    awk -v uri="$uri" '
      function flush() { if (src && has_uri && enabled) found = 1; src = has_uri = 0; enabled = 1 }
      BEGIN { enabled = 1 }
      /^[ \t]*#/ { next }
      /^[ \t]*$/ { flush(); next }
      tolower($1) == "types:" { for (i = 2; i <= NF; i++) if ($i == "deb-src") src = 1 }
      tolower($1) == "uris:" { for (i = 2; i <= NF; i++) { u = $i; sub(/\/$/, "", u); if (u == uri) has_uri = 1 } }
      tolower($1) == "enabled:" && tolower($2) == "no" { enabled = 0 }
      END { flush(); exit !found }
    ' "$file" && return 0
  done
  return 1
}

ensure_deb_src() {
  local uri
  [[ -f $SOURCES_FILE ]] || fail "$SOURCES_FILE is missing; add a deb-src entry for the Debian archive by hand"
  uri=$(main_archive_uri)
  [[ -n $uri ]] || fail "no Debian archive entry in $SOURCES_FILE"
  has_deb_src "$uri" && return 0
  if ! is_root; then
    {
      echo "windows-deps: apt has no deb-src entry for $uri; as root, run this script again,"
      echo "or create $SRC_ENTRY with:"
      deb_src_stanzas
      echo "and run apt-get update."
    } >&2
    exit 1
  fi
  say "adding $SRC_ENTRY"
  {
    echo "# Debian's source packages, for cross-building the Windows libraries"
    echo "# (scripts/windows_deps.sh). Same archives as debian.sources."
    echo
    deb_src_stanzas
  } >"$SRC_ENTRY"
  logged timeout "$STEP_TIMEOUT" apt-get update -qq
}

# Installs the Debian packages named that are missing, as root.
need_packages() {
  local package missing=()
  for package in "$@"; do
    dpkg-query -W -f='${Status}' "$package" 2>/dev/null | grep -q 'install ok installed' || missing+=("$package")
  done
  ((${#missing[@]})) || return 0
  is_root || fail "as root, run: apt-get install ${missing[*]}"
  say "installing ${missing[*]}"
  DEBIAN_FRONTEND=noninteractive logged timeout "$STEP_TIMEOUT" \
    apt-get install -y -qq --no-install-recommends "${missing[@]}"
}

# The versions of the source package apt knows about, one a line.
source_versions() {
  apt-cache showsrc --only-source "$SOURCE" 2>/dev/null | awk '/^Version:/ { print $2 }'
}

highest_version() {
  local best= v
  for v in "$@"; do
    if [[ -z $best ]] || dpkg --compare-versions "$v" gt "$best"; then best=$v; fi
  done
  echo "$best"
}

# Unpacks Debian's source (with Debian's patches applied, as dpkg-source does)
# into src/<version>, unless it is there already.
fetch_source() {
  local version=$1 dir=$DEPS/src/$version tmp
  if [[ -f $dir/.unpacked ]]; then
    SRC_DIR=$(find "$dir" -mindepth 1 -maxdepth 1 -type d -name "$SOURCE-*" | head -n 1)
    [[ -n $SRC_DIR && -x $SRC_DIR/configure ]] && return 0
  fi
  need_packages "${TOOL_PACKAGES[@]}"
  rm -rf "$dir"
  tmp=$(mktemp -d "$DEPS/src/.fetch.XXXXXX")
  chmod 755 "$tmp"
  # The download itself needs no privileges; apt notes it runs unsandboxed
  # when root, which is harmless here.
  if ! (cd "$tmp" && timeout "$STEP_TIMEOUT" apt-get source -qq "$SOURCE=$version") >>"$LOG" 2>&1; then
    rm -rf "$tmp"
    echo "windows-deps: apt-get source $SOURCE=$version failed" >&2
    tail -n 30 "$LOG" >&2
    exit 1
  fi
  SRC_DIR=$(find "$tmp" -mindepth 1 -maxdepth 1 -type d -name "$SOURCE-*" | head -n 1)
  [[ -n $SRC_DIR ]] || fail "apt-get source unpacked no $SOURCE-* folder"
  # Debian's orig tarball is a git snapshot without a configure script;
  # Debian's own build runs autoreconf first (dh --with autoreconf), and so
  # do we.
  logged timeout "$STEP_TIMEOUT" sh -c 'cd "$1" && autoreconf -fi' autoreconf "$SRC_DIR"
  touch "$tmp/.unpacked"
  mv "$tmp" "$dir"
  SRC_DIR=$dir/${SRC_DIR##*/}
  [[ -x $SRC_DIR/configure ]] || fail "autoreconf made no configure script for $SOURCE $version"
}

build_arch() {
  local arch=$1 version=$2 host=$1-w64-mingw32 prefix=$DEPS/$1 build=$DEPS/build/$1
  command -v "$host-gcc-posix" >/dev/null || fail "$host-gcc-posix is missing: run scripts/setup.sh windows"
  rm -rf "$build"
  mkdir -p "$build" "$prefix"
  rm -f "$prefix/$SOURCE.stamp"
  (
    cd "$build"
    # Static only: the executables carry libsodium inside, with no DLL beside.
    logged timeout "$STEP_TIMEOUT" env CC="$host-gcc-posix" \
      "$SRC_DIR/configure" --host="$host" --prefix="$prefix" \
      --disable-shared --enable-static --disable-dependency-tracking
    logged timeout "$STEP_TIMEOUT" nice -n 10 make -j1
    logged timeout "$STEP_TIMEOUT" make install
  )
  echo "$version" >"$prefix/$SOURCE.stamp"
}

main() {
  command -v apt-cache >/dev/null || fail "this script needs Debian's apt"
  if ! mkdir -p "$DEPS/src" "$DEPS/build" "$DEPS/log" 2>/dev/null || [[ ! -w $DEPS ]]; then
    fail "cannot write $DEPS: run as root, or set LOCKORA_WINDOWS_DEPS to a writable folder"
  fi
  # One run at a time: two runs must not build into the same prefix.
  exec 9>"$DEPS/.lock"
  flock 9

  LOG=$DEPS/log/apt.log
  : >"$LOG"
  ensure_deb_src

  local versions version host_version
  mapfile -t versions < <(source_versions)
  if ((${#versions[@]} == 0)); then
    is_root || fail "apt knows no $SOURCE source yet: as root, run apt-get update"
    logged timeout "$STEP_TIMEOUT" apt-get update -qq
    mapfile -t versions < <(source_versions)
    ((${#versions[@]})) || fail "apt finds no $SOURCE source package"
  fi

  # Prefer the version of the host's libsodium-dev, so the Linux and Windows
  # programs use the same library; otherwise take the newest source.
  host_version=$(dpkg-query -W -f='${source:Version}' libsodium-dev 2>/dev/null || true)
  version=
  if [[ -n $host_version ]]; then
    for v in "${versions[@]}"; do [[ $v == "$host_version" ]] && version=$v; done
  fi
  if [[ -z $version ]]; then
    version=$(highest_version "${versions[@]}")
    if [[ -n $host_version ]]; then
      say "note: libsodium-dev is $host_version but the archive has source $version only"
    fi
  fi

  local arch built=()
  SRC_DIR=
  for arch in "${ARCHES[@]}"; do
    if [[ $(cat "$DEPS/$arch/$SOURCE.stamp" 2>/dev/null) == "$version" ]]; then
      built+=("$arch")
      continue
    fi
    LOG=$DEPS/log/apt.log
    [[ -n $SRC_DIR ]] || fetch_source "$version"
    LOG=$DEPS/log/$SOURCE-$arch.log
    : >"$LOG"
    say "building $SOURCE $version for $arch (log: $LOG)"
    build_arch "$arch" "$version"
    built+=("$arch")
  done

  for arch in "${built[@]}"; do
    say "$SOURCE $version for $arch in $DEPS/$arch"
  done
}

main "$@"
