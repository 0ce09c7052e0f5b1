#!/usr/bin/env bash
# Runs quilm2 end to end with -C2 on a generated 200 Mbp genome in two
# segments (-F100) and 1 million 100-base reads (mismatches, some unmappable),
# and reports each stage's time from config.txt, the wall time and the peak
# memory of every process.
#   bench/pipeline.sh [build/bin] [cores=2]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
bin=$(cd "${1:-$root/build/bin}" && pwd)
cores=${2:-2}
data=${BENCH_DATA:-/tmp/quilm-bench-data}
mkdir -p "$data"
[ -f "$data/genome200.fa" ] || python3 "$root/bench/gen_data.py" genome "$data/genome200.fa" 200000000 8
[ -f "$data/reads1m.fq" ] || python3 "$root/bench/gen_data.py" reads "$data/genome200.fa" "$data/reads1m.fq" 1000000 100 0.05
work=$(mktemp -d /tmp/quilm-bench-pipeline.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"

# Samples the resident memory of every worker process while the run goes on.
(
  while sleep 0.5; do
    ps -C quilm_x,junctor -o pid=,comm=,rss= 2>/dev/null || true
  done
) > rss.samples &
sampler=$!
/usr/bin/time -f "%e %M" -o driver.time "$bin/quilm2" -R"$data/genome200.fa" -D"$data/reads1m.fq" \
  -O"$work/out" -W"$work/w" -C"$cores" -F100 > console.txt 2> stderr.txt
kill "$sampler" 2>/dev/null || true

echo "genome 200 Mbp in $(sed -n 4p config.txt | cut -d' ' -f1) segments, 1,000,000 reads, -C$cores, cores: $(nproc)"
grep -E 'Time|result' config.txt | sed 's/^/  /'
echo "wall time: $(cut -d' ' -f1 driver.time) s; driver peak RSS: $(( $(cut -d' ' -f2 driver.time) / 1024 )) MiB"
awk '{ if ($3 > max[$1 " " $2]) max[$1 " " $2] = $3 }
     END { for (p in max) printf "  worker %s: peak RSS %d MiB\n", p, max[p] / 1024 }' rss.samples | sort
tail -1 stderr.txt
