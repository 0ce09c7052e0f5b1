#!/usr/bin/env python3
"""Simulated RNA-seq reads with their true alignments, single-end or paired.

  simulate_reads.py GENOME.fa ANNOTATION.gtf --count=N --reads=OUT.fq --truth=TRUTH.tsv [options]
  simulate_reads.py GENOME.fa ANNOTATION.gtf --count=N --reads=R1.fq --mates=R2.fq \\
      --truth=TRUTH.tsv [--interleaved=BOTH.fq] [options]

Single-end (no --mates): N reads named r1..rN. Paired (--mates): N pairs, mate 1
in --reads and mate 2 in --mates, named p<k>/1 and p<k>/2 (the FASTQ headers
too); --interleaved also writes p1/1, p1/2, p2/1, ... into one file, the order
in which a run of both mate files numbers the reads.

Sources. A share of the reads (--genomic-share, default 0.25) comes from the
genome as unspliced fragments: a chromosome in proportion to its length, a
uniform start, redrawn while the fragment covers an N (so intronic and
intergenic sequence, and sometimes exons). The rest comes from the spliced
sequences of the annotated transcripts (the GTF's exon lines joined by
transcript_id; touching or overlapping exons merged; transcripts containing
an N left out): every fragment of the drawn size that lies wholly inside a
transcript is equally likely, so a transcript shorter than the fragment gives
none, and reads covering an exon boundary cross a junction. Fragments are
taken on the genome's forward strand and mate 1's strand is drawn afterwards,
so the transcript's strand only names its splice strand in the truth (the
reads are unstranded).

Fragments. Single-end: the read itself. Paired: a fragment (insert) of
uniform length in [--insert-min, --insert-max] (default 200-500 bases); with
probability 1/2 mate 1 is the fragment's left end read forward and mate 2 the
reverse complement of its right end, otherwise the other way round, so mate 1
lies on the forward strand of the genome half the time.

Errors. Each read gets 0 to --max-mismatches substitutions (uniform, default
3) at distinct positions, none in inserted bases. A share of the reads
(--indel-share, default 0) gets one insertion or deletion of 1 to 3 bases at
least 10 read bases from either end and at least 5 bases from an exon
boundary (a read with no such place keeps none); a deletion makes the read
cover 1 to 3 more genome bases, an insertion fewer. Qualities are all 'I'.

Truth (TSV, header line starting with '#', one line per read in file order):
  name        r<k>, or p<k>/1 and p<k>/2
  chrom       chromosome
  pos         1-based leftmost genome position of the alignment
  strand      + when the read's sequence is the genome's forward strand
  cigar       on the genome: M, N (intron), I, D
  mismatches  substitutions against the genome
  pair        p<k>, or - for single-end reads
  mate        1 or 2, or 0 for single-end reads
  source      transcript_id, or 'genome'
  tx_strand   the source transcript's strand (+ or -), '.' for the genome

A FASTQ or truth name ending in .gz is written gzip-compressed. The same SEED
(default 11) and options give the same files. A summary goes to stderr.

Options: --length=100 (read length), --seed=11, --genomic-share=0.25,
--max-mismatches=3, --indel-share=0, --insert-min=200, --insert-max=500.
"""
import argparse, bisect, gzip, random, re, sys

COMP = bytes.maketrans(b"ACGTN", b"TGCAN")
BASES = b"ACGT"
OTHER_BASE = {b: [o for o in BASES if o != b] for b in BASES}
END_MARGIN = 10  # read bases kept between an indel and either end of the read
JUNCTION_MARGIN = 5  # genome bases kept between an indel and an exon boundary
MAX_INDEL = 3


class Source:
    """A sequence reads are drawn from: a spliced transcript or a chromosome,
    on the genome's forward strand, with the genome blocks that make it."""

    __slots__ = ("name", "chrom", "strand", "starts", "ends", "offsets", "seq")

    def __init__(self, name, chrom, strand, blocks, seq):
        self.name, self.chrom, self.strand, self.seq = name, chrom, strand, seq
        self.starts = [a for a, _ in blocks]
        self.ends = [b for _, b in blocks]
        self.offsets, at = [], 0
        for a, b in blocks:
            self.offsets.append(at)
            at += b - a

    def genome_blocks(self, a, b):
        """The genome intervals [start, end) of the sequence's bases [a, b)."""
        i = bisect.bisect_right(self.offsets, a) - 1
        out = []
        while a < b:
            g = self.starts[i] + a - self.offsets[i]
            take = min(b - a, self.ends[i] - g)
            out.append((g, g + take))
            a += take
            i += 1
        return out


def fail(message):
    sys.exit("simulate_reads.py: error: " + message)


def load_genome(path):
    seqs, name, cur = {}, None, []
    try:
        with open(path, "rb") as f:
            for line in f:
                if line.startswith(b">"):
                    if name is not None:
                        seqs[name] = b"".join(cur).upper()
                    name, cur = (line[1:].split() or [b""])[0].decode(), []
                elif name is None and line.strip():
                    fail("%s: sequence before the first '>' header" % path)
                else:
                    cur.append(line.strip())
    except OSError as e:
        fail("%s: %s" % (path, e.strerror))
    if name is not None:
        seqs[name] = b"".join(cur).upper()
    if not seqs or not any(seqs.values()):
        fail("%s: no sequence" % path)
    return seqs


def load_transcripts(path, seqs):
    exons = {}
    try:
        with open(path) as f:
            for number, line in enumerate(f, 1):
                fields = line.rstrip("\n").split("\t")
                if len(fields) < 9 or fields[2] != "exon" or fields[0] not in seqs:
                    continue
                m = re.search(r'transcript_id "([^"]+)"', fields[8])
                if not m:
                    continue
                try:
                    a, b = int(fields[3]) - 1, int(fields[4])
                except ValueError:
                    fail("%s line %d: exon start or end is not a number" % (path, number))
                if not 0 <= a < b <= len(seqs[fields[0]]):
                    fail("%s line %d: exon %d-%d outside %s" % (path, number, a + 1, b, fields[0]))
                exons.setdefault((fields[0], fields[6], m.group(1)), []).append((a, b))
    except OSError as e:
        fail("%s: %s" % (path, e.strerror))
    out = []
    for (chrom, strand, tid), ex in sorted(exons.items()):
        merged = []
        for a, b in sorted(ex):
            if merged and a <= merged[-1][1]:
                merged[-1] = (merged[-1][0], max(merged[-1][1], b))
            else:
                merged.append((a, b))
        seq = b"".join(seqs[chrom][a:b] for a, b in merged)
        if b"N" not in seq:
            out.append(Source(tid, chrom, strand, merged, seq))
    return out


class Drawer:
    """Draws (source, start) for fragments of a given size: every placement
    of the fragment wholly inside an eligible source is equally likely."""

    def __init__(self, sources, smallest, avoid_n):
        self.sources = [s for s in sources if len(s.seq) >= smallest]
        self.smallest, self.avoid_n = smallest, avoid_n
        self.cum, total = [], 0
        for s in self.sources:
            total += len(s.seq) - smallest + 1
            self.cum.append(total)

    def draw(self, rng, size):
        # Placements of the smallest size are drawn uniformly and those that
        # do not fit the actual size are drawn again: uniform over the rest.
        for _ in range(100000):
            s = rng.choices(self.sources, cum_weights=self.cum)[0]
            at = rng.randrange(len(s.seq) - self.smallest + 1)
            if at + size <= len(s.seq) and not (self.avoid_n and b"N" in s.seq[at:at + size]):
                return s, at
        fail("no room for a fragment of %d bases" % size)


def indel_place(rng, kind, size, length, seg_blocks):
    """A read offset for an indel, or None: END_MARGIN read bases from both
    ends and JUNCTION_MARGIN genome bases from every exon boundary."""
    boundaries, at = [], 0
    for a, b in seg_blocks[:-1]:
        at += b - a
        boundaries.append(at)
    last = length - END_MARGIN - (size if kind == "I" else 0)
    for _ in range(10):
        if last < END_MARGIN:
            return None
        q = rng.randint(END_MARGIN, last)
        # Genome bases of the segment the indel lies between.
        lo, hi = (q, q + size) if kind == "D" else (q, q)
        if all(hi <= c - JUNCTION_MARGIN or lo >= c + JUNCTION_MARGIN for c in boundaries):
            return q
    return None


def cigar_of(seg_blocks, indel):
    """CIGAR of genome blocks with an optional (kind, offset, size) indel,
    the offset counted in genome bases from the segment's start."""
    ops, at, prev_end = [], 0, None
    for a, b in seg_blocks:
        if prev_end is not None:
            ops.append("%dN" % (a - prev_end))
        n = b - a
        if indel and at <= indel[1] < at + n:
            kind, q, size = indel
            ops.append("%dM%d%s" % (q - at, size, kind))
            ops.append("%dM" % (at + n - q - (size if kind == "D" else 0)))
        else:
            ops.append("%dM" % n)
        at, prev_end = at + n, b
    return "".join(ops)


def draw_indel(rng, opts):
    """(kind, size) of a read's indel, kind 'I', 'D' or None."""
    if opts.indel_share and rng.random() < opts.indel_share:
        return rng.choice("ID"), rng.randint(1, MAX_INDEL)
    return None, 0


def span_of(length, kind, size):
    """Genome bases a read of `length` covers with its indel."""
    return length + (size if kind == "D" else -size if kind == "I" else 0)


def make_read(rng, opts, src, anchor, forward, indel):
    """One read from src with the indel drawn for it, anchored at offset
    `anchor` (its leftmost base when forward, one past its rightmost
    otherwise). Returns (bases, truth fields), or None when the indel found no
    place and the exact read that replaces it would leave src or cover an N."""
    length = opts.length
    kind, size = indel
    span = span_of(length, kind, size)
    a = anchor if forward else anchor - span
    seg_blocks = src.genome_blocks(a, a + span)
    q = indel_place(rng, kind, size, length, seg_blocks) if kind else None
    if kind and q is None:
        kind, span = None, length
        a = anchor if forward else anchor - span
        if a < 0 or a + span > len(src.seq) or b"N" in src.seq[a:a + span]:
            return None
        seg_blocks = src.genome_blocks(a, a + span)
    seg = src.seq[a:a + span]
    pool = range(length)
    if kind == "D":
        read = bytearray(seg[:q] + seg[q + size:])
    elif kind == "I":
        read = bytearray(seg[:q] + bytes(rng.choice(BASES) for _ in range(size)) + seg[q:])
        pool = [i for i in pool if not q <= i < q + size]
    else:
        read = bytearray(seg)
    spots = rng.sample(pool, min(len(pool), rng.randint(0, opts.max_mismatches)))
    for i in spots:
        read[i] = rng.choice(OTHER_BASE[read[i]])
    cigar = cigar_of(seg_blocks, (kind, q, size) if kind else None)
    bases = bytes(read) if forward else bytes(read)[::-1].translate(COMP)
    truth = (src.chrom, seg_blocks[0][0] + 1, "+" if forward else "-", cigar, len(spots),
             src.name if src.strand != "." else "genome", src.strand)
    return bases, truth


def single_read(rng, opts, drawer):
    """A single-end read: its indel decides its genome span, so that is drawn
    first and placed like a fragment of that size."""
    while True:
        forward = rng.random() < 0.5
        indel = draw_indel(rng, opts)
        span = span_of(opts.length, *indel)
        src, at = drawer.draw(rng, span)
        read = make_read(rng, opts, src, at if forward else at + span, forward, indel)
        if read:
            return read


class Output:
    """A FASTQ or TSV output, gzip'd when its name ends in .gz."""

    def __init__(self, path):
        self.path = path
        try:
            self.f = gzip.open(path, "wb", compresslevel=4) if path.endswith(".gz") else open(path, "wb")
        except OSError as e:
            fail("%s: %s" % (path, e.strerror))

    def write(self, data):
        try:
            self.f.write(data)
        except OSError as e:
            fail("%s: %s" % (self.path, e.strerror))

    def close(self):
        try:
            self.f.close()
        except OSError as e:
            fail("%s: %s" % (self.path, e.strerror))


def parse_options(argv):
    p = argparse.ArgumentParser(prog="simulate_reads.py", description=__doc__.split("\n\n")[0])
    p.add_argument("genome")
    p.add_argument("annotation")
    p.add_argument("--count", type=int, required=True, help="reads, or pairs with --mates")
    p.add_argument("--reads", required=True, help="FASTQ of the reads (mate 1 with --mates)")
    p.add_argument("--mates", help="FASTQ of mate 2: paired mode")
    p.add_argument("--interleaved", help="with --mates: both mates, pair by pair, in one FASTQ")
    p.add_argument("--truth", required=True, help="truth table (TSV)")
    p.add_argument("--length", type=int, default=100, help="read length (default 100)")
    p.add_argument("--seed", type=int, default=11, help="random seed (default 11)")
    p.add_argument("--genomic-share", type=float, default=0.25,
                   help="share of reads (pairs) from the genome, not the transcripts (default 0.25)")
    p.add_argument("--max-mismatches", type=int, default=3, help="0 to this many per read (default 3)")
    p.add_argument("--indel-share", type=float, default=0.0,
                   help="share of reads with one 1-3 base indel (default 0)")
    p.add_argument("--insert-min", type=int, default=200, help="shortest fragment of a pair (default 200)")
    p.add_argument("--insert-max", type=int, default=500, help="longest fragment of a pair (default 500)")
    o = p.parse_args(argv)
    if o.count < 0:
        p.error("--count must not be negative")
    if o.length < 1:
        p.error("--length must be at least 1")
    for name in ("genomic_share", "indel_share"):
        if not 0 <= getattr(o, name) <= 1:
            p.error("--%s must lie between 0 and 1" % name.replace("_", "-"))
    if not 0 <= o.max_mismatches <= o.length:
        p.error("--max-mismatches must lie between 0 and --length")
    if o.interleaved and not o.mates:
        p.error("--interleaved needs --mates")
    if o.mates and not o.length + MAX_INDEL <= o.insert_min <= o.insert_max:
        p.error("--insert-min must be at least --length + %d and at most --insert-max" % MAX_INDEL)
    return o


def fastq(name, bases, qual):
    return b"@%s\n%s\n+\n%s\n" % (name, bases, qual)


def main(argv):
    opts = parse_options(argv)
    seqs = load_genome(opts.genome)
    txs = load_transcripts(opts.annotation, seqs)
    paired = opts.mates is not None
    # The shortest genome span a fragment can have: an insertion shortens a
    # single-end read's span.
    if paired:
        smallest = opts.insert_min
    else:
        smallest = max(1, opts.length - MAX_INDEL) if opts.indel_share else opts.length
    genome = Drawer([Source(c, c, ".", [(0, len(s))], s) for c, s in seqs.items()], smallest, True)
    tx = Drawer(txs, smallest, False)
    if not tx.sources and opts.genomic_share < 1:
        fail("%s: no transcript of %d bases or more" % (opts.annotation, smallest))
    if not genome.sources and opts.genomic_share > 0:
        fail("%s: no chromosome of %d bases or more" % (opts.genome, smallest))
    rng = random.Random(opts.seed)
    outs = [Output(p) for p in (opts.reads, opts.mates, opts.interleaved, opts.truth) if p]
    reads1, reads2 = outs[0], outs[1] if paired else None
    both = outs[2] if opts.interleaved else None
    truth = outs[-1]
    truth.write(b"#name\tchrom\tpos\tstrand\tcigar\tmismatches\tpair\tmate\tsource\ttx_strand\n")
    qual = b"I" * opts.length
    stats = {"reads": 0, "spliced": 0, "multi": 0, "indel": 0, "genome": 0}

    def emit(out, name, pair, mate, read):
        bases, t = read
        out.write(fastq(name, bases, qual))
        truth.write(("%s\t%s\t%d\t%s\t%s\t%d\t%s\t%d\t%s\t%s\n" % ((name.decode(),) + t[:5] + (pair, mate) + t[5:])).encode())
        stats["reads"] += 1
        stats["spliced"] += "N" in t[3]
        stats["multi"] += t[3].count("N") >= 2
        stats["indel"] += "I" in t[3] or "D" in t[3]
        stats["genome"] += t[5] == "genome"

    for k in range(1, opts.count + 1):
        drawer = genome if rng.random() < opts.genomic_share else tx
        if paired:
            size = rng.randint(opts.insert_min, opts.insert_max)
            src, at = drawer.draw(rng, size)
            first_forward = rng.random() < 0.5
            # The fragment holds both mates with any indel, so neither is None.
            left = make_read(rng, opts, src, at, True, draw_indel(rng, opts))
            right = make_read(rng, opts, src, at + size, False, draw_indel(rng, opts))
            m1, m2 = (left, right) if first_forward else (right, left)
            pair = "p%d" % k
            emit(reads1, b"%s/1" % pair.encode(), pair, 1, m1)
            emit(reads2, b"%s/2" % pair.encode(), pair, 2, m2)
            if both:
                both.write(fastq(b"%s/1" % pair.encode(), m1[0], qual) + fastq(b"%s/2" % pair.encode(), m2[0], qual))
        else:
            emit(reads1, b"r%d" % k, "-", 0, single_read(rng, opts, drawer))
    for out in outs:
        out.close()
    sys.stderr.write("%d reads: %d from the genome, %d spliced (%d across two introns or more), %d with an indel\n"
                     % (stats["reads"], stats["genome"], stats["spliced"], stats["multi"], stats["indel"]))


if __name__ == "__main__":
    main(sys.argv[1:])
