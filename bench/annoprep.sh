#!/usr/bin/env bash
# Times annoprep on a 300 Mbp genome of 25 chromosomes and a GTF of 200,000
# transcripts (about 2 million exon lines), once with the plain GTF and once
# with it gzip'd; prints wall time and peak memory of each run.
#   bench/annoprep.sh [build/bin] [runs]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/bench/lib.sh"
bin=$(bench_bin "${1:-}")
runs=${2:-1}
data=$(bench_data /tmp/quilm-bench-data)
mkdir -p "$data"
genome="$data/genome300_25.fa"
gtf="$data/annoprep200k.gtf"
[ -f "$genome" ] || python3 "$root/bench/gen_data.py" genome "$genome" 300000000 25
if [ ! -f "$gtf" ]; then
  python3 - "$gtf" 200000 25 12000000 <<'PY'
# GENCODE-like lines: gene, transcript and exon lines per transcript, '-'
# exons in descending order, spread evenly over the chromosomes.
import random, sys
out, count, chroms, length = sys.argv[1], int(sys.argv[2]), int(sys.argv[3]), int(sys.argv[4])
rng = random.Random(7)
per = count // chroms
with open(out, "w") as f:
    f.write("##description: synthetic annotation\n")
    for c in range(1, chroms + 1):
        for t in range(per):
            tid, gid = f"ENST{c:02d}{t:09d}.1", f"ENSG{c:02d}{t:09d}.1"
            strand = "+-"[rng.randrange(2)]
            exons, at = [], rng.randrange(1, length - 200000)
            for _ in range(rng.randrange(1, 20)):
                size = rng.randrange(50, 300)
                exons.append((at, at + size - 1))
                at += size + rng.randrange(100, 5000)
            attr = f'gene_id "{gid}"; transcript_id "{tid}"; gene_type "protein_coding";'
            span = f"{exons[0][0]}\t{exons[-1][1]}\t.\t{strand}\t."
            f.write(f"chr{c}\tSYN\tgene\t{span}\t{attr}\n")
            f.write(f"chr{c}\tSYN\ttranscript\t{span}\t{attr} transcript_name \"T\";\n")
            if strand == "-":
                exons.reverse()
            for k, (s, e) in enumerate(exons, 1):
                f.write(f"chr{c}\tSYN\texon\t{s}\t{e}\t.\t{strand}\t.\t{attr} exon_number {k};\n")
PY
fi
[ -f "$gtf.gz" ] || gzip -c "$gtf" > "$gtf.gz"
work=$(mktemp -d /tmp/quilm-bench-annoprep.XXXXXX)
trap 'rm -rf "$work"' EXIT

echo "inputs: $(du -m "$genome" | cut -f1) MB genome, $(du -m "$gtf" | cut -f1) MB GTF" \
  "($(grep -c $'\texon\t' "$gtf") exon lines), $(du -m "$gtf.gz" | cut -f1) MB gzip'd; cores: $(nproc)"
for input in "$gtf" "$gtf.gz"; do
  for i in $(seq "$runs"); do
    /usr/bin/time -f "%e %M" -o "$work/time" "$bin/annoprep" -F"$genome" -G"$input" -Tgtf \
      -W"$work" 2>/dev/null
    read -r seconds kb < "$work/time"
    echo "$(basename "$input"): ${seconds} s, peak RSS $((kb / 1024)) MB (target under 60 s, 2048 MB)"
  done
done
echo "outputs: $(wc -l < "$work/refFlat.txt") refFlat lines, $(du -m "$work/refMrna_sort.fa" | cut -f1) MB refMrna_sort.fa"
