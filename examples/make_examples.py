#!/usr/bin/env python3
"""Builds the bundled example from the shared 1 Mbp region: three pieces of it
as three chromosomes, the annotation of the transcripts that lie inside them,
and the simulated reads that fall inside them (plus a few random reads that
belong nowhere), with their true origin in the pieces' coordinates."""
import gzip, random, re, sys

src = sys.argv[1] if len(sys.argv) > 1 else "../../shared/data"
PIECES = [("chrA", 0, 150000), ("chrB", 150000, 300000), ("chrC", 300000, 450000)]

seq = "".join(l.strip() for l in open(f"{src}/chr22_20M.fa") if not l.startswith(">"))
with open("genome.fa", "w") as out:
    for name, a, b in PIECES:
        out.write(f">{name} pieces of chr22 (GRCh37) {20000000 + a + 1}-{20000000 + b}\n")
        for i in range(a, b, 60):
            out.write(seq[i:min(i + 60, b)] + "\n")

def piece_of(start, end):
    for name, a, b in PIECES:
        if a <= start and end <= b:
            return name, a
    return None, None

# Annotation: transcripts wholly inside one piece, shifted into it.
tx_span = {}
lines = [l for l in open(f"{src}/chr22_20M.genes.gtf") if l.strip()]
for l in lines:
    f = l.split("\t")
    m = re.search(r'transcript_id "([^"]+)"', f[8])
    if f[2] == "exon" and m:
        s, e = int(f[3]) - 1, int(f[4])
        lo, hi = tx_span.get(m.group(1), (s, e))
        tx_span[m.group(1)] = (min(lo, s), max(hi, e))
with open("genes.gtf", "w") as out:
    for l in lines:
        f = l.split("\t")
        m = re.search(r'transcript_id "([^"]+)"', f[8])
        if f[2] == "gene" or not m or m.group(1) not in tx_span:
            continue
        name, a = piece_of(*tx_span[m.group(1)])
        if name:
            f[0], f[3], f[4] = name, str(int(f[3]) - a), str(int(f[4]) - a)
            out.write("\t".join(f))

def span(cigar):
    return sum(int(n) for n, op in re.findall(r"(\d+)([MDN=X])", cigar))

reads = []
with gzip.open(f"{src}/reads_10k.fq.gz", "rt") as fq:
    block = [l.rstrip("\n") for l in fq]
records = [block[i:i + 4] for i in range(0, len(block), 4)]
truth = [l.rstrip("\n").split("\t") for l in open(f"{src}/reads_10k.truth.tsv") if not l.startswith("#")]
kept = []
for rec, t in zip(records, truth):
    pos = int(t[2])
    name, a = piece_of(pos, pos + span(t[4]))
    if name:
        kept.append((rec, [name, str(pos - a)] + t[3:]))
rng = random.Random(7)
for i in range(40):
    s = "".join(rng.choice("ACGT") for _ in range(100))
    kept.insert(rng.randrange(len(kept)), ([f"@random{i + 1}", s, "+", "I" * 100],
                                           ["-", "-1", "-", "-", "0", "0", "-", "random", "-", "0"]))
with gzip.open("reads.fq.gz", "wt", compresslevel=9) as out, open("reads.truth.tsv", "w") as tr:
    tr.write("#read\tchrom\tpos0\tstrand\tcigar\tnsub\tnN\tindel\tsource\ttranscript\tmin_anchor\n")
    for k, (rec, t) in enumerate(kept, 1):
        out.write("\n".join(rec) + "\n")
        tr.write("\t".join([str(k)] + t) + "\n")
print(f"{len(kept)} reads")
