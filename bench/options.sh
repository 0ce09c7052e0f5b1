#!/usr/bin/env bash
# What the options that trade time for sensitivity change on the bundled
# example (450 kb genome, 5,928 reads of 100 bases): reads aligned, reads
# split across an intron, and the run's wall and CPU time (driver and
# workers; medians of $RUNS runs, each with a fresh work folder, so every run
# builds its seed indexes).
#   bench/options.sh [build/bin]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/bench/lib.sh"
bin=$(bench_bin "${1:-}")
runs=${RUNS:-3}
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT


variant() {
  local label=$1
  shift
  local walls=() cpus=()
  for ((i = 0; i < runs; i++)); do
    rm -rf "$tmp/run"
    mkdir -p "$tmp/run"
    (cd "$tmp/run" && /usr/bin/time -f "%e %U %S" -o time.txt "$bin/quilm2splice" \
      -R"$root/examples/genome.fa" -D"$root/examples/reads.fq.gz" -Oout -Wwork -C2 "$@" \
      >/dev/null 2>err)
    walls+=("$(awk '{print $1}' "$tmp/run/time.txt")")
    cpus+=("$(awk '{printf "%.2f", $2 + $3}' "$tmp/run/time.txt")")
  done
  local rate split
  rate=$(sed -n 's/^\([0-9.]*%\) overall alignment rate/\1/p' "$tmp/run/err")
  split=$(sed -n 's/^  \([0-9]*\) (\([0-9.]*%\)) aligned split.*/\1 (\2)/p' "$tmp/run/err")
  printf '| %-22s | %8s | %14s | %6s | %6s |\n' "$label" "$rate" "$split" \
    "$(printf '%s\n' "${walls[@]}" | bench_median)" "$(printf '%s\n' "${cpus[@]}" | bench_median)"
}

echo "quilm2splice -C2 on examples/ ($(nproc) cores; load $(cut -d' ' -f1 /proc/loadavg)); median of $runs runs"
echo
printf '| %-22s | %8s | %14s | %6s | %6s |\n' "options" "aligned" "split" "wall s" "CPU s"
echo "|---|---|---|---|---|"
variant "(defaults: -S14,14 -E2)"
variant "-S14,12" -S14,12
variant "-S14,10" -S14,10
variant "-S14,8" -S14,8
variant "-S12" -S12,14
variant "-S10" -S10,14
variant "-E0" -E0
variant "-E4" -E4
variant "-E4 -S14,10" -E4 -S14,10
variant "-I1" -I1
variant "-L150" -L150
