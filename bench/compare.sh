#!/usr/bin/env bash
# Times lockora-xep against the tools a user would pick instead, each as a
# whole process, in one run, on data it makes itself:
#   bench/compare.sh
# It builds the tool in Release (build-release/), makes 1 GiB of random data
# and a tree of 20,000 files of 4 KiB in a temporary folder (removed at the
# end), and prints a table of the median of several warm runs.
# Run as root, it installs the peers from Debian packages when missing
# (gnupg, age, openssl, p7zip-full). It is run by hand, never by the tests.
#   LOCKORA_COMPARE_MIB   size of the single file (1024)
#   LOCKORA_COMPARE_RUNS  timed runs per command (5)
#   LOCKORA_COMPARE_FILES files in the tree (20000)
set -euo pipefail
cd "$(dirname "$0")/.."

MIB=${LOCKORA_COMPARE_MIB:-1024}
RUNS=${LOCKORA_COMPARE_RUNS:-5}
FILES=${LOCKORA_COMPARE_FILES:-20000}

bash scripts/setup.sh compare

cmake -S . -B build-release -DCMAKE_BUILD_TYPE=Release -DLOCKORA_BUILD_TESTS=OFF -DLOCKORA_BUILD_BENCH=ON >/dev/null
if ! timeout 3600 cmake --build build-release -j "$(nproc)" --target lockora-xep listing_bench crypt_bench \
  >"${TMPDIR:-/tmp}/lockora-compare-build.log" 2>&1; then
  cat "${TMPDIR:-/tmp}/lockora-compare-build.log" >&2
  exit 1
fi

work=$(mktemp -d "${TMPDIR:-/tmp}/lockora-compare-XXXXXX")
trap 'gpgconf --kill gpg-agent 2>/dev/null; rm -rf "$work"' EXIT
# The tool in a program folder of its own, so its settings, log and
# registry stay in the temporary folder.
mkdir -p "$work/app" "$work/registry" "$work/out"
cp build-release/app/lockora-xep "$work/app/"
export LOCKORA_REGISTRY=$work/registry
# gpg keeps its state here, not in the home folder.
export GNUPGHOME=$work/gnupg
mkdir -m 0700 "$GNUPGHOME"
xep=$work/app/lockora-xep
pass=$work/password
printf 'benchmark-passphrase\n' >"$pass"
age-keygen -o "$work/age.key" 2>/dev/null
recipient=$(age-keygen -y "$work/age.key")

echo "compare: making $MIB MiB of random data and a tree of $FILES files of 4 KiB"
head -c $((MIB << 20)) /dev/urandom >"$work/data.bin"
mkdir -p "$work/tree"
for ((folder = 0; folder < FILES / 100; ++folder)); do
  mkdir -p "$work/tree/d$folder"
  for ((file = 0; file < 100; ++file)); do
    head -c 4096 /dev/urandom >"$work/tree/d$folder/f$file"
  done
done

# The median seconds of RUNS timed runs of a command after one untimed run
# (warm cache); `prepare` and a sync run before each, untimed.
median() {
  local prepare=$1
  shift
  local times=()
  eval "$prepare"
  if ! "$@" >/dev/null 2>&1; then
    echo "compare: failed: $*" >&2
    echo -
    return
  fi
  for ((run = 0; run < RUNS; ++run)); do
    eval "$prepare"
    # No run pays for the dirty pages of the one before.
    sync
    local start end
    start=$(date +%s.%N)
    "$@" >/dev/null 2>&1
    end=$(date +%s.%N)
    times+=("$(awk -v a="$start" -v b="$end" 'BEGIN { print b - a }')")
  done
  printf '%s\n' "${times[@]}" | sort -g | awk '{ t[NR] = $1 } END { print (NR % 2) ? t[(NR + 1) / 2] : (t[NR / 2] + t[NR / 2 + 1]) / 2 }'
}

bytes=$((MIB << 20))
rows=()
# Rows are name, encrypt seconds and decrypt seconds, separated by tabs.
row() { rows+=("$1"$'\t'"$2"$'\t'"$3"); }

run() { bash -c "$1"; }
clean='rm -rf "$work/out" && mkdir -p "$work/out"'

# Containers to decrypt, made once.
"$xep" encrypt --keep --password-file "$pass" "$work/data.bin" >/dev/null
mv "$work/data.bin.xep" "$work/legacy.xep"
"$xep" encrypt --keep --strong --password-file "$pass" "$work/data.bin" >/dev/null
mv "$work/data.bin.xep" "$work/strong.xep"
gpg --batch --yes --pinentry-mode loopback --passphrase-file "$pass" --symmetric --cipher-algo AES256 -z 0 \
  -o "$work/data.gpg" "$work/data.bin"
age -r "$recipient" -o "$work/data.age" "$work/data.bin"
openssl enc -aes-256-ctr -pbkdf2 -pass "file:$pass" -in "$work/data.bin" -out "$work/data.enc"
(cd "$work" && 7z a -bd -mx=0 -p"$(head -n1 "$pass")" data.7z data.bin >/dev/null)

export work xep pass recipient
echo "compare: timing $RUNS runs of each"
row "lockora-xep (legacy)" \
  "$(median "rm -f \"\$work/data.bin.xep\"" "$xep" encrypt --keep --password-file "$pass" "$work/data.bin")" \
  "$(median "$clean && cp \"\$work/legacy.xep\" \"\$work/out/data.bin.xep\"" \
      "$xep" decrypt --keep --password-file "$pass" "$work/out/data.bin.xep")"
row "lockora-xep --strong" \
  "$(median "rm -f \"\$work/data.bin.xep\"" "$xep" encrypt --keep --strong --password-file "$pass" "$work/data.bin")" \
  "$(median "$clean && cp \"\$work/strong.xep\" \"\$work/out/data.bin.xep\"" \
      "$xep" decrypt --keep --password-file "$pass" "$work/out/data.bin.xep")"
row "gpg --symmetric (AES-256)" \
  "$(median "" run "gpg --batch --yes --pinentry-mode loopback --passphrase-file \"\$pass\" --symmetric --cipher-algo AES256 -z 0 -o \"\$work/out.gpg\" \"\$work/data.bin\"")" \
  "$(median "" run "gpg --batch --yes --pinentry-mode loopback --passphrase-file \"\$pass\" -d -o \"\$work/out/data.bin\" \"\$work/data.gpg\"")"
row "age (X25519 key)" \
  "$(median "" age -r "$recipient" -o "$work/out.age" "$work/data.bin")" \
  "$(median "" age -d -i "$work/age.key" -o "$work/out/data.bin" "$work/data.age")"
row "openssl enc -aes-256-ctr -pbkdf2" \
  "$(median "" openssl enc -aes-256-ctr -pbkdf2 -pass "file:$pass" -in "$work/data.bin" -out "$work/out.enc")" \
  "$(median "" openssl enc -d -aes-256-ctr -pbkdf2 -pass "file:$pass" -in "$work/data.enc" -out "$work/out/data.bin")"
row "7z a -p -mx=0 (AES-256)" \
  "$(median "rm -f \"\$work/out.7z\"" run "7z a -bd -mx=0 -p\"\$(head -n1 \"\$pass\")\" \"\$work/out.7z\" \"\$work/data.bin\"")" \
  "$(median "$clean" run "7z x -bd -y -p\"\$(head -n1 \"\$pass\")\" -o\"\$work/out\" \"\$work/data.7z\"")"
row "cp (floor)" \
  "$(median "" cp "$work/data.bin" "$work/out/copy.bin")" \
  "-"
row "cp, then sync of the copy (floor)" \
  "$(median "" run "cp \"\$work/data.bin\" \"\$work/out/copy.bin\" && sync \"\$work/out/copy.bin\"")" \
  "-"
row "cat > /dev/null (floor)" \
  "$(median "" run "cat \"\$work/data.bin\" > /dev/null")" \
  "-"

# The tree: our folder container against tar piped into each peer.
"$xep" encrypt --keep --password-file "$pass" "$work/tree" >/dev/null
mv "$work/tree.xep" "$work/tree-legacy.xep"
(cd "$work" && tar -cf - tree | age -r "$recipient" -o tree.tar.age)
tree_rows=()
tree_row() { tree_rows+=("$1"$'\t'"$2"$'\t'"$3"); }
tree_row "lockora-xep (folder container)" \
  "$(median "rm -f \"\$work/tree.xep\"" "$xep" encrypt --keep --password-file "$pass" "$work/tree")" \
  "$(median "$clean && cp \"\$work/tree-legacy.xep\" \"\$work/out/tree.xep\"" \
      "$xep" decrypt --keep --password-file "$pass" "$work/out/tree.xep")"
tree_row "tar | age" \
  "$(median "" run "cd \"\$work\" && tar -cf - tree | age -r \"\$recipient\" -o out.tar.age")" \
  "$(median "$clean" run "age -d -i \"\$work/age.key\" \"\$work/tree.tar.age\" | tar -xf - -C \"\$work/out\"")"
tree_row "tar | gpg --symmetric" \
  "$(median "" run "cd \"\$work\" && tar -cf - tree | gpg --batch --yes --pinentry-mode loopback --passphrase-file \"\$pass\" --symmetric --cipher-algo AES256 -z 0 -o out.tar.gpg")" \
  "-"
tree_row "tar (floor)" \
  "$(median "" run "cd \"\$work\" && tar -cf out.tar tree")" \
  "$(median "$clean" run "tar -xf \"\$work/out.tar\" -C \"\$work/out\"")"

# Shredding one file: ours, its floor (two passes of large writes, each
# flushed, then the removal) and shred with one random and one zero pass.
victim='cp "$work/data.bin" "$work/out/victim.bin"'
shred_rows=()
shred_row() { shred_rows+=("$1"$'\t'"$2"$'\t'-); }
shred_row "lockora-xep shred" "$(median "$victim" "$xep" shred -y "$work/out/victim.bin")"
shred_row "two flushed 1 MiB passes (floor)" \
  "$(median "$victim" run "for pass in 1 2; do dd if=/dev/zero of=\"\$work/out/victim.bin\" bs=1M count=$MIB conv=notrunc,fsync status=none; done; rm \"\$work/out/victim.bin\"")"
shred_row "shred -n1 -z -u" "$(median "$victim" shred -n1 -z -u "$work/out/victim.bin")"

print_table() {
  local unit_bytes=$1 reference=$2
  shift 2
  local ours_encrypt ours_decrypt
  IFS=$'\t' read -r _ ours_encrypt ours_decrypt <<<"$reference"
  printf '| %-36s | %9s | %9s | %12s | %9s | %9s | %12s |\n' tool "encrypt s" "MB/s" "ours faster" "decrypt s" "MB/s" "ours faster"
  printf '|%s|%s|%s|%s|%s|%s|%s|\n' "--------------------------------------" -----------: -----------: --------------: -----------: -----------: --------------:
  for entry in "$@"; do
    local name encrypt decrypt
    IFS=$'\t' read -r name encrypt decrypt <<<"$entry"
    cells() {
      local seconds=$1 ours=$2
      if [[ $seconds == - || $ours == - ]]; then
        printf '%s|%s|%s' - - -
      else
        awk -v s="$seconds" -v b="$unit_bytes" -v o="$ours" 'BEGIN { printf "%.2f|%.0f|%.2fx", s, b / 1e6 / s, s / o }'
      fi
    }
    local e d
    e=$(cells "$encrypt" "$ours_encrypt")
    d=$(cells "$decrypt" "$ours_decrypt")
    IFS='|' read -r es em er <<<"$e"
    IFS='|' read -r ds dm dr <<<"$d"
    printf '| %-36s | %9s | %9s | %12s | %9s | %9s | %12s |\n' "$name" "$es" "$em" "$er" "$ds" "$dm" "$dr"
  done
}

echo
echo "$(lscpu | sed -n 's/^Model name: *//p'), $(nproc) cores, $(free -g | awk '/^Mem/ { print $2 }') GiB, $(df -T "$work" | awk 'NR == 2 { print $2 }') on $(date -u +%Y-%m-%d)"
echo
echo "One file of $MIB MiB (median of $RUNS warm runs; \"ours faster\" = its time / lockora-xep's legacy time):"
echo
print_table "$bytes" "${rows[0]}" "${rows[@]}"
echo
echo "A tree of $FILES files of 4 KiB:"
echo
print_table $((FILES * 4096)) "${tree_rows[0]}" "${tree_rows[@]}"
echo
echo "Shredding one file of $MIB MiB (\"ours faster\" = its time / lockora-xep's time):"
echo
print_table "$bytes" "${shred_rows[0]}" "${shred_rows[@]}"
echo
echo "Listing a folder of 20,000 files with folder sizes against du -sb (Google Benchmark, real time):"
build-release/bench/listing_bench --benchmark_format=console 2>/dev/null | grep -E '^(List|Du)'
