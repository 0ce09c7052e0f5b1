#!/usr/bin/env bash
# Times the side tools on generated data and prints wall time, CPU time and
# peak memory of each run:
#   refjunc   1,000,000 split-read records and 200,000 transcript hits over one
#             250 Mbp chromosome (plus a small second chromosome);
#   tailfetch 10,000,000 reads of 100 bases against 5,000,000 result records.
#   bench/tools.sh [build/bin] [runs]
# Data are generated once into $BENCH_DATA (default /tmp/quilm-bench-tools,
# about 4 GB) and reused; outputs go to a temporary folder that is removed.
set -euo pipefail
root=$(cd "$(dirname "$0")/.." && pwd)
source "$root/bench/lib.sh"
bin=$(bench_bin "${1:-}")
runs=${2:-1}
data=$(bench_data /tmp/quilm-bench-tools)
mkdir -p "$data"
work=$(mktemp -d "${TMPDIR:-/tmp}/quilm-tools-XXXXXX")
trap 'rm -rf "$work"' EXIT

if [ ! -f "$data/genome.fa" ]; then
  python3 - "$data/genome.fa" <<'PY'
# chr1 of 250 Mbp and chr2 of 1 Mbp; only names and lengths matter to refjunc.
import sys
line = ("ACGTTGCAAC" * 6 + "\n").encode()
with open(sys.argv[1], "wb") as f:
    for name, length in (("chr1", 250_000_000), ("chr2", 1_000_000)):
        f.write(f">{name} generated chromosome\n".encode())
        full, rest = divmod(length, 60)
        block = line * 10000
        for _ in range(full // 10000):
            f.write(block)
        f.write(line * (full % 10000))
        if rest:
            f.write(line[:rest] + b"\n")
PY
fi

if [ ! -f "$data/run-splice-high" ]; then
  python3 - "$data" <<'PY'
# Split reads around 300,000 junction sites (so that merges within one
# position and conflicting acceptors, hence deferrals, occur), transcripts of
# 8 exons on chr1 and reads mapped onto them.
import random, sys
folder = sys.argv[1]
rng = random.Random(11)
pool = ["".join(rng.choice("ACGT") for _ in range(100)) for _ in range(256)]
sites = []
for _ in range(300_000):
    donor = rng.randrange(1000, 249_900_000)
    sites.append((donor, donor + rng.randrange(100, 50_000), "FR"[rng.randrange(2)]))
with open(f"{folder}/run-splice-high", "w") as f:
    out = []
    for read in range(1, 1_000_001):
        d, a, strand = sites[rng.randrange(len(sites))]
        d += rng.choice((0, 0, 0, -1, 1))
        a += rng.choice((0, 0, 0, 0, -1, 1, 7))
        split = rng.randrange(10, 90)
        p1, p2 = d - split - 1, a - split - 2
        out.append(f"{read}\t{pool[read % 256]}\n{strand}\tchr1\t{split}\t{rng.randrange(3)}\t{p1}\t{p2}\n")
        if len(out) == 10000:
            f.write("".join(out))
            out = []
    f.write("".join(out))
transcripts = []
with open(f"{folder}/refFlat.txt", "w") as f:
    for t in range(20_000):
        at = rng.randrange(1, 249_000_000)
        exons = []
        for _ in range(8):
            length = rng.randrange(60, 400)
            exons.append((at, at + length - 1))
            at += length + rng.randrange(100, 20_000)
        tid = f"NM_{t:06d}"
        strand = "+-"[rng.randrange(2)]
        transcripts.append((tid, sum(e - s + 1 for s, e in exons)))
        f.write(f"chr1\t{tid}\t{strand}\t8\t" + "".join(f"{s},{e}\t" for s, e in exons) + "\n")
with open(f"{folder}/transcript-hits", "w") as f:
    out = []
    for read in range(1, 200_001):
        tid, length = transcripts[rng.randrange(len(transcripts))]
        for _ in range(1 + (read % 5 == 0)):
            out.append(f"{read}\t{pool[read % 256]}\nF\t{tid}\t0\t{rng.randrange(length - 100)}\n")
    f.write("".join(out))
PY
fi

if [ ! -f "$data/reads.fq" ]; then
  python3 - "$data" <<'PY'
# 10 million 100-base reads; 5 million result records on random reads (some
# reads hit several times), in random order as a mapping output holds them.
import random, sys
folder = sys.argv[1]
rng = random.Random(5)
pool = ["".join(rng.choice("ACGT") for _ in range(100)) for _ in range(1024)]
qual = "I" * 100
with open(f"{folder}/reads.fq", "w") as f:
    out = []
    for read in range(1, 10_000_001):
        out.append(f"@read{read} generated\n{pool[read % 1024]}\n+\n{qual}\n")
        if len(out) == 20000:
            f.write("".join(out))
            out = []
    f.write("".join(out))
with open(f"{folder}/hits", "w") as f:
    out = []
    for _ in range(5_000_000):
        read = rng.randrange(1, 10_000_001)
        out.append(f"{read}\t{pool[read % 1024]}\nF\tchr{1 + read % 22}\t{read % 3}\t{rng.randrange(10**8)}\n")
        if len(out) == 20000:
            f.write("".join(out))
            out = []
    f.write("".join(out))
PY
fi

measure() {
  local label=$1
  shift
  /usr/bin/time -f "$label: %e s wall, %U s user, %S s system, %M KB peak" "$@" >/dev/null
}

mkdir -p "$work/refjunc"
for ((i = 1; i <= runs; i++)); do
  measure refjunc "$bin/refjunc" "-C$data/genome.fa" "-R$data/refFlat.txt" \
    "-F$data/transcript-hits" "-O$data/run" "-W$work/refjunc" -N10 -X50000
  echo "refjunc: $(wc -l <"$work/refjunc/junction") junctions," \
    "$(($(wc -l <"$work/refjunc/refFlat-splice") / 2)) transcript junction reads"
done
for ((i = 1; i <= runs; i++)); do
  cp "$data/hits" "$work/hits"
  measure tailfetch "$bin/tailfetch" "-F$data/reads.fq" "-R$work/hits" "-O$work/out.fq"
  echo "tailfetch: $(($(wc -l <"$work/out.fq") / 4)) output records"
  rm -f "$work/out.fq" "$work"/hits*
done
