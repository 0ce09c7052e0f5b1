#!/usr/bin/env python3
"""RNA-like reads from a real genome region and its annotation, for the
end-to-end benchmark.

  e2e_gen.py GENOME.fa ANNOTATION.gtf OUT.fq COUNT [LENGTH] [SEED]

Reads of LENGTH bases (default 100): 75% drawn from the spliced sequences of
the annotated transcripts (a uniform start along the transcript, so reads
that cover an exon boundary cross a junction), 25% from the genome (intronic
and intergenic sequence, never over an N). Each read gets 0 to 3 mismatches
and is reverse-complemented half the time. The same SEED (default 11) gives
the same file.
"""
import random, re, sys

COMP = bytes.maketrans(b"ACGTacgtNn", b"TGCAtgcaNn")


def load(path):
    seqs, name, cur = {}, None, []
    for line in open(path, "rb"):
        if line.startswith(b">"):
            if name is not None:
                seqs[name] = b"".join(cur).upper()
            name, cur = line[1:].split()[0].decode(), []
        else:
            cur.append(line.strip())
    if name is not None:
        seqs[name] = b"".join(cur).upper()
    return seqs


def transcripts(path, seqs, length):
    exons = {}
    for line in open(path):
        f = line.rstrip("\n").split("\t")
        if len(f) < 9 or f[2] != "exon" or f[0] not in seqs:
            continue
        m = re.search(r'transcript_id "([^"]+)"', f[8])
        if m:
            key = (f[0], f[6], m.group(1))
            exons.setdefault(key, []).append((int(f[3]) - 1, int(f[4])))
    out = []
    for (chrom, strand, _), ex in sorted(exons.items()):
        ex.sort()
        s = b"".join(seqs[chrom][a:b] for a, b in ex)
        if strand == "-":
            s = s[::-1].translate(COMP)
        if len(s) >= length and b"N" not in s:
            out.append(s)
    return out


def main():
    if len(sys.argv) < 5:
        sys.exit(__doc__)
    genome, gtf, out, count = sys.argv[1], sys.argv[2], sys.argv[3], int(sys.argv[4])
    length = int(sys.argv[5]) if len(sys.argv) > 5 else 100
    rng = random.Random(int(sys.argv[6]) if len(sys.argv) > 6 else 11)
    seqs = load(genome)
    txs = transcripts(gtf, seqs, length)
    if not txs:
        sys.exit("no transcript of %d bases or more in %s" % (length, gtf))
    # Transcripts are drawn in proportion to the reads they can give.
    cum, total = [], 0
    for t in txs:
        total += len(t) - length + 1
        cum.append(total)
    chroms = [s for s in seqs.values() if len(s) > length]
    qual = b"I" * length
    with open(out, "wb") as f:
        for i in range(count):
            if rng.random() < 0.75:
                t = rng.choices(txs, cum_weights=cum)[0]
                at = rng.randrange(len(t) - length + 1)
                r = bytearray(t[at:at + length])
            else:
                s = rng.choice(chroms)
                while True:
                    at = rng.randrange(len(s) - length + 1)
                    r = bytearray(s[at:at + length])
                    if b"N" not in r:
                        break
            for _ in range(rng.randrange(4)):
                at = rng.randrange(length)
                r[at] = b"ACGT"[(b"ACGT".find(r[at:at + 1]) + rng.randrange(1, 4)) % 4]
            r = bytes(r)
            if rng.random() < 0.5:
                r = r[::-1].translate(COMP)
            f.write(b"@r%d\n%s\n+\n%s\n" % (i + 1, r, qual))


if __name__ == "__main__":
    main()
