#!/usr/bin/env bash
# Checks that only the platform layer talks to the operating system: no
# source outside platform/ (and the tests' own sandbox and process helpers)
# includes a POSIX or Windows header.
set -euo pipefail
cd "$(dirname "$0")/.."

headers='unistd|fcntl|spawn|signal|poll|dirent|pwd|grp|termios|pty|dlfcn|pthread|windows|winsock2|ws2tcpip|shellapi|shlobj|bcrypt|sys/[a-z_]+|netinet/[a-z_]+|arpa/[a-z_]+'
folders=(app bridge browse cli crypto engine folders log settings shell shred system)
if found=$(grep -rnE "^\s*#\s*include\s*<($headers)\.h>|^\s*#\s*include\s*<csignal>" "${folders[@]}" --include='*.cpp' --include='*.h'); then
  echo "check-layering: system headers outside platform/:" >&2
  echo "$found" >&2
  exit 1
fi
echo "check-layering: only platform/ includes system headers"
