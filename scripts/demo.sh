#!/usr/bin/env bash
# Runs the splice driver on the bundled example and summarises its outputs.
set -euo pipefail
bin=$(cd "${1:-build/bin}" && pwd)
root=$(cd "$(dirname "$0")/.." && pwd)
run="$root/demo-run"
rm -rf "$run"
mkdir -p "$run"
cd "$run"
echo "== quilm2splice on examples/genome.fa (3 chromosomes, 450 kb) and examples/reads.fq.gz"
echo "   -C2: two worker processes; -S14,10: seed 14 for the whole reads, seed 10 for the split"
echo "   reads (the default 14,14 splits fewer reads; see \"Choosing options\" in docs/options.md);"
echo "   --bam: the rescue stage, with the known junctions of examples/genes.gtf, then a sorted,"
echo "   indexed BAM"
"$bin/quilm2splice" -R"$root/examples/genome.fa" -D"$root/examples/reads.fq.gz" \
  -O"$run/demo" -W"$run/work" -C2 -S14,10 --bam="$run/demo.bam" \
  --annotation="$root/examples/genes.gtf" >"$run/console.txt" 2>"$run/progress.txt"
echo "   console output: demo-run/console.txt; progress: demo-run/progress.txt;"
echo "   run log: demo-run/config.txt; BAM: demo-run/demo.bam with demo-run/demo.bam.bai"
echo
# The closing summary: how the reads aligned, with the rescued ones.
sed -n '/reads; of these:/,/overall alignment rate with rescued reads/p' "$run/progress.txt"
echo
if command -v samtools >/dev/null 2>&1; then
  echo "samtools flagstat demo.bam:"
  samtools flagstat demo.bam | sed 's/^/  /'
  echo
fi
reads=$(sed -n 4p config.txt | cut -d' ' -f2)
printf '%-22s %9s %15s\n' "output file" "records" "distinct reads"
total=0
for suffix in quilm2high quilm2low quilm2mutil splice-high splice-low splice-mutil; do
  f="demo-$suffix"
  if [ -f "$f" ]; then
    records=$(awk 'NR % 2 == 1' "$f" | wc -l)
    distinct=$(awk 'NR % 2 == 1 {print $1}' "$f" | sort -u | wc -l)
    total=$((total + distinct))
    printf '%-22s %9d %15d\n' "$f" "$records" "$distinct"
  else
    printf '%-22s %9s %15s\n' "$f" "-" "(not written)"
  fi
done
if [ -f demo-quilm2high ]; then
  echo "reads: $reads in all, $((reads - total)) left unmapped"
else
  echo "reads: $reads numbered; this build stops before the six output files are written"
  echo "work folder: $(ls work | tr '\n' ' ')"
fi
