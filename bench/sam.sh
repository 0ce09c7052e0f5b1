#!/usr/bin/env bash
# Converts the outputs of a quilm2splice run (generated 200 Mbp genome in two
# segments, 1 million 100-base reads, -C2 -F100, as bench/pipeline.sh) with
# quilm2sam: unsorted BAM (the hits alone, and with --unmapped the whole
# dataset), coordinate-sorted BAM with index, and for
# comparison `samtools sort` (one thread, 768 MiB) of the same records.
# Reports wall time, CPU time, records per second and peak memory.
#   bench/sam.sh [build/bin]
# The splice run is made once and kept in $BENCH_SAM (default /tmp/quilm-bench-sam).
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "${1:-$root/build/bin}" && pwd)
data=${BENCH_DATA:-/tmp/quilm-bench-data}
keep=${BENCH_SAM:-/tmp/quilm-bench-sam}
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

# Runs a command under /usr/bin/time; prints "wall s, cpu s, peak MiB".
timed() {
  /usr/bin/time -f "%e %U %S %M" -o "$out/time" "$@" 2> "$out/stderr" || { cat "$out/stderr"; exit 1; }
  awk '{ printf "%.2f s wall, %.2f s CPU, peak %d MiB", $1, $2 + $3, $4 / 1024 }' "$out/time"
}
wall() { cut -d' ' -f1 "$out/time"; }
cpu() { awk '{ print $2 + $3 }' "$out/time"; }

args=(-R"$data/genome200.fa" -D"$keep/reads1m.fq" -O"$keep/run")
hits=$(cat "$keep"/run-quilm2* "$keep"/run-splice-* | awk 'END { print NR / 2 }')
echo "records: $hits hits of 1,000,000 reads; machine: $(nproc) cores, load $(cut -d' ' -f1 /proc/loadavg)"

echo "unsorted BAM:          $(timed "$bin/quilm2sam" "${args[@]}" -o "$out/u.bam")"
echo "  $(awk -v n="$hits" -v w="$(wall)" -v c="$(cpu)" 'BEGIN { printf "%.0f records/s wall, %.0f records/s per CPU second", n / w, n / c }')"
echo "unsorted BAM, --unmapped: $(timed "$bin/quilm2sam" "${args[@]}" -o "$out/a.bam" --unmapped)"
all=$(grep -o '[0-9]* records written' "$out/stderr" | cut -d' ' -f1)
echo "  $all records (the whole dataset): $(awk -v n="$all" -v w="$(wall)" -v c="$(cpu)" 'BEGIN { printf "%.0f records/s wall, %.0f records/s per CPU second", n / w, n / c }')"
echo "unsorted SAM:          $(timed "$bin/quilm2sam" "${args[@]}" -o "$out/u.sam")"
echo "sorted BAM + index:    $(timed "$bin/quilm2sam" "${args[@]}" -o "$out/s.bam" --sort)"
ours=$(wall)
echo "sorted, 64 MiB runs:   $(timed "$bin/quilm2sam" "${args[@]}" -o "$out/s64.bam" --sort --sort-memory=64)"
echo "samtools sort (u.bam): $(timed samtools sort -m 768M -o "$out/t.bam" "$out/u.bam")"
theirs=$(wall)
echo "  sort + index time of samtools: $(timed samtools index "$out/t.bam" | cut -d, -f1) more"
cmp <(samtools view "$out/s.bam") <(samtools view "$out/s64.bam") && echo "  in-memory and spilled sorts agree"
awk -v a="$ours" -v b="$theirs" 'BEGIN { printf "quilm2sam --sort (conversion included) / samtools sort: %.2f\n", a / b }'
