#!/usr/bin/env bash
# The human scale: a 3 Gbp genome, one million reads, ours beside HISAT2.
#
#   bench/human_scale.sh [bin-folder] [runs]      # defaults: build/bin, 3 runs
#   SIZE=100 READS=20000 bench/human_scale.sh build/bin 1   # a quick try
#
# Environment: SIZE (Mbp, default 3000), READS (default 1,000,000), KINDS
# (default "repeats unique"), RESCUE (default "0 1": without and with
# --rescue), BENCH_REPEATS (cache, as for bench/repeats.sh).
#
# For every kind of genome (bench/repeat_gen.cpp with the human repeat
# shares, or --unique for the same without repeats) it runs bench/repeats.sh
# at SIZE: the genome, reads and HISAT2's index are made once and cached
# (hisat2-build takes about 70 minutes and 7 GiB at 3 Gbp on 2 cores), ours
# runs once fresh (filling the seed index store: about 18 GiB at 3 Gbp),
# then RUNS times with the store reused beside hisat2 -p2; with --rescue the
# same work folder and store serve again, without a fresh run. Each prints
# the medians of wall, CPU, the largest worker's RSS and the machine's peak
# (shared pages once), the ratios to HISAT2, our stage times and both
# programs' accuracy.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/bench/lib.sh"
bin=$(bench_bin "${1:-}")
runs=${2:-3}
size=${SIZE:-3000}
reads=${READS:-1000000}
echo "human scale: $size Mbp, $reads reads, $runs runs per case, $(nproc) cores," \
  "$(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo)"
for kind in ${KINDS:-repeats unique}; do
  unique=$([ "$kind" = unique ] && echo 1 || echo 0)
  for rescue in ${RESCUE:-0 1}; do
    args=$([ "$rescue" = 1 ] && echo --rescue || true)
    echo
    echo "== $kind genome$([ "$rescue" = 1 ] && echo ', with --rescue' || true)"
    UNIQUE=$unique SIZES=$size READS=$reads OURS_ARGS=$args FRESH=$((1 - rescue)) \
      "$root/bench/repeats.sh" "$bin" "$runs"
  done
done
