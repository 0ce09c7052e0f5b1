#!/usr/bin/env bash
# Times the splice worker junctor on one 100 Mbp segment with gene models
# (exons of 50 to 300 bases; GT-AG, GC-AG and AT-AC introns of 60 to 20,000
# bases on both strands) and 200,000 reads of 100 bases, at least half of
# them across a junction, with 0 to 2 mismatches. Runs seed 14 with the
# reduced index, seed 14 with the full index and seed 10; prints index time
# (a run over an empty read file), total time, peak memory and reads per
# second (from runs over the reads and over four times as many; by wall
# clock and by CPU time; each figure the best of RUNS=2 runs). When quilm_x is built, its peak memory on the same segment at seed
# 14 (reduced index) is printed beside.
#   bench/junctor.sh [build/bin] [read count] [segment Mbp]
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/bench/lib.sh"
bin=$(bench_bin "${1:-}")
reads=${2:-200000}
mbp=${3:-100}
runs=${RUNS:-2}
work=$(mktemp -d /tmp/quilm-bench-junctor.XXXXXX)
trap 'rm -rf "$work"' EXIT
cd "$work"
mkdir w

python3 - w/1.txt w/splice0.fastq "$reads" "$mbp" <<'PY'
import random, sys
seg_path, reads_path, count = sys.argv[1], sys.argv[2], int(sys.argv[3])
size = int(sys.argv[4]) * 1_000_000
rng = random.Random(42)
ACGT = bytes.maketrans(bytes(range(256)), b"ACGT" * 64)
COMP = bytes.maketrans(b"ACGT", b"TGCA")
genome = bytearray(rng.randbytes(size).translate(ACGT))
# Signals as they read on the plus strand; a minus-strand gene shows the
# reverse complement of its donor and acceptor.
plus = [(b"GT", b"AG")] * 16 + [(b"GC", b"AG")] * 3 + [(b"AT", b"AC")]
minus = [(b"CT", b"AC")] * 16 + [(b"CT", b"GC")] * 3 + [(b"GT", b"AT")]
transcripts = []  # (sequence, junction offsets within it)
at = 1000
while at < size - 200_000:
    strand = rng.randrange(2)
    exons = []
    for e in range(rng.randrange(2, 9)):
        length = rng.randrange(50, 301)
        exons.append((at, length))
        intron = int(60 * (20000 / 60) ** rng.random())  # log-uniform 60..20,000
        donor, acceptor = rng.choice(minus if strand else plus)
        end = at + length
        genome[end:end + 2] = donor
        genome[end + intron - 2:end + intron] = acceptor
        at = end + intron
    at += rng.randrange(1000, 20000)
    seq = b"".join(bytes(genome[s:s + n]) for s, n in exons)
    cuts, pos = [], 0
    for s, n in exons[:-1]:
        pos += n
        cuts.append(pos)
    transcripts.append((seq, cuts))
with open(seg_path, "wb") as f:
    f.write(b">bench\n")
    for i in range(0, size, 100):
        f.write(genome[i:i + 100] + b"\n")
with open(reads_path, "wb") as f:
    for number in range(1, count + 1):
        seq, cuts = rng.choice(transcripts)
        if number % 5 < 3:  # three reads in five cross a junction
            cut = rng.choice(cuts)
            start = min(max(cut - rng.randrange(10, 91), 0), len(seq) - 100)
        else:
            start = rng.randrange(0, len(seq) - 99)
        read = bytearray(seq[start:start + 100])
        for _ in range(rng.randrange(3)):
            read[rng.randrange(100)] = b"ACGT"[rng.randrange(4)]
        if rng.randrange(2):
            read = read[::-1].translate(COMP)
        f.write(b"%d\t%s\n" % (number, bytes(read)))
PY

mv w/splice0.fastq w/reads.fastq
for k in 0 1 2 3; do
  awk -v off=$((k * reads)) -F '\t' '{ print $1 + off "\t" $2 }' w/reads.fastq
done > w/reads4.fastq

write_config() {  # memory_reduction_toggle
  printf '%s\nref.fa\nout\n1 %d 100 2 0 14 1 1 0 1 %d 0\n10 50000 14\n' "$work/w" "$reads" "$1" \
    > config.txt
  echo "0 " > w/taskmpi.txt
}

# Runs a worker `runs` times; prints the least "wall_s cpu_s peak_KiB" seen,
# since other work on a shared machine only ever adds to them.
timed() {
  for _ in $(seq "$runs"); do
    /usr/bin/time -f "%e %U %S %M" -o t.out "$@"
    awk '{print $1, $2 + $3, $4}' t.out
  done | sort -n -k1,1 | awk 'NR == 1 {w = $1; c = $2; m = $3}
    NR > 1 {if ($2 < c) c = $2; if ($3 < m) m = $3}
    END {print w, c, m}'
}

run_case() {  # label, seed length, memory_reduction_toggle
  write_config "$3"
  : > w/splice0.fastq
  read -r index_s _ _ < <(timed "$bin/junctor" "$2" 0)
  cp w/reads.fastq w/splice0.fastq
  read -r total_s total_cpu peak_kib < <(timed "$bin/junctor" "$2" 0)
  records=$(($(wc -l < w/1.r) / 2))
  cp w/reads4.fastq w/splice0.fastq
  read -r total4_s total4_cpu _ < <(timed "$bin/junctor" "$2" 0)
  # Reads per second from the difference between 4x and 1x the reads, so
  # that the index build and its noise cancel out.
  awk -v l="$1" -v i="$index_s" -v t="$total_s" -v t4="$total4_s" -v c="$total_cpu" \
    -v c4="$total4_cpu" -v m="$peak_kib" -v n="$reads" -v r="$records" 'BEGIN {
      wall = t4 > t ? 3 * n / (t4 - t) : 0
      cpu = c4 > c ? 3 * n / (c4 - c) : 0
      printf "%-18s index %5.1f s  total %5.1f s  peak %5.0f MiB  %6.0f reads/s wall  %6.0f reads/s cpu  %d records\n",
             l, i, t, m / 1024, wall, cpu, r }'
}

echo "junctor: $mbp Mbp segment, $reads reads of 100 bases"
run_case "seed 14, reduced" 14 1
mv w/1.r w/reduced.r
run_case "seed 14, full" 14 0
if cmp -s w/1.r w/reduced.r; then
  echo "seed 14: reduced and full index wrote identical result files"
else
  echo "seed 14: reduced and full index result files DIFFER"
fi
run_case "seed 10" 10 1
if [ -x "$bin/quilm_x" ]; then
  write_config 1
  cp w/reads.fastq w/0.fastq
  read -r qx_s _ qx_kib < <(timed "$bin/quilm_x" 14 0)
  awk -v t="$qx_s" -v m="$qx_kib" 'BEGIN {
    printf "%-18s total %5.1f s  peak %5.0f MiB\n", "quilm_x 14, red.", t, m / 1024 }'
fi
