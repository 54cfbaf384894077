#!/usr/bin/env bash
# The Linux build and the Windows build under Wine write byte-identical
# containers of the same file and folder with the same password, and each
# decrypts the other's. Run by scripts/wine_tests.sh once its tests are done,
# in its first prefix.
#   wine_cross_test.sh <Linux build dir> <Windows build dir>
set -euo pipefail
linux_tool=$1/app/lockora-xep
windows_tool=$2/app/lockora-xep.exe
prefixes=${LOCKORA_WINE_PREFIXES:?run through scripts/wine_tests.sh}
loader=${LOCKORA_WINE_LOADER:?run through scripts/wine_tests.sh}
# On the first prefix's drive D:, where the Windows tool sees it.
root=$(mktemp -d "$prefixes/drive-d-0/cross-XXXXXX")
trap 'rm -rf "$root"' EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }
export LOCKORA_PASSWORD='cross#Build 1'

# Each tool in a folder of its own, so its settings and log stay there.
mkdir -p "$root/linux-app" "$root/windows-app" "$root/items/tree/sub/empty"
cp "$linux_tool" "$root/linux-app/"
cp "$windows_tool" "$root/windows-app/"
head -c 300000 /dev/urandom >"$root/items/a.bin"
head -c 5000 /dev/urandom >"$root/items/tree/one.bin"
printf 'two\r\n' >"$root/items/tree/sub/two.txt"
: >"$root/items/tree/sub/zero"
touch -d '2024-02-29 12:34:56.789' "$root/items"/a.bin "$root/items"/tree/one.bin "$root/items"/tree/sub/*

# Both start from their defaults: the Linux tool with a registry folder and
# home of its own, the Windows one without the settings the tests may have
# left in the prefix's registry.
mkdir -p "$root/linux-home"
linux() {
  (cd "$1" && HOME=$root/linux-home XDG_DATA_HOME=$root/linux-home/data XDG_CONFIG_HOME=$root/linux-home/config \
    LOCKORA_REGISTRY=$root/linux-registry timeout 120 "$root/linux-app/lockora-xep" "${@:2}" >/dev/null)
}
WINEPREFIX=$prefixes/prefix-0 timeout 60 "$loader" reg delete 'HKLM\SOFTWARE\Ombrix' /f >/dev/null 2>&1 || true
windows() {
  (cd "$1" && WINEPREFIX=$prefixes/prefix-0 timeout 120 "$loader" "$root/windows-app/lockora-xep.exe" "${@:2}" >/dev/null)
}

for side in linux windows; do
  cp -a "$root/items" "$root/$side"
  "$side" "$root/$side" encrypt --keep a.bin tree || fail "$side could not encrypt"
done
for container in a.bin.xep tree.xep; do
  cmp "$root/linux/$container" "$root/windows/$container" || fail "$container differs between the builds"
done

# Each build restores the other's containers.
for pair in "linux windows" "windows linux"; do
  read -r writer reader <<<"$pair"
  mkdir -p "$root/$reader-reads"
  cp "$root/$writer"/*.xep "$root/$reader-reads/"
  "$reader" "$root/$reader-reads" decrypt --keep a.bin.xep tree.xep || fail "$reader could not decrypt $writer's"
  cmp "$root/items/a.bin" "$root/$reader-reads/a.bin" || fail "$reader restored $writer's file wrongly"
  diff -r "$root/items/tree" "$root/$reader-reads/tree" >/dev/null || fail "$reader restored $writer's folder wrongly"
done
echo "cross-build containers: identical, and each build decrypts the other's"
