#!/usr/bin/env bash
# Converts the outputs of a quilm2splice run (generated 200 Mbp genome in two
# segments, 1 million 100-base reads, -C2 -F100, as bench/pipeline.sh) with
# quilm2sam, on one thread and with --threads=2: unsorted BAM (the hits alone,
# and with --unmapped the whole dataset), unsorted SAM, coordinate-sorted BAM
# with index, and for comparison `samtools sort` (one thread, and -@2) of the
# same records. Every figure is the median of RUNS runs (default 3); the
# sorts of both programs run in turns, so that each ratio compares runs made
# under the same load. Reports wall time, CPU time, records per second and
# peak memory, and checks that the thread counts give the same records.
#   bench/sam.sh [build/bin]
# The splice run is made once and kept in $BENCH_SAM (default /tmp/quilm-bench-sam).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/bench/lib.sh"
bin=$(bench_bin "${1:-}")
data=$(bench_data /tmp/quilm-bench-data)
keep=${BENCH_SAM:-/tmp/quilm-bench-sam}
runs=${RUNS:-3}
mkdir -p "$data" "$keep"
[ -f "$data/genome200.fa" ] || python3 "$root/bench/gen_data.py" genome "$data/genome200.fa" 200000000 8
# The reads stay in this benchmark's own folder: a file another script may be
# rewriting would not match the run's read numbers.
if [ ! -f "$keep/reads1m.fq" ]; then
  python3 "$root/bench/gen_data.py" reads "$data/genome200.fa" "$keep/reads.tmp" 1000000 100 0.05
  mv "$keep/reads.tmp" "$keep/reads1m.fq"
  rm -f "$keep/run-splice-mutil"
fi

if [ ! -f "$keep/run-splice-mutil" ]; then
  echo "quilm2splice run (once; kept in $keep) ..."
  (cd "$keep" && /usr/bin/time -f "%e" -o splice.time "$bin/quilm2splice" -R"$data/genome200.fa" \
    -D"$keep/reads1m.fq" -O"$keep/run" -W"$keep/w" -C2 -F100 > console.txt 2> stderr.txt)
  rm -rf "$keep/w"
  echo "  took $(cat "$keep/splice.time") s"
fi
out=$(mktemp -d /tmp/quilm-bench-sam-out.XXXXXX)
trap 'rm -rf "$out"' EXIT

# Runs a command once under /usr/bin/time, appending "wall cpu peak-KiB" to
# $out/<name>.times.
run_once() {
  local name=$1
  shift
  /usr/bin/time -f "%e %U %S %M" -o "$out/time" "$@" 2> "$out/stderr" || { cat "$out/stderr"; exit 1; }
  awk '{ print $1, $2 + $3, $4 }' "$out/time" >> "$out/$name.times"
}
# The median of one figure of a name's runs: 1 wall, 2 CPU, 3 peak KiB.
figure() { cut -d' ' -f"$2" "$out/$1.times" | bench_median; }
wall() { figure "$1" 1; }
cpu() { figure "$1" 2; }
describe() {
  echo "$(wall "$1") $(cpu "$1") $(figure "$1" 3)" |
    awk '{ printf "%.2f s wall, %.2f s CPU, peak %d MiB", $1, $2, $3 / 1024 }'
}
rates() {  # records name
  awk -v n="$1" -v w="$(wall "$2")" -v c="$(cpu "$2")" \
    'BEGIN { printf "%.0f records/s wall, %.0f records/s per CPU second", n / w, n / c }'
}
# Runs quilm2sam RUNS times under a name.
ours() {
  local name=$1
  shift
  for _ in $(seq "$runs"); do run_once "$name" "$bin/quilm2sam" "${args[@]}" "$@"; done
}

args=(-R"$data/genome200.fa" -D"$keep/reads1m.fq" -O"$keep/run")
hits=$(cat "$keep"/run-quilm2* "$keep"/run-splice-* | awk 'END { print NR / 2 }')
echo "records: $hits hits of 1,000,000 reads; machine: $(nproc) cores, load $(cut -d' ' -f1-3 /proc/loadavg)"
echo "medians of $runs runs"

for t in 1 2; do
  ours "u$t" -o "$out/u$t.bam" --threads=$t
  echo "unsorted BAM, $t thread(s):            $(describe "u$t")"
  echo "  $(rates "$hits" "u$t")"
done
ours a2 -o "$out/a.bam" --unmapped --threads=2
all=$(grep -o '[0-9]* records written' "$out/stderr" | cut -d' ' -f1)
echo "unsorted BAM, --unmapped, 2 threads: $(describe a2)"
echo "  $all records (the whole dataset): $(rates "$all" a2)"
ours sam1 -o "$out/u.sam"
echo "unsorted SAM, 1 thread:              $(describe sam1)"

# Ours and samtools' sorts in turns; each pair's ratio is taken under the
# same load.
for _ in $(seq "$runs"); do
  for t in 1 2; do
    run_once "s$t" "$bin/quilm2sam" "${args[@]}" -o "$out/s$t.bam" --sort --threads=$t
    # -@ counts the threads beside samtools' main one: -@0 is one thread.
    run_once "t$t" samtools sort -@$((t == 1 ? 0 : t)) -m 768M -o "$out/t$t.bam" "$out/u1.bam"
    tail -qn1 "$out/s$t.times" "$out/t$t.times" | paste -sd' ' |
      awk '{ print $1 / $4 }' >> "$out/ratio$t.times"
  done
done
ours s64 -o "$out/s64.bam" --sort --sort-memory=64 --threads=2
run_once index samtools index "$out/t2.bam"
for t in 1 2; do
  echo "sorted BAM + index, $t thread(s):      $(describe "s$t")"
  echo "samtools sort -@$((t == 1 ? 0 : t)) (u1.bam):           $(describe "t$t")"
  echo "  quilm2sam --sort (conversion and index included) / samtools sort: $(figure "ratio$t" 1 |
    awk '{ printf "%.2f", $1 }') (median of the paired runs)"
done
echo "sorted, 64 MiB runs, 2 threads:      $(describe s64)"
echo "  samtools index would take $(describe index | cut -d, -f1) more"

same() { cmp -s <(samtools view "$1") <(samtools view "$2"); }
same "$out/u1.bam" "$out/u2.bam" && same "$out/s1.bam" "$out/s2.bam" &&
  echo "records identical with 1 and 2 threads, sorted and unsorted"
same "$out/s2.bam" "$out/s64.bam" && echo "in-memory and spilled sorts agree"
echo "load at the end: $(cut -d' ' -f1-3 /proc/loadavg)"
