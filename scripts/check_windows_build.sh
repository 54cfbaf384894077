#!/usr/bin/env bash
# Checks what the Windows build made, without running it:
#   scripts/check_windows_build.sh <build folder> <arch>
# Each executable imports only DLLs that every Windows has (no runtime of
# the cross compiler, no library of ours), the program is a GUI program and
# the tool a console one, and both carry their version strings and manifest.
set -euo pipefail
build=$1
arch=$2
objdump=$arch-w64-mingw32-objdump

# Windows' own DLLs, in upper case.
SYSTEM_DLLS=" ADVAPI32.DLL BCRYPT.DLL KERNEL32.DLL MSVCRT.DLL MSWSOCK.DLL NTDLL.DLL OLE32.DLL POWRPROF.DLL "
SYSTEM_DLLS+="SHELL32.DLL USER32.DLL VERSION.DLL WS2_32.DLL "

failed=0
fail() { echo "check-windows: $*" >&2; failed=1; }

check() {
  local exe=$1 subsystem=$2 level=$3
  [[ -f $exe ]] || { fail "$exe is missing"; return; }
  local headers
  headers=$("$objdump" -p "$exe")
  while read -r dll; do
    [[ $SYSTEM_DLLS == *" ${dll^^} "* ]] || fail "$exe imports $dll"
  done < <(sed -n 's/^\s*DLL Name: //p' <<<"$headers")
  grep -q "Subsystem.*($subsystem)" <<<"$headers" || fail "$exe is not a $subsystem program"
  # Version strings are UTF-16 in the resource section; the manifest is text.
  local wide narrow
  wide=$(strings -el "$exe")
  narrow=$(strings "$exe")
  for key in FileVersion ProductVersion; do
    grep -qx "$key" <<<"$wide" || fail "$exe has no $key"
  done
  grep -q "requestedExecutionLevel level=\"$level\"" <<<"$narrow" || fail "$exe has no $level manifest"
}

check "$build/app/lockora.exe" "Windows GUI" requireAdministrator
check "$build/app/lockora-xep.exe" "Windows CUI" asInvoker
if ((failed)); then
  exit 1
fi
echo "check-windows: $arch executables import only system DLLs and carry their version and manifest"
