#!/usr/bin/env bash
# Times the preparation of a splice-driver run (read numbering, segmentation,
# task assignment) on a 200 Mbp genome and 2 million 100-base reads, beside
# `cat` copying the same two inputs into the work folder.
#   bench/prepare.sh [build/bin] [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/bench/lib.sh"
bin=$(bench_bin "${1:-}")
runs=${2:-3}
data=$(bench_data /tmp/quilm-bench-data)
mkdir -p "$data"
[ -f "$data/genome200.fa" ] || python3 "$root/bench/gen_data.py" genome "$data/genome200.fa" 200000000 8
[ -f "$data/reads2m.fq" ] || python3 "$root/bench/gen_data.py" reads "$data/genome200.fa" "$data/reads2m.fq" 2000000
work=$(mktemp -d /tmp/quilm-bench-prepare.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"


for i in $(seq "$runs"); do
  rm -rf w && mkdir w
  start=$(date +%s.%N)
  cat "$data/genome200.fa" > w/g.fa && cat "$data/reads2m.fq" > w/r.fq
  end=$(date +%s.%N)
  awk -v s="$start" -v e="$end" 'BEGIN {printf "%.3f\n", e - s}' >> cat.times
  rm -rf w
  # -C1 and -S7,7: preparation only (seed lengths of 7 run no mapping cycle).
  # The preparation ends when the task files are written; its time in
  # config.txt has one decimal only, so the bench takes it from their mtime.
  start=$(date +%s.%N)
  /usr/bin/time -f "%e %M" -o t.prep "$bin/quilm2splice" -R"$data/genome200.fa" \
    -D"$data/reads2m.fq" -O"$work/out" -W"$work/w" -C1 -S7,7 >/dev/null 2>&1 || true
  end=$(stat -c %.9Y w/taskmpi.txt)
  awk -v s="$start" -v e="$end" 'BEGIN {printf "%.3f\n", e - s}' >> prep.times
  cut -d' ' -f2 t.prep >> prep.rss
done
cat_s=$(bench_median < cat.times)
prep_s=$(bench_median < prep.times)
rss_mb=$(( $(bench_median < prep.rss) / 1024 ))
echo "inputs: $(du -m "$data/genome200.fa" | cut -f1) MB genome, $(du -m "$data/reads2m.fq" | cut -f1) MB reads; cores: $(nproc); runs: $runs"
echo "cat copy of both inputs:     ${cat_s} s (median)"
echo "preparation (to task files): ${prep_s} s (median), peak RSS of the run ${rss_mb} MB"
awk -v p="$prep_s" -v c="$cat_s" 'BEGIN {printf "ratio preparation / copy: %.2f (target at most 2)\n", p / c}'
