#!/usr/bin/env bash
# Builds the libFuzzer targets with clang into build-fuzz/ and runs them.
#   scripts/fuzz.sh                     every target for 60 s (the CI smoke run)
#   scripts/fuzz.sh 3600                every target for an hour
#   scripts/fuzz.sh 3600 container      one target (container, strong, settings,
#                                       profile, hive, message) for an hour
# Each run starts from the seeds in tests/fuzz/corpus/<target>/ and from what
# earlier runs on this machine found (build-fuzz/corpus/<target>/). Two
# targets run at a time, each within 2 GiB and 30 s per input. A crash, leak
# or slow input is kept in build-fuzz/findings/<target>/ and fails the run;
# replay one with build-fuzz/tests/fuzz/<target>_fuzzer <file>.
set -euo pipefail
cd "$(dirname "$0")/.."

seconds=${1:-60}
shift || true
targets=("$@")
if ((${#targets[@]} == 0)); then
  targets=(container strong settings profile hive message)
fi

bash scripts/setup.sh fuzz

CXX=clang++ cmake -S . -B build-fuzz -DLOCKORA_BUILD_FUZZ=ON -DLOCKORA_BUILD_TESTS=OFF -DLOCKORA_BUILD_BENCH=OFF \
  -DCMAKE_BUILD_TYPE=RelWithDebInfo >/dev/null
timeout 1800 cmake --build build-fuzz -j "$(nproc)" --target fuzzers

# The targets that read files work in a folder of their own there; in memory
# the flushes of restored files cost nothing.
if [[ -d /dev/shm && -w /dev/shm ]]; then
  export TMPDIR=/dev/shm
fi

# One target: its corpus, its findings, and the line of the summary.
run_target() {
  local target=$1 corpus=build-fuzz/corpus/$1 findings=build-fuzz/findings/$1
  mkdir -p "$corpus" "$findings"
  local log=build-fuzz/$target.log
  local status=0
  # The wall-clock bound leaves libFuzzer time to end by itself and report.
  timeout $((seconds + 120)) "build-fuzz/tests/fuzz/${target}_fuzzer" "$corpus" "tests/fuzz/corpus/$target" \
    -max_total_time="$seconds" -rss_limit_mb=2048 -timeout=30 -print_final_stats=1 \
    -artifact_prefix="$findings/" >"$log" 2>&1 || status=$?
  local runs
  runs=$(awk '/stat::number_of_executed_units/ { print $2 }' "$log")
  if ((status != 0)); then
    echo "fuzz: $target failed ($status); see $log and $findings/" >&2
    tail -n 40 "$log" >&2
  fi
  printf '%-10s %12s executions in %s s, %s\n' "$target" "${runs:-?}" "$seconds" \
    "$( ((status == 0)) && echo "nothing found" || echo "FOUND A FAULT")"
  return "$status"
}

failed=0
pids=()
for target in "${targets[@]}"; do
  run_target "$target" &
  pids+=($!)
  # Two at a time, one per core.
  if ((${#pids[@]} == 2)); then
    wait "${pids[0]}" || failed=1
    pids=("${pids[@]:1}")
  fi
done
for pid in "${pids[@]}"; do
  wait "$pid" || failed=1
done
exit "$failed"
