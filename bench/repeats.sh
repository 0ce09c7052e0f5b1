#!/usr/bin/env bash
# A whole quilm2splice run against HISAT2 on a genome with the repeat
# structure of a mammalian one.
#
#   bench/repeats.sh [bin-folder] [runs]          # defaults: build/bin, 3 runs
#   SIZES=300 READS=50000 bench/repeats.sh build/bin 1
#   MASK=1 bench/repeats.sh                       # the repeats soft-masked
#   UNIQUE=1 SIZES=300 bench/repeats.sh           # the same without repeats
#   BEFORE=/path/to/older/bin bench/repeats.sh    # an older build measured too
#
# Environment: SIZES (Mbp, default "300 1000"), READS (default 200,000),
# MASK (1: soft-masked repeats; ours then runs with -M0 so that it maps into
# them as HISAT2 does), FRESH (0: keep the work folder and its store from an
# earlier run when there is one, no fresh run), UNIQUE (1: the genome without any repeats, to compare
# the time per read with), OURS_ARGS (more options of ours), BENCH_REPEATS
# (cache, default /tmp/quilm-bench-repeats), BEFORE (a bin folder of another
# build, run once per size with its own store beside ours).
#
# For each size, bench/repeat_gen.cpp (compiled here) writes once into the
# cache a genome of SINE-like families (11%), LINE-like fragments (17%),
# centromere-like satellite arrays (3%), microsatellites (1.5%) and
# segmental duplications (5%) on an order-6 Markov background trained on
# ../shared/data's region, with gene models, and READS reads of 100 bases
# with their truth (0-3 substitutions, 30% across one intron). HISAT2's index
# is built once and kept (hisat2-build -p2). Then:
#   - a first run of ours (-C2) in the cache's work folder, which fills the
#     seed index store (reported as "fresh");
#   - RUNS times, alternating which goes first: ours again on that work
#     folder (the store reused) and hisat2 -p2 mapping to SAM;
# each under GNU time, with the memory of the process tree sampled. It
# prints the medians (wall, CPU, the largest worker's RSS, the machine's
# peak with shared pages counted once), the ratios ours/HISAT2, our stage
# times from config.txt, and both programs' accuracy against the truth
# (ours exported with quilm2sam --sort --unmapped, with --rescue taking the
# rescued alignments too; scored by
# bench/score_alignments.py).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/bench/lib.sh"
bin=$(bench_bin "${1:-}")
runs=${2:-3}
sizes=${SIZES:-300 1000}
reads_n=${READS:-200000}
mask=${MASK:-0}
unique=${UNIQUE:-0}
fresh=${FRESH:-1}
cache=${BENCH_REPEATS:-/tmp/quilm-bench-repeats}
region=$root/../shared/data/chr22_20M.fa
read -r -a ours_args <<< "${OURS_ARGS:-}"
[ "$mask" = 1 ] && ours_args+=(-M0)

for p in quilm2splice quilm_x junctor quilm2sam; do
  [ -x "$bin/$p" ] || { echo "no $bin/$p: build the project first" >&2; exit 1; }
done
[ -x /usr/bin/time ] || { echo "needs GNU time (/usr/bin/time, Debian package time)" >&2; exit 1; }
peer=1
bench_need_hisat2 || { echo "hisat2 is not installed (as root: apt-get install hisat2): ours only"; peer=0; }

mkdir -p "$cache"
gen=$cache/repeat_gen
if [ ! -x "$gen" ] || [ "$root/bench/repeat_gen.cpp" -nt "$gen" ]; then
  g++ -O2 -o "$gen" "$root/bench/repeat_gen.cpp"
fi

echo "machine: $(nproc) cores, load average $(cut -d' ' -f1-3 /proc/loadavg)"
for size in $sizes; do
  tag=${size}$([ "$mask" = 1 ] && echo m || true)$([ "$unique" = 1 ] && echo u || true)
  genome=$cache/genome_$tag.fa reads=$cache/reads_${tag}_$reads_n.fq truth=$cache/truth_${tag}_$reads_n.tsv
  if [ ! -s "$truth" ]; then
    echo "generating a $size Mbp genome and $reads_n reads in $cache ..."
    mask_flag=()
    [ "$mask" = 1 ] && mask_flag=(--mask)
    [ "$unique" = 1 ] && mask_flag+=(--unique)
    "$gen" "${mask_flag[@]}" --train="$region" "$size" "$reads_n" 1 "$genome.tmp" "$reads.tmp" "$truth.tmp"
    mv "$genome.tmp" "$genome"
    mv "$reads.tmp" "$reads"
    mv "$truth.tmp" "$truth"
  fi
  [ "$peer" = 1 ] && bench_hisat2_index "$genome" "$cache/hisat2_$tag"

  log=$cache/times_$tag.txt
  : > "$log"
  run_dir=$cache/ours_$tag
  mkdir -p "$run_dir"
  cd "$run_dir"
  ours() {
    bench_run "$1" "$log" "$bin/quilm2splice" -R"$genome" -D"$reads" -O"$run_dir/out" -W"$run_dir/work" \
      -C2 "${ours_args[@]}"
    cp config.txt "config.$1.txt"
  }
  if [ "$fresh" = 1 ] || [ ! -d "$run_dir/work/index" ]; then
    rm -rf "$run_dir/work"
    ours fresh
  fi
  for ((r = 1; r <= runs; r++)); do
    if [ "$peer" = 1 ] && [ $((r % 2)) = 0 ]; then
      bench_run hisat2 "$log" hisat2 -p 2 -x "$cache/hisat2_$tag/idx" -U "$reads" -S "$run_dir/hisat2.sam"
      ours reused
    else
      ours reused
      [ "$peer" = 0 ] ||
        bench_run hisat2 "$log" hisat2 -p 2 -x "$cache/hisat2_$tag/idx" -U "$reads" -S "$run_dir/hisat2.sam"
    fi
  done
  if [ -n "${BEFORE:-}" ]; then
    mkdir -p "$run_dir/before"
    (cd "$run_dir/before" && rm -rf work &&
      bench_run before_fresh "$log" "$BEFORE/quilm2splice" -R"$genome" -D"$reads" -O"$PWD/out" \
        -W"$PWD/work" -C2 "${ours_args[@]}" &&
      bench_run before_reused "$log" "$BEFORE/quilm2splice" -R"$genome" -D"$reads" -O"$PWD/out" \
        -W"$PWD/work" -C2 "${ours_args[@]}" && cp config.txt config.before.txt)
  fi

  col() { awk -v c="$1" -v k="$2" '$1 == c {print $k}' "$log" | bench_median; }
  echo
  echo "$size Mbp$([ "$mask" = 1 ] && echo ', repeats soft-masked (ours with -M0)' || true)$([ "$unique" = 1 ] && echo ' without repeats' || true), $reads_n reads of 100 bases, $runs runs (medians)"
  printf "  %-34s %8s %8s %10s %10s\n" "" "wall s" "CPU s" "worker MiB" "machine MiB"
  for c in fresh reused hisat2 before_fresh before_reused; do
    grep -q "^$c " "$log" || continue
    case $c in
      fresh) label="ours, fresh work folder" ;;
      reused) label="ours, store reused" ;;
      hisat2) label="hisat2 -p2 (index prebuilt)" ;;
      before_fresh) label="older build, fresh" ;;
      before_reused) label="older build, store reused" ;;
    esac
    printf "  %-34s %8.2f %8.2f %10.0f %10.0f\n" "$label" "$(col "$c" 2)" "$(col "$c" 3)" \
      "$(awk -v k="$(col "$c" 5)" 'BEGIN {print k / 1024}')" "$(awk -v k="$(col "$c" 6)" 'BEGIN {print k / 1024}')"
  done
  if [ "$peer" = 1 ]; then
    awk -v w="$(col reused 2)" -v c="$(col reused 3)" -v hw="$(col hisat2 2)" -v hc="$(col hisat2 3)" 'BEGIN {
      printf "  ratio ours (store reused) / hisat2: wall %.2f, CPU %.2f (target: wall <= 1.0)\n", w / hw, c / hc }'
    [ -s "$cache/hisat2_$tag/build.time" ] &&
      echo "  (hisat2-build took $(cut -d' ' -f1 "$cache/hisat2_$tag/build.time") s wall, once)"
  fi
  echo "  stage times of ours, store reused (config.txt, last run):"
  grep 'Time' "$run_dir/config.reused.txt" | sed 's/^/    /'
  sp=$(grep -c . "$run_dir/work/splice0.fastq" || true)
  awk -v n="$sp" -v t="$(sed -n 's/^The Time of splice mapping [0-9]* seed used : \([0-9.]*\) sec.*/\1/p' "$run_dir/config.reused.txt")" \
    'BEGIN {if (n > 0) printf "    splice stage: %d reads, %.1f us per read\n", n, 1e6 * t / n}'
  if [ -s "$run_dir/before/config.before.txt" ]; then
    echo "  stage times of the older build, store reused:"
    grep 'Time' "$run_dir/before/config.before.txt" | sed 's/^/    /'
  fi

  echo "  accuracy against the truth (placed correctly %, junction reads correct %, unmapped %):"
  rescued=()
  case " ${ours_args[*]} " in *" --rescue "*) rescued=(--rescued="$run_dir/out-rescue") ;; esac
  "$bin/quilm2sam" -R"$genome" -D"$reads" -O"$run_dir/out" -o "$run_dir/ours.bam" --sort --unmapped \
    "${rescued[@]}" 2> /dev/null
  printf "    %-10s %s\n" ours "$(bench_score "$run_dir/ours.bam" "$truth")"
  [ "$peer" = 1 ] && printf "    %-10s %s\n" hisat2 "$(bench_score "$run_dir/hisat2.sam" "$truth")"
  cd "$cache"
done
echo "load average at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
