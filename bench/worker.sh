#!/usr/bin/env bash
# Benchmark of the seed-mapping worker quilm_x.
#
# Generates one genome-like segment (repeat families copied with mutations,
# soft-masked stretches, tandem repeats, N gaps) and reads drawn from it with
# 0 to 3 mismatches on both strands, then for seed 14 with the reduced index
# (the default, -Y1) and the full index (-Y0) measures: index build time,
# peak resident memory, and reads per second of mapping in the best and the
# export-all modes. Each variant runs RUNS times in a fresh process; the
# script prints every run and the median of each figure.
#
# Finally the built quilm_x program itself maps the segment once (reduced
# index, best mode) under /usr/bin/time for its end-to-end time and peak RSS.
#
# Environment: BUILD (build folder, default build), BENCH_DIR (default
# /tmp/quilm-bench-worker), BASES (default 100000000), READS (default
# 1000000), READ_LENGTH (100), RUNS (3), VARIANTS ("reduced full").
# The inputs are generated once and kept in BENCH_DIR for later runs.
set -euo pipefail
cd "$(dirname "$0")/.."
source bench/lib.sh
ROOT=$PWD
BUILD=${BUILD:-build}
BENCH_DIR=${BENCH_DIR:-/tmp/quilm-bench-worker}
BASES=${BASES:-100000000}
READS=${READS:-1000000}
READ_LENGTH=${READ_LENGTH:-100}
RUNS=${RUNS:-3}
VARIANTS=${VARIANTS:-"reduced full"}

mkdir -p "$BENCH_DIR"
if [ ! -f "$BUILD/src/libquilm.a" ] || [ ! -x "$BUILD/bin/quilm_x" ]; then
  cmake -S . -B "$BUILD" -DCMAKE_BUILD_TYPE=Release >/dev/null
  cmake --build "$BUILD" -j "$(nproc)" --target quilm quilm_x >/dev/null
fi
CXX=${CXX:-g++}
"$CXX" -O2 -o "$BENCH_DIR/worker_gen" bench/worker_gen.cpp
"$CXX" -O2 -std=c++20 -I src -o "$BENCH_DIR/worker_bench" bench/worker_bench.cpp \
  "$BUILD/src/libquilm.a" -lcrypto -lz

SEG=$BENCH_DIR/1.txt
RD=$BENCH_DIR/0.fastq
STAMP="$BASES $READS $READ_LENGTH"
if [ ! -f "$BENCH_DIR/inputs.stamp" ] || [ "$(cat "$BENCH_DIR/inputs.stamp")" != "$STAMP" ]; then
  echo "generating $BASES bases and $READS reads of $READ_LENGTH bases in $BENCH_DIR ..."
  "$BENCH_DIR/worker_gen" "$SEG" "$RD" "$BASES" "$READS" "$READ_LENGTH" 42
  echo "$STAMP" > "$BENCH_DIR/inputs.stamp"
fi

echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"

for variant in $VARIANTS; do
  log=$BENCH_DIR/$variant.log
  : > "$log"
  for run in $(seq 1 "$RUNS"); do
    "$BENCH_DIR/worker_bench" "$SEG" "$RD" 14 "$variant" best export | tee -a "$log" |
      sed "s/^/[$variant run $run] /"
  done
  build=$(awk '$1=="build"{print $2}' "$log" | bench_median)
  build_cpu=$(awk '$1=="build"{gsub(/\)/,"",$5); print $5}' "$log" | bench_median)
  peak=$(awk '$1=="peak"{print $2}' "$log" | bench_median)
  best=$(awk '$1=="map" && $2=="best"{print $10}' "$log" | bench_median)
  best_cpu=$(awk '$1=="map" && $2=="best"{gsub(/\(/,"",$12); print $12}' "$log" | bench_median)
  export=$(awk '$1=="map" && $2=="export"{print $10}' "$log" | bench_median)
  export_cpu=$(awk '$1=="map" && $2=="export"{gsub(/\(/,"",$12); print $12}' "$log" | bench_median)
  printf 'MEDIAN %-8s build %s s (cpu %s s), peak RSS %s MiB, best %s reads/s (%s per cpu s), export-all %s reads/s (%s per cpu s)\n' \
    "$variant" "$build" "$build_cpu" "$((peak / 1024))" "$best" "$best_cpu" "$export" "$export_cpu"
done

# The program itself, end to end: config.txt and taskmpi.txt in BENCH_DIR.
printf '%s\nref.fa\nout\n1 %s %s 2 0 14 1 1 0 1 1 0\n' "$BENCH_DIR" "$READS" "$READ_LENGTH" \
  > "$BENCH_DIR/config.txt"
printf '0 ' > "$BENCH_DIR/taskmpi.txt"
(cd "$BENCH_DIR" && /usr/bin/time -f "quilm_x 14 0 (reduced, best): %e s wall, %U s user, peak RSS %M KiB" \
  "$ROOT/$BUILD/bin/quilm_x" 14 0)
