#!/usr/bin/env bash
# Runs every libFuzzer harness of a fuzz build in turn, each for the given
# number of seconds, starting from its committed corpus. New coverage goes to
# the build folder; crashes, leaks and hangs land in the committed corpus
# folder (fuzz/corpus/<name>/crash-*, leak-*, timeout-*) to be fixed and kept.
# Usage: fuzz/run.sh <build folder> <seconds per harness> [harness...]
set -uo pipefail

build=$1
seconds=$2
shift 2
root=$(cd "$(dirname "$0")/.." && pwd)
names=("$@")
if [ ${#names[@]} -eq 0 ]; then
  for exe in "$build"/fuzz/*_fuzz "$build"/*_fuzz; do
    [ -x "$exe" ] && names+=("$(basename "$exe" _fuzz)")
  done
fi
# Harnesses make a scratch folder per input: keep them in memory when possible.
if [ -z "${TMPDIR:-}" ] && [ -w /dev/shm ]; then export TMPDIR=/dev/shm; fi

failed=()
for name in "${names[@]}"; do
  exe=$(ls "$build"/fuzz/"$name"_fuzz "$build"/"$name"_fuzz 2>/dev/null | head -n 1)
  seeds=$root/fuzz/corpus/$name
  work=$build/corpus/$name
  log=$build/logs/$name.log
  mkdir -p "$work" "$build/logs" "$seeds"
  echo "fuzz: $name for ${seconds}s (log $log)"
  if ! "$exe" -max_total_time="$seconds" -timeout=10 -close_fd_mask=3 \
      -artifact_prefix="$seeds/" "$work" "$seeds" >"$log" 2>&1; then
    failed+=("$name")
    echo "fuzz: $name found a fault; see $log and the new files in $seeds" >&2
  fi
  grep -E '^(#[0-9]+\s+DONE|Done [0-9]+ runs)' "$log" | tail -n 1
done

if [ ${#failed[@]} -ne 0 ]; then
  echo "fuzz: faults found by: ${failed[*]}" >&2
  exit 1
fi
