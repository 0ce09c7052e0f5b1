#!/usr/bin/env bash
# Scaling benchmark of the seed-14 cycle: genomes of 50, 200 and 400 Mbp built
# from the real 1 Mbp region of ../shared/data, one million 100-base reads.
#
#   bench/scale.sh [bin-folder] [runs]           # defaults: build/bin, 3 runs
#   SIZES=20 READS=100000 bench/scale.sh /work/build-bench/bin 2   # quick
#
# Environment: SIZES (Mbp, default "50 200 400"), READS (default 1000000),
# BENCH_SCALE (cache of generated data, default /tmp/quilm-bench-scale),
# DRIVER (quilm2 or quilm2splice, default quilm2), SEGMENTS (the -F values,
# default "2047 100": one segment, then the default segmentation), EXTRA
# (more driver options, e.g. -Y0), WARMUP (1: one unmeasured run per genome
# and segmentation first, filling the seed index store; default 1), KEEP (1:
# keep the work folders).
#
# For every size, bench/scale_gen.cpp (compiled here with g++ -O2) writes,
# once, the genome (the region itself, then order-6 Markov sequence trained on
# it, with 100 kb paralogs of the region at 3% divergence, soft-masked
# stretches and N gaps) and READS reads drawn from it (0 to 3 mismatches,
# both strands). Then, for each -F value, one work folder serves a warm-up run
# (which leaves the seed index store in <work>/index) and RUNS measured runs
# of "-S14 -C1" and "-S14 -C2", alternating. Each measured run records the
# seed-14 cycle time from config.txt, the wall time, the peak resident memory
# of every process (sampled from /proc) and the machine's peak, counting
# shared pages once (the largest sum of Pss over the driver and its workers).
#
# Prints the medians per case, then against the targets: >= 250,000 reads per
# second per core in the seed-14 cycle on one segment with the store reused;
# time per read growing at most 1.5x from the smallest to the largest genome;
# -C2 at least 1.8x faster than -C1 on one segment.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/bench/lib.sh"
bin=$(bench_bin "${1:-}")
runs=${2:-3}
sizes=${SIZES:-50 200 400}
reads_n=${READS:-1000000}
cache=${BENCH_SCALE:-/tmp/quilm-bench-scale}
driver=${DRIVER:-quilm2}
segments=${SEGMENTS:-2047 100}
extra=${EXTRA:-}
warmup=${WARMUP:-1}
region=$(cd "$root/../shared/data" && pwd)/chr22_20M.fa

for p in "$driver" quilm_x; do
  [ -x "$bin/$p" ] || { echo "no $bin/$p: build the project first" >&2; exit 1; }
done
mkdir -p "$cache"
g++ -O2 -std=c++17 -o "$cache/scale_gen" "$root/bench/scale_gen.cpp"

echo "machine: $(nproc) cores, $(awk '/MemTotal/ {printf "%.0f GiB", $2 / 1048576}' /proc/meminfo), load average $(cut -d' ' -f1-3 /proc/loadavg)"
echo "disk: $(df -h "$cache" | awk 'NR == 2 {print $4 " free on " $6}') (data in $cache)"
for s in $sizes; do
  genome=$cache/genome_$s.fa reads=$cache/reads_${s}_$reads_n.fq
  if [ ! -s "$genome" ] || [ ! -s "$reads" ]; then
    echo "generating a $s Mbp genome and $reads_n reads ..."
    # The reads come out the same whether the genome is written again or not.
    if [ -s "$genome" ]; then
      "$cache/scale_gen" "$region" "$s" "$reads_n" 7 - "$reads.tmp"
    else
      "$cache/scale_gen" "$region" "$s" "$reads_n" 7 "$genome.tmp" "$reads.tmp"
      mv "$genome.tmp" "$genome"
    fi
    mv "$reads.tmp" "$reads"
  fi
done

scratch=$cache/run.$$
mkdir -p "$scratch"
[ "${KEEP:-0}" = 1 ] || trap 'rm -rf "$scratch"' EXIT
results=$scratch/results.txt   # size F C run cycle-s wall-s worker-peak-KiB pss-peak-KiB segments driver-peak-KiB
: > "$results"

# The pids of a process and all its descendants.
tree() {
  ps -e -o pid=,ppid= | awk -v top="$1" '{ kids[$2] = kids[$2] " " $1 }
    END { queue[1] = top; n = 1
          for (i = 1; i <= n; i++) { print queue[i]; m = split(kids[queue[i]], k, " ")
                                     for (j = 1; j <= m; j++) queue[++n] = k[j] } }'
}

# measure SIZE F C RUN: one run of the driver in the current directory, its
# descendants' memory sampled every quarter second.
measure() {
  local size=$1 f=$2 c=$3 run=$4 genome=$cache/genome_$1.fa reads=$cache/reads_$1_$reads_n.fq
  local samples=$scratch/samples.txt start end pid
  : > "$samples"
  start=$(date +%s.%N)
  # shellcheck disable=SC2086
  /usr/bin/time -f "%M" -o time.txt "$bin/$driver" -R"$genome" -D"$reads" -O"$PWD/out" -W"$PWD/work" \
    -C"$c" -S14 -F"$f" $extra > console.txt 2> stderr.txt &
  pid=$!
  while kill -0 "$pid" 2>/dev/null; do
    # One line per sample: "rss:pid=KiB ... pss=KiB" over the driver's tree.
    tree "$pid" | while read -r p; do
      awk -v p="$p" -v c="$(cat "/proc/$p/comm" 2>/dev/null || true)" \
        '/^Rss:/ {r = $2} /^Pss:/ {s = $2} END {if (r != "") print p, c, r, s}' "/proc/$p/smaps_rollup" 2>/dev/null || true
    done | awk '{ if ($2 != "time") { line = line " " $2 ":" $1 "=" $3; pss += $4 } }
                END { print pss + 0, line }' >> "$samples"
    sleep 0.25
  done
  if ! wait "$pid"; then
    echo "$driver -C$c -F$f failed on $size Mbp; its stderr:" >&2; tail -20 stderr.txt >&2; exit 1
  fi
  end=$(date +%s.%N)
  local cycle segs
  cycle=$(sed -n 's/^The Time of mapping 14 seed used : \([0-9.]*\) sec.*/\1/p' config.txt | tail -1)
  segs=$(sed -n 4p config.txt | cut -d' ' -f1)
  cp config.txt "config.C$c.run$run.txt"
  # Worker peak: the largest RSS any worker process reached; machine peak:
  # the largest Pss sum of one sample.
  awk -v s="$size" -v f="$f" -v c="$c" -v r="$run" -v cy="${cycle:-0}" -v w="$(awk -v a="$start" -v b="$end" 'BEGIN {print b - a}')" \
      -v segs="$segs" -v drv="$(cat time.txt)" \
    '{ if ($1 > pss) pss = $1
       for (i = 2; i <= NF; i++) if ($i ~ /^(quilm_x|junctor):/) { split($i, kv, "="); if (kv[2] > wk) wk = kv[2] } }
     END { print s, f, c, r, cy, w, wk + 0, pss + 0, segs, drv }' "$samples" >> "$results"
}

for s in $sizes; do
  for f in $segments; do
    dir=$scratch/${s}_F$f
    mkdir -p "$dir"; cd "$dir"
    if [ "$warmup" = 1 ]; then
      measure "$s" "$f" 2 0
      [ -d work/index ] && store=$(du -sk work/index | cut -f1) || store=0
      awk -v k="$store" -v s="$s" -v f="$f" 'BEGIN {
        if (k > 0) printf "%s Mbp -F%s: warm-up run done; seed index store %.0f MiB = %.1f MiB per Mbp\n", s, f, k / 1024, k / 1024 / s
        else printf "%s Mbp -F%s: warm-up run done; no seed index store in the work folder\n", s, f }'
    fi
    for run in $(seq 1 "$runs"); do
      if [ $((run % 2)) = 1 ]; then order="1 2"; else order="2 1"; fi
      for c in $order; do measure "$s" "$f" "$c" "$run"; done
      awk -v s="$s" -v f="$f" -v r="$run" '$1 == s && $2 == f && $4 == r {
          printf "%s Mbp -F%s run %d -C%d: seed-14 cycle %.1f s, wall %.1f s\n", s, f, r, $3, $5, $6 }' "$results"
    done
    cd "$scratch"
    [ "${KEEP:-0}" = 1 ] || rm -rf "$dir"
  done
done

echo
echo "$driver -S14${extra:+ $extra}, $reads_n reads of 100 bases, medians of $runs runs (store reused when the build has one)"
awk -v n="$reads_n" -v sizes="$sizes" -v fs="$segments" '
  function med(key,   m, i, j, t, a) {
    m = split(vals[key], a, " ")
    for (i = 1; i <= m; i++) for (j = i + 1; j <= m; j++) if (a[j] + 0 < a[i] + 0) { t = a[i]; a[i] = a[j]; a[j] = t }
    return m == 0 ? 0 : m % 2 ? a[(m + 1) / 2] : (a[m / 2] + a[m / 2 + 1]) / 2 }
  function verdict(ok) { return ok ? "meets the target" : "misses the target" }
  $4 > 0 { k = $1 " " $2 " " $3
           vals[k " cy"] = vals[k " cy"] " " $5; vals[k " w"] = vals[k " w"] " " $6
           vals[k " wk"] = vals[k " wk"] " " $7; vals[k " p"] = vals[k " p"] " " $8
           vals[k " d"] = vals[k " d"] " " $10; segs[k] = $9 }
  END {
    ns = split(sizes, S, " "); nf = split(fs, F, " ")
    printf "%6s %6s %5s %3s %8s %13s %7s %12s %12s %12s\n", "Mbp", "-F", "segs", "-C", "cycle s",
      "reads/s/core", "wall s", "largest MiB", "worker MiB", "machine MiB"
    for (i = 1; i <= ns; i++) for (j = 1; j <= nf; j++) for (c = 1; c <= 2; c++) {
      k = S[i] " " F[j] " " c
      if (!(k in segs)) continue
      cy = med(k " cy")
      printf "%6s %6s %5s %3s %8.1f %13s %7.1f %12.0f %12.0f %12.0f\n", S[i], F[j], segs[k], c, cy,
        (cy > 0 ? sprintf("%.0f", n / cy / c) : "-"), med(k " w"), med(k " d") / 1024, med(k " wk") / 1024, med(k " p") / 1024
    }
    print "(cycle: the seed-14 line of config.txt, in 0.1 s steps; largest: peak RSS of the largest process"
    print " by GNU time; worker: the largest sampled RSS of a worker; machine: the largest sampled sum of"
    print " Pss over the driver and its workers, shared pages counted once)"
    print ""
    for (i = 1; i <= ns; i++) for (j = 1; j <= nf; j++) for (c = 1; c <= 2; c++) {
      k = S[i] " " F[j] " " c; cy = med(k " cy")
      if (segs[k] == 1 && cy > 0)
        printf "reads/s/core, seed-14 cycle, one segment (-F%s), %s Mbp -C%d: %.0f (target >= 250000: %s)\n",
          F[j], S[i], c, n / cy / c, verdict(n / cy / c >= 250000)
    }
    if (ns > 1) for (j = 1; j <= nf; j++) for (c = 1; c <= 2; c++) {
      a = med(S[1] " " F[j] " " c " cy"); b = med(S[ns] " " F[j] " " c " cy")
      if (a > 0 && b > 0)
        printf "time per read, %s -> %s Mbp, -F%s -C%d: %.2fx (target <= 1.5: %s)\n", S[1], S[ns], F[j], c, b / a, verdict(b / a <= 1.5)
    }
    for (i = 1; i <= ns; i++) for (j = 1; j <= nf; j++) {
      k = S[i] " " F[j]; a = med(k " 1 cy"); b = med(k " 2 cy")
      if (segs[k " 1"] == 1 && a > 0 && b > 0)
        printf "-C2 speed-up over -C1, one segment (-F%s), %s Mbp: %.2fx (target >= 1.8: %s)\n", F[j], S[i], a / b, verdict(a / b >= 1.8)
    }
  }' "$results"
