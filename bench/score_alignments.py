#!/usr/bin/env python3
"""Scores the primary alignments of a SAM/BAM/CRAM file against a truth table.

  score_alignments.py ALIGNMENTS TRUTH.tsv [--tolerance=5] [--short-anchor=10] [--kv]

ALIGNMENTS is read with `samtools view` (samtools on the PATH; a CRAM needs
its reference where its header says). TRUTH.tsv is the table of
simulate_reads.py (name, chrom, 1-based pos, strand, cigar, mismatches, pair,
mate, ...) or the older one of ../shared/data (header '#read', 0-based pos0,
reads r1, r2, ... by their ordinal; chrom '-' for a read from nowhere).

Matching. Only primary records count (FLAG without 0x100 and 0x800). A
record's name loses a trailing /1 or /2; FLAG 0x40 makes it mate 1, 0x80 mate
2, and without either the removed suffix says which mate it is (so single-end
runs over paired reads still match). A read with no primary record, or whose
primary record has FLAG 0x4, is unmapped. Records that match no truth line,
and second primary records of a read, are counted on stderr and ignored.

Correct placement: mapped on the truth's chromosome, leftmost position (POS)
within --tolerance (default 5) bases of the truth's, and the same number of
introns (N operations) as the truth, each intron's first and last base within
--tolerance bases of the truth intron of the same rank. So an unspliced truth
needs an unspliced alignment, and an anchor soft-clipped instead of spliced is
a wrong placement. A read from nowhere is right when it is left unmapped.
Exact: POS equal and the CIGAR equal to the truth's after = and X are read as
M (soft clips therefore differ). Strand and mismatches are not compared.

Read classes: all reads; junction reads (truth has an N); reads across two
introns or more; short anchors (a junction read whose first or last exon
piece is at most --short-anchor bases, default 10); reads with an indel (I or
D in the truth); for pairs, pairs with both mates placed correctly, pairs
with FLAG 0x2 on both primary records (properly paired), and both.

Introns: the set of introns (chromosome, first and last base, exact) in the
truth against the set in the mapped primary records: sensitivity = truth
introns found / truth introns, precision = found introns in the truth / found
introns. On the line '>=2 reads' both sides keep only introns with at least
two reads (truth reads, or primary records) behind them; its precision still
counts a found intron right when any truth read has it.

Prints an aligned table, or with --kv the same figures as key=value lines.
"""
import argparse, re, subprocess, sys

CIGAR_OP = re.compile(r"(\d+)([MIDNSHP=X])")


def fail(message):
    sys.exit("score_alignments.py: error: " + message)


def introns_of(pos, cigar):
    """(first, last) 1-based genome bases of each N of an alignment."""
    if "N" not in cigar:
        return ()
    out, at = [], pos
    for n, op in CIGAR_OP.findall(cigar):
        n = int(n)
        if op == "N":
            out.append((at, at + n - 1))
        if op in "MDN=X":
            at += n
    return tuple(out)


def normal_cigar(cigar):
    """The CIGAR without clips and padding, = and X as M, runs merged."""
    ops = []
    for n, op in CIGAR_OP.findall(cigar):
        if op in "SHP":
            continue
        op = "M" if op in "=X" else op
        if ops and ops[-1][1] == op:
            ops[-1][0] += int(n)
        else:
            ops.append([int(n), op])
    return "".join("%d%s" % (n, op) for n, op in ops)


def min_anchor(cigar):
    """Genome-aligned bases of the read's first and last exon pieces, the
    smaller; 0 for an unspliced read."""
    if "N" not in cigar:
        return 0
    pieces, cur = [], 0
    for n, op in CIGAR_OP.findall(cigar):
        if op == "N":
            pieces.append(cur)
            cur = 0
        elif op in "M=XI":
            cur += int(n)
    pieces.append(cur)
    return min(pieces[0], pieces[-1])


class Truth:
    __slots__ = ("chrom", "pos", "cigar", "introns", "pair")

    def __init__(self, chrom, pos, cigar, pair):
        self.chrom, self.pos, self.cigar, self.pair = chrom, pos, cigar, pair
        self.introns = introns_of(pos, cigar) if chrom != "-" else ()


def load_truth(path):
    """{(name, mate): Truth}; mate 0 for single-end reads."""
    truth = {}
    try:
        with open(path) as f:
            header = f.readline()
            old = header.startswith("#read\t")
            if not old and not header.startswith("#name\t"):
                fail("%s: not a truth table (its first line is neither '#name ...' nor '#read ...')" % path)
            for number, line in enumerate(f, 2):
                x = line.rstrip("\n").split("\t")
                try:
                    if old:
                        key, t = ("r" + x[0], 0), Truth(x[1], int(x[2]) + 1, x[4], None)
                    else:
                        pair = x[6] if x[6] != "-" else None
                        key = (pair, int(x[7])) if pair else (x[0], 0)
                        t = Truth(x[1], int(x[2]), x[4], pair)
                except (IndexError, ValueError):
                    fail("%s line %d: not a truth line" % (path, number))
                if key in truth:
                    fail("%s line %d: read %s appears twice" % (path, number, x[0]))
                truth[key] = t
    except OSError as e:
        fail("%s: %s" % (path, e.strerror))
    return truth


def read_key(name, flag):
    mate = 1 if flag & 0x40 else 2 if flag & 0x80 else 0
    if name.endswith(("/1", "/2")):
        if not mate:
            mate = int(name[-1])
        name = name[:-2]
    return name, mate


def primary_records(path):
    """Yields (name, flag, chrom, pos, cigar) of the primary records."""
    try:
        proc = subprocess.Popen(["samtools", "view", path], stdout=subprocess.PIPE,
                                stderr=subprocess.PIPE, text=True, bufsize=1 << 20)
    except OSError:
        fail("needs samtools on the PATH to read %s" % path)
    for line in proc.stdout:
        x = line.split("\t", 6)
        flag = int(x[1])
        if not flag & 0x900:
            yield x[0], flag, x[2], int(x[3]), x[5]
    err = proc.stderr.read()
    if proc.wait() != 0:
        fail("samtools view %s failed: %s" % (path, err.strip()))


def score(alignments, truth, tolerance):
    """Per read: (placed correctly, exact, unmapped, proper); found introns."""
    result, found = {}, {}
    unknown = duplicates = 0
    for name, flag, chrom, pos, cigar in primary_records(alignments):
        key = read_key(name, flag)
        t = truth.get(key)
        if t is None:
            unknown += 1
            continue
        if key in result:
            duplicates += 1
            continue
        if flag & 0x4:
            result[key] = (t.chrom == "-", False, True, False)
            continue
        introns = introns_of(pos, cigar)
        for i in introns:
            found[(chrom, i)] = found.get((chrom, i), 0) + 1
        correct = (chrom == t.chrom and abs(pos - t.pos) <= tolerance and len(introns) == len(t.introns)
                   and all(abs(a - c) <= tolerance and abs(b - d) <= tolerance
                           for (a, b), (c, d) in zip(introns, t.introns)))
        exact = chrom == t.chrom and pos == t.pos and normal_cigar(cigar) == t.cigar
        result[key] = (correct, exact, False, bool(flag & 0x2))
    if unknown:
        sys.stderr.write("%s: %d primary records name no read of the truth table\n" % (alignments, unknown))
    if duplicates:
        sys.stderr.write("%s: %d reads have more than one primary record (the first counts)\n"
                         % (alignments, duplicates))
    if truth and not result:
        fail("%s: no record names a read of the truth table" % alignments)
    return result, found


def outcome(result, truth, key):
    """(correct, exact, unmapped, proper) of a read; a read without a primary
    record is unmapped, which is right for a read from nowhere."""
    got = result.get(key)
    return got if got else (truth[key].chrom == "-", False, True, False)


def pct(n, d):
    return 100.0 * n / d if d else 0.0


def read_classes(truth, short_anchor):
    classes = {"all reads": [], "junction reads": [], "across >=2 introns": [],
               "short anchor (<=%d)" % short_anchor: [], "with an indel": [], "from nowhere": []}
    names = list(classes)
    for key, t in truth.items():
        classes["all reads"].append(key)
        if t.chrom == "-":
            classes["from nowhere"].append(key)
            continue
        n = len(t.introns)
        if n:
            classes["junction reads"].append(key)
        if n >= 2:
            classes["across >=2 introns"].append(key)
        if n and min_anchor(t.cigar) <= short_anchor:
            classes[names[3]].append(key)
        if "I" in t.cigar or "D" in t.cigar:
            classes["with an indel"].append(key)
    return classes


def intron_figures(truth, found):
    counts = {}
    for t in truth.values():
        for i in t.introns:
            counts[(t.chrom, i)] = counts.get((t.chrom, i), 0) + 1
    rows = []
    for label, least in (("all", 1), (">=2 reads", 2)):
        t_set = {i for i, n in counts.items() if n >= least}
        f_set = {i for i, n in found.items() if n >= least}
        rows.append((label, len(t_set), len(f_set), pct(len(t_set & f_set), len(t_set)),
                     pct(sum(1 for i in f_set if i in counts), len(f_set))))
    return rows


def pair_figures(truth, result):
    mates = {}
    for key, t in truth.items():
        if t.pair:
            mates.setdefault(t.pair, []).append(outcome(result, truth, key))
    both = proper = proper_right = 0
    for m in mates.values():
        right = len(m) == 2 and m[0][0] and m[1][0]
        prop = len(m) == 2 and m[0][3] and m[1][3]
        both += right
        proper += prop
        proper_right += right and prop
    return len(mates), both, proper, proper_right


def report(args, truth, result, found):
    kv, lines = [], []
    classes = read_classes(truth, args.short_anchor)
    lines.append("%-24s %9s %10s %8s %9s" % ("reads", "count", "correct", "exact", "unmapped"))
    for label, keys in classes.items():
        if not keys:
            continue
        got = [outcome(result, truth, k) for k in keys]
        right, exact, unmapped = (sum(g[i] for g in got) for i in range(3))
        lines.append("%-24s %9d %9.2f%% %7.2f%% %8.2f%%"
                     % (label, len(keys), pct(right, len(keys)), pct(exact, len(keys)), pct(unmapped, len(keys))))
        tag = re.sub(r"[^a-z0-9]+", "_", label.replace(">=", "ge")).strip("_")
        kv += ["%s=%d" % (tag, len(keys)), "%s_correct_pct=%.2f" % (tag, pct(right, len(keys))),
               "%s_exact_pct=%.2f" % (tag, pct(exact, len(keys))),
               "%s_unmapped_pct=%.2f" % (tag, pct(unmapped, len(keys)))]
    pairs, both, proper, proper_right = pair_figures(truth, result)
    if pairs:
        lines.append("")
        lines.append("%-35s %9d" % ("pairs", pairs))
        for label, tag, n in (("both mates placed correctly", "pairs_correct", both),
                              ("properly paired (0x2 on both)", "pairs_proper", proper),
                              ("properly paired and correct", "pairs_proper_correct", proper_right)):
            lines.append("  %-33s %9.2f%%" % (label, pct(n, pairs)))
            kv.append("%s_pct=%.2f" % (tag, pct(n, pairs)))
        kv.insert(0, "pairs=%d" % pairs)
    lines.append("")
    lines.append("%-12s %8s %8s %12s %10s" % ("introns", "truth", "found", "sensitivity", "precision"))
    for label, n_truth, n_found, sens, prec in intron_figures(truth, found):
        lines.append("  %-10s %8d %8d %11.2f%% %9.2f%%" % (label, n_truth, n_found, sens, prec))
        tag = "introns" if label == "all" else "introns_ge2"
        kv += ["%s_truth=%d" % (tag, n_truth), "%s_found=%d" % (tag, n_found),
               "%s_sensitivity_pct=%.2f" % (tag, sens), "%s_precision_pct=%.2f" % (tag, prec)]
    print("\n".join(kv if args.kv else lines))


def main(argv):
    p = argparse.ArgumentParser(prog="score_alignments.py", description=__doc__.split("\n\n")[0])
    p.add_argument("alignments")
    p.add_argument("truth")
    p.add_argument("--tolerance", type=int, default=5, help="bases (default 5)")
    p.add_argument("--short-anchor", type=int, default=10, help="bases (default 10)")
    p.add_argument("--kv", action="store_true", help="key=value lines instead of the table")
    args = p.parse_args(argv)
    if args.tolerance < 0 or args.short_anchor < 0:
        p.error("--tolerance and --short-anchor must not be negative")
    truth = load_truth(args.truth)
    result, found = score(args.alignments, truth, args.tolerance)
    report(args, truth, result, found)


if __name__ == "__main__":
    main(sys.argv[1:])
