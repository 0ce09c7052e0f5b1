#!/usr/bin/env python3
"""Synthetic data for the benchmarks: a genome-like FASTA (repeat families
copied with mutations, soft-masked stretches, N gaps) and reads drawn from it
with mismatches on both strands, plus some reads that belong nowhere.

  gen_data.py genome OUT.fa TOTAL_BASES CHROMOSOMES [SEED]
  gen_data.py reads GENOME.fa OUT.fq COUNT [LENGTH] [UNMAPPABLE_FRACTION] [SEED]
  gen_data.py rna GENOME.fa OUT.fq COUNT [SEED]
    gene models (exons of 50 to 300 bases; GT-AG, GC-AG and AT-AC introns of
    60 to 20,000 bases on both strands) placed into GENOME.fa, rewritten in
    place, and 100-base reads: a third across a junction, the rest from the
    genome, 5% from nowhere; 0 to 2 mismatches, both strands.
"""
import os, random, sys

ACGT = bytes.maketrans(bytes(range(256)), (b"ACGT" * 64))
COMP = bytes.maketrans(b"ACGTacgtN", b"TGCAtgcaN")


def random_bases(rng, n):
    return rng.randbytes(n).translate(ACGT)


def genome(out, total, chromosomes, seed=1):
    rng = random.Random(seed)
    families = [random_bases(rng, rng.randrange(300, 6000)) for _ in range(40)]
    per = total // chromosomes
    with open(out, "wb") as f:
        for c in range(chromosomes):
            seq = bytearray(random_bases(rng, per))
            # Repeat copies with a few mutations: about 10% of the chromosome.
            for _ in range(per // 30000):
                fam = bytearray(rng.choice(families))
                for _ in range(len(fam) // 50):
                    fam[rng.randrange(len(fam))] = b"ACGT"[rng.randrange(4)]
                at = rng.randrange(0, per - len(fam))
                seq[at:at + len(fam)] = fam
            for _ in range(per // 200000):  # soft-masked stretches
                at, n = rng.randrange(per), rng.randrange(200, 3000)
                seq[at:at + n] = bytes(seq[at:at + n]).lower()
            for _ in range(max(1, per // 5000000)):  # assembly gaps
                at, n = rng.randrange(per), rng.randrange(1000, 50000)
                seq[at:at + n] = b"N" * len(seq[at:at + n])
            f.write(b">chr%d synthetic\n" % (c + 1))
            for i in range(0, per, 60):
                f.write(seq[i:i + 60] + b"\n")


def load(path):
    seqs, cur = [], []
    for line in open(path, "rb"):
        if line.startswith(b">"):
            if cur:
                seqs.append(b"".join(cur))
            cur = []
        else:
            cur.append(line.strip())
    if cur:
        seqs.append(b"".join(cur))
    return seqs


def reads(genome_path, out, count, length=100, unmappable=0.05, seed=2):
    rng = random.Random(seed)
    seqs = [s.upper() for s in load(genome_path)]
    qual = b"I" * length
    with open(out, "wb") as f:
        for i in range(count):
            if rng.random() < unmappable:
                r = random_bases(rng, length)
            else:
                s = seqs[rng.randrange(len(seqs))]
                while True:
                    at = rng.randrange(len(s) - length)
                    r = bytearray(s[at:at + length])
                    if b"N" not in r:
                        break
                for _ in range(rng.randrange(4)):
                    r[rng.randrange(length)] = b"ACGT"[rng.randrange(4)]
                r = bytes(r)
                if rng.random() < 0.5:
                    r = r[::-1].translate(COMP)
            f.write(b"@read%d\n%s\n+\n%s\n" % (i + 1, r, qual))


def rna(genome_path, out, count, seed=3):
    rng = random.Random(seed)
    names, seqs = [], []
    for line in open(genome_path, "rb"):
        if line.startswith(b">"):
            names.append(line.rstrip(b"\n"))
            seqs.append([])
        else:
            seqs[-1].append(line.strip())
    seqs = [bytearray(b"".join(s)) for s in seqs]
    signals = [(b"GT", b"AG")] * 16 + [(b"GC", b"AG")] * 3 + [(b"AT", b"AC")]
    transcripts = []
    for s in seqs:
        at = 10000
        while at < len(s) - 300000:
            exons = []
            for _ in range(rng.randrange(2, 8)):
                n = rng.randrange(50, 301)
                exons.append((at, at + n))
                at += n
                donor, acceptor = rng.choice(signals)
                intron = rng.randrange(60, 20001)
                s[at:at + 2] = donor
                s[at + intron - 2:at + intron] = acceptor
                at += intron
            tx = b"".join(bytes(s[a:b]) for a, b in exons).upper()
            if b"N" not in tx and len(tx) > 150:
                ends, total = [], 0
                for a, b in exons[:-1]:
                    total += b - a
                    ends.append(total)
                transcripts.append((tx, ends))
            at += rng.randrange(20000, 200000)
    with open(genome_path, "wb") as f:
        for name, s in zip(names, seqs):
            f.write(name + b"\n")
            for i in range(0, len(s), 60):
                f.write(bytes(s[i:i + 60]) + b"\n")
    upper = [bytes(s).upper() for s in seqs]
    with open(out, "wb") as f:
        for i in range(count):
            kind = rng.random()
            if kind < 0.05:
                r = random_bases(rng, 100)
            elif kind < 0.38:
                tx, ends = rng.choice(transcripts)
                cut = rng.choice(ends)
                lo, hi = max(0, cut - 90), min(len(tx) - 100, cut - 10)
                r = bytearray(tx[rng.randrange(lo, hi + 1) if hi >= lo else 0:][:100])
            else:
                s = upper[rng.randrange(len(upper))]
                while True:
                    at = rng.randrange(len(s) - 100)
                    r = bytearray(s[at:at + 100])
                    if b"N" not in r:
                        break
            r = bytearray(r)
            for _ in range(rng.randrange(3)):
                r[rng.randrange(len(r))] = b"ACGT"[rng.randrange(4)]
            r = bytes(r)
            if rng.random() < 0.5:
                r = r[::-1].translate(COMP)
            f.write(b"@read%d\n%s\n+\n%s\n" % (i + 1, r, b"I" * len(r)))


if __name__ == "__main__":
    kind = sys.argv[1]
    if kind == "genome":
        genome(sys.argv[2], int(sys.argv[3]), int(sys.argv[4]), *(int(a) for a in sys.argv[5:6]))
    elif kind == "reads":
        extra = sys.argv[5:]
        reads(sys.argv[2], sys.argv[3], int(sys.argv[4]),
              int(extra[0]) if len(extra) > 0 else 100,
              float(extra[1]) if len(extra) > 1 else 0.05,
              int(extra[2]) if len(extra) > 2 else 2)
    elif kind == "rna":
        rna(sys.argv[2], sys.argv[3], int(sys.argv[4]), *(int(a) for a in sys.argv[5:6]))
    else:
        sys.exit(__doc__)
