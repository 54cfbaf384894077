#!/usr/bin/env bash
# Installs the program for the user who runs it, or removes it again:
#   scripts/install.sh [--prefix DIR]                    install (DIR: ~/.local)
#   scripts/install.sh --uninstall [--purge] [--prefix DIR]
# The program and lockora-xep go into DIR/lib/ombrix-lockora-sentinex/, their
# program folder: config.ini, the Log folder and the data folder live there,
# as beside the Windows executable. DIR/bin gets a link to each, and
# `lockora-xep desktop-add` installs the launcher, the .xep file type and the
# file managers' verbs in the user's XDG folders.
# --uninstall removes the desktop entries, the links and the executables and
# keeps the settings, logs and usage history in the program folder; --purge
# removes the program folder with them.
#   LOCKORA_BUILD_DIR=<dir>  install the executables of that build instead of
#                            building in Release into build-release/
set -euo pipefail
repo="$(cd "$(dirname "$0")/.." && pwd)"

prefix="${HOME:?}/.local"
action=install
purge=0
while (($#)); do
  case $1 in
    --prefix) prefix=${2:?--prefix needs a folder}; shift ;;
    --prefix=*) prefix=${1#--prefix=} ;;
    --install) action=install ;;
    --uninstall) action=uninstall ;;
    --purge) purge=1 ;;
    *) echo "install: unknown argument '$1'" >&2; exit 2 ;;
  esac
  shift
done
if ((purge)) && [[ $action != uninstall ]]; then
  echo "install: --purge goes with --uninstall" >&2
  exit 2
fi
mkdir -p "$prefix"
prefix="$(cd "$prefix" && pwd)"
program_dir="$prefix/lib/ombrix-lockora-sentinex"
bin_dir="$prefix/bin"
executables=(lockora lockora-xep)

if [[ $action == uninstall ]]; then
  if [[ -x $program_dir/lockora-xep ]]; then
    "$program_dir/lockora-xep" desktop-remove
  fi
  for name in "${executables[@]}"; do
    # Only links to this program folder are ours.
    if [[ -L $bin_dir/$name && $(readlink "$bin_dir/$name") == "$program_dir/$name" ]]; then
      rm -f "$bin_dir/$name"
    fi
    rm -f "$program_dir/$name"
  done
  if ((purge)); then
    rm -rf "$program_dir"
    echo "install: removed $program_dir with its settings and logs"
  else
    rmdir "$program_dir" 2>/dev/null || true
    echo "install: removed the program; settings, logs and usage history stay in $program_dir"
  fi
  exit 0
fi

build_dir="${LOCKORA_BUILD_DIR:-}"
if [[ -z $build_dir ]]; then
  build_dir="$repo/build-release"
  bash "$repo/scripts/setup.sh" run
  if [[ ! -f $build_dir/CMakeCache.txt ]]; then
    cmake -S "$repo" -B "$build_dir" -DLOCKORA_BUILD_BENCH=OFF >/dev/null
  fi
  cmake -S "$repo" -B "$build_dir" -DCMAKE_BUILD_TYPE=Release -DLOCKORA_BUILD_TESTS=OFF >/dev/null
  cmake --build "$build_dir" --target "${executables[@]}" -j "$(nproc)"
fi

mkdir -p "$program_dir" "$bin_dir"
for name in "${executables[@]}"; do
  # A new file in place of the old, so a running copy keeps its own.
  install -m 0755 "$build_dir/app/$name" "$program_dir/$name.new"
  mv -f "$program_dir/$name.new" "$program_dir/$name"
  ln -sfn "$program_dir/$name" "$bin_dir/$name"
done
"$program_dir/lockora-xep" desktop-add
echo "install: the program is in $program_dir, started by $bin_dir/lockora; the menus know it"
