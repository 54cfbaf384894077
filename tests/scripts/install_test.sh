#!/usr/bin/env bash
# scripts/install.sh into a private prefix, data and configuration folder:
# the installed program starts with a verb and a path and prints its
# address; uninstalling removes the program and the desktop entries and
# keeps the settings; --purge removes them too.
#   install_test.sh <repository> <build dir>
set -euo pipefail
repo=$1
build=$2
root=$(mktemp -d "${TMPDIR:-/tmp}/lockora-install-XXXXXX")
program_pid=
cleanup() {
  if [[ -n $program_pid && $program_pid -gt 0 ]]; then
    kill "$program_pid" 2>/dev/null || true
    wait "$program_pid" 2>/dev/null || true
  fi
  rm -rf "$root"
}
trap cleanup EXIT
fail() { echo "FAIL: $*" >&2; exit 1; }

export HOME=$root/home XDG_DATA_HOME=$root/data XDG_CONFIG_HOME=$root/config XDG_RUNTIME_DIR=$root/run
export LOCKORA_REGISTRY=$root/registry LOCKORA_BROWSER=none
mkdir -p "$HOME" "$XDG_RUNTIME_DIR" "$LOCKORA_REGISTRY"
chmod 0700 "$XDG_RUNTIME_DIR"
prefix=$root/prefix
program_dir=$prefix/lib/ombrix-lockora-sentinex
install_script=("$repo/scripts/install.sh" --prefix "$prefix")

LOCKORA_BUILD_DIR=$build timeout 120 bash "${install_script[@]}" >/dev/null
[[ -x $program_dir/lockora && -x $program_dir/lockora-xep ]] || fail "executables not installed"
[[ $(readlink "$prefix/bin/lockora") == "$program_dir/lockora" ]] || fail "no link in bin"
launcher=$XDG_DATA_HOME/applications/ombrix-lockora-sentinex.desktop
grep -qF "Exec=\"$program_dir/lockora\" open %f" "$launcher" || fail "the launcher does not start the installed program"

# The installed program, started as a file manager starts it, prints where
# its page is (the start file, as its output is no terminal).
echo "plain" >"$root/item.txt"
mkfifo "$root/out"
"$prefix/bin/lockora" encrypt "$root/item.txt" >"$root/out" 2>&1 &
program_pid=$!
exec 3<"$root/out"
printed=
while IFS= read -r -t 30 line <&3; do
  printed+="$line"$'\n'
  [[ $line == *start.html* ]] && break
done
[[ $printed =~ Open\ file://.*start\.html\ in\ a\ browser ]] || fail "no address printed: $printed"
kill "$program_pid"
wait "$program_pid" || true
program_pid=
exec 3<&-

# Settings, a log and the usage history of the program folder.
echo "[SETTING]" >"$program_dir/config.ini"
mkdir -p "$program_dir/Log" "$program_dir/Ombrix Lockora Sentinex"
echo "history" >"$program_dir/Ombrix Lockora Sentinex/usage history.log"

timeout 60 bash "${install_script[@]}" --uninstall >/dev/null
[[ ! -e $program_dir/lockora && ! -e $program_dir/lockora-xep && ! -L $prefix/bin/lockora ]] || fail "program left"
[[ ! -e $launcher ]] || fail "the launcher is left"
[[ -z $(find "$XDG_DATA_HOME" -type f 2>/dev/null) ]] || fail "desktop entries left: $(find "$XDG_DATA_HOME" -type f)"
[[ -f $program_dir/config.ini && -f "$program_dir/Ombrix Lockora Sentinex/usage history.log" ]] || fail "settings not kept"

LOCKORA_BUILD_DIR=$build timeout 120 bash "${install_script[@]}" >/dev/null
timeout 60 bash "${install_script[@]}" --uninstall --purge >/dev/null
[[ ! -e $program_dir ]] || fail "--purge kept $program_dir"
[[ -z $(find "$XDG_DATA_HOME" "$XDG_CONFIG_HOME" -type f 2>/dev/null) ]] || fail "entries left after --purge"
echo "install, start, uninstall and purge: ok"
