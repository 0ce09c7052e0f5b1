#!/usr/bin/env bash
# Runs a driver end to end on a generated 200 Mbp genome in two segments
# (-F100) and 1 million 100-base reads, and reports each stage's time from
# config.txt, the wall time and the peak memory of every process.
#   quilm2:       reads with mismatches, some unmappable
#   quilm2splice: the genome with gene models, RNA-like reads (a third across
#                 a junction)
#   bench/pipeline.sh [build/bin] [cores=2] [quilm2|quilm2splice]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/bench/lib.sh"
bin=$(bench_bin "${1:-}")
cores=${2:-2}
driver=${3:-quilm2}
data=$(bench_data /tmp/quilm-bench-data)
mkdir -p "$data"
[ -f "$data/genome200.fa" ] || python3 "$root/bench/gen_data.py" genome "$data/genome200.fa" 200000000 8
if [ "$driver" = quilm2splice ]; then
  if [ ! -f "$data/rna1m.fq" ]; then
    cp "$data/genome200.fa" "$data/genome200rna.fa"
    python3 "$root/bench/gen_data.py" rna "$data/genome200rna.fa" "$data/rna1m.fq" 1000000
  fi
  genome="$data/genome200rna.fa" reads="$data/rna1m.fq"
else
  [ -f "$data/reads1m.fq" ] || python3 "$root/bench/gen_data.py" reads "$data/genome200.fa" "$data/reads1m.fq" 1000000 100 0.05
  genome="$data/genome200.fa" reads="$data/reads1m.fq"
fi
work=$(mktemp -d /tmp/quilm-bench-pipeline.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"

# The driver runs in the background; the resident memory of its worker
# processes (its children) is sampled while the run goes on.
start=$(date +%s.%N)
"$bin/$driver" -R"$genome" -D"$reads" -O"$work/out" -W"$work/w" -C"$cores" -F100 \
  > console.txt 2> stderr.txt &
driver_pid=$!
while kill -0 "$driver_pid" 2>/dev/null; do
  ps --ppid "$driver_pid" -o pid=,comm=,rss= 2>/dev/null >> rss.samples || true
  sleep 0.5
done
wait "$driver_pid"
end=$(date +%s.%N)

echo "$driver: genome 200 Mbp in $(sed -n 4p config.txt | cut -d' ' -f1) segments, 1,000,000 reads, -C$cores, cores: $(nproc)"
grep -E 'Time|result' config.txt | sed 's/^/  /'
awk -v a="$start" -v b="$end" 'BEGIN {printf "wall time: %.1f s\n", b - a}'
awk '{ if ($3 > max[$1 " " $2]) max[$1 " " $2] = $3 }
     END { for (p in max) printf "  worker %s: peak RSS %d MiB\n", p, max[p] / 1024 }' rss.samples | sort
tail -1 stderr.txt
