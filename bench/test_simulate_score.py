#!/usr/bin/env python3
"""Checks of simulate_reads.py and score_alignments.py (standard library and
samtools only): python3 bench/test_simulate_score.py

The simulator is checked against an independent reading of its own output:
each read is rebuilt from the genome through its truth position, strand and
CIGAR, and every intron of a transcript read must be an intron of the
annotation. The scorer is checked on a SAM file written from a truth table,
with known faults added.
"""
import os, random, re, subprocess, sys, tempfile, unittest

HERE = os.path.dirname(os.path.abspath(__file__))
COMP = bytes.maketrans(b"ACGT", b"TGCA")


def run(script, *args):
    return subprocess.run([sys.executable, os.path.join(HERE, script)] + list(args),
                          capture_output=True, text=True)


def write_inputs(folder):
    """Two chromosomes of random bases (one with an N gap) and three
    transcripts: plus strand, minus strand with a short middle exon, and one
    with touching exons that must be read as one."""
    rng = random.Random(5)
    chr1 = bytearray(rng.choice(b"ACGT") for _ in range(30000))
    chr2 = bytearray(rng.choice(b"ACGT") for _ in range(8000))
    chr2[3000:3500] = b"N" * 500
    with open(os.path.join(folder, "g.fa"), "wb") as f:
        f.write(b">chr1 first\n" + bytes(chr1) + b"\n>chr2\n")
        for i in range(0, len(chr2), 60):
            f.write(bytes(chr2[i:i + 60]) + b"\n")
    exons = [("chr1", "+", "T1", [(1001, 1300), (2001, 2150), (5001, 5400)]),
             ("chr1", "-", "T2", [(10001, 10200), (11001, 11030), (11501, 11520), (12001, 12600)]),
             ("chr2", "+", "T3", [(101, 400), (401, 700), (901, 1200)])]
    with open(os.path.join(folder, "a.gtf"), "w") as f:
        for chrom, strand, tid, ex in exons:
            for a, b in ex:
                f.write('%s\tt\texon\t%d\t%d\t.\t%s\t.\tgene_id "G"; transcript_id "%s";\n'
                        % (chrom, a, b, strand, tid))
    genome = {"chr1": bytes(chr1), "chr2": bytes(chr2)}
    introns = {(chrom, ex[i][1] + 1, ex[i + 1][0] - 1)
               for chrom, _, _, ex in exons for i in range(len(ex) - 1) if ex[i + 1][0] > ex[i][1] + 1}
    return genome, introns


def read_fastq(path):
    with open(path) as f:
        lines = f.read().split("\n")
    return [(lines[i][1:], lines[i + 1]) for i in range(0, len(lines) - 1, 4)]


def read_truth(path):
    with open(path) as f:
        return [line.rstrip("\n").split("\t") for line in f if not line.startswith("#")]


def rebuild(genome, chrom, pos, cigar):
    """The genome bases a read covers, its introns, and its read length."""
    at, seq, introns, length = pos - 1, [], [], 0
    for n, op in re.findall(r"(\d+)([MIDN])", cigar):
        n = int(n)
        if op == "M":
            seq.append((genome[chrom][at:at + n], True))
            at, length = at + n, length + n
        elif op == "I":
            seq.append((b"?" * n, False))
            length += n
        elif op == "D":
            at += n
        else:
            introns.append((chrom, at + 1, at + n))
            at += n
    return seq, introns, length


class Simulator(unittest.TestCase):
    @classmethod
    def setUpClass(cls):
        cls.dir = tempfile.TemporaryDirectory()
        d = cls.dir.name
        cls.genome, cls.introns = write_inputs(d)
        cls.paired = run("simulate_reads.py", d + "/g.fa", d + "/a.gtf", "--count=3000", "--reads=" + d + "/r1.fq",
                         "--mates=" + d + "/r2.fq", "--interleaved=" + d + "/both.fq", "--truth=" + d + "/p.tsv",
                         "--indel-share=0.3", "--genomic-share=0.3", "--insert-max=450")
        cls.single = run("simulate_reads.py", d + "/g.fa", d + "/a.gtf", "--count=3000", "--reads=" + d + "/s.fq.gz",
                         "--truth=" + d + "/s.tsv", "--length=50", "--indel-share=0.3", "--seed=3")

    @classmethod
    def tearDownClass(cls):
        cls.dir.cleanup()

    def check_reads(self, reads, truth, length):
        self.assertEqual(len(reads), len(truth))
        spliced = multi = indels = 0
        for (name, bases), t in zip(reads, truth):
            self.assertEqual(name, t[0])
            chrom, pos, strand, cigar, mismatches, source = t[1], int(t[2]), t[3], t[4], int(t[5]), t[8]
            if strand == "-":
                bases = bases[::-1].translate(str.maketrans("ACGT", "TGCA"))
            pieces, introns, read_length = rebuild(self.genome, chrom, pos, cigar)
            self.assertEqual(read_length, length, t)
            ref = "".join(p.decode() for p, _ in pieces)
            self.assertEqual(len(ref), len(bases))
            self.assertNotIn("N", ref)
            self.assertEqual(sum(r != b for r, b in zip(ref, bases) if r != "?"), mismatches, t)
            if source == "genome":
                self.assertEqual(introns, [])
            else:
                self.assertTrue(set(introns) <= self.introns, t)
            ops = [(int(n), op) for n, op in re.findall(r"(\d+)([MIDN])", cigar)]
            for j, (n, op) in enumerate(ops):
                if op in "ID":  # away from the read's ends and from exon boundaries
                    self.assertTrue(ops[j - 1][1] == ops[j + 1][1] == "M", t)
                    self.assertGreaterEqual(min(ops[j - 1][0], ops[j + 1][0]), 5, t)
                    before = sum(k for k, o in ops[:j] if o in "MI")
                    self.assertTrue(before >= 10 and length - before - (n if op == "I" else 0) >= 10, t)
            spliced += bool(introns)
            multi += len(introns) >= 2
            indels += "I" in cigar or "D" in cigar
        # Every kind of read an accuracy benchmark needs occurs.
        self.assertGreater(spliced, 0)
        self.assertGreater(multi, 0)
        self.assertGreater(indels, 0)

    def test_paired_reads_match_their_truth(self):
        self.assertEqual(self.paired.returncode, 0, self.paired.stderr)
        d = self.dir.name
        truth = read_truth(d + "/p.tsv")
        self.check_reads(read_fastq(d + "/r1.fq") + read_fastq(d + "/r2.fq"),
                         truth[0::2] + truth[1::2], 100)
        forward_first = 0
        for m1, m2 in zip(truth[0::2], truth[1::2]):
            self.assertEqual((m1[6], m1[7], m2[6], m2[7]), (m1[0][:-2], "1", m1[0][:-2], "2"))
            self.assertNotEqual(m1[3], m2[3])
            forward_first += m1[3] == "+"
            if m1[8] == "genome":  # unspliced: the outer span is the insert
                left, right = (m1, m2) if m1[3] == "+" else (m2, m1)
                end = int(right[2]) - 1 + sum(int(n) for n, op in re.findall(r"(\d+)([MDN])", right[4]))
                self.assertTrue(200 <= end - int(left[2]) + 1 <= 450)
        self.assertTrue(1300 < forward_first < 1700)

    def test_interleaved_file_alternates_the_mates(self):
        d = self.dir.name
        r1, r2 = read_fastq(d + "/r1.fq"), read_fastq(d + "/r2.fq")
        self.assertEqual(read_fastq(d + "/both.fq"), [r for pair in zip(r1, r2) for r in pair])

    def test_single_end_reads_match_their_truth(self):
        self.assertEqual(self.single.returncode, 0, self.single.stderr)
        import gzip
        with gzip.open(self.dir.name + "/s.fq.gz", "rt") as f:
            lines = f.read().split("\n")
        reads = [(lines[i][1:], lines[i + 1]) for i in range(0, len(lines) - 1, 4)]
        self.check_reads(reads, read_truth(self.dir.name + "/s.tsv"), 50)

    def test_same_seed_same_bytes(self):
        d = self.dir.name
        again = run("simulate_reads.py", d + "/g.fa", d + "/a.gtf", "--count=3000", "--reads=" + d + "/again.fq",
                    "--mates=" + d + "/again2.fq", "--truth=" + d + "/again.tsv", "--indel-share=0.3",
                    "--genomic-share=0.3", "--insert-max=450")
        self.assertEqual(again.returncode, 0, again.stderr)
        for a, b in (("r1.fq", "again.fq"), ("r2.fq", "again2.fq"), ("p.tsv", "again.tsv")):
            with open(os.path.join(d, a), "rb") as x, open(os.path.join(d, b), "rb") as y:
                self.assertEqual(x.read(), y.read())

    def test_bad_input_is_named(self):
        d = self.dir.name
        common = ["--count=10", "--reads=" + d + "/x.fq", "--truth=" + d + "/x.tsv"]
        missing = run("simulate_reads.py", d + "/nothing.fa", d + "/a.gtf", *common)
        self.assertNotEqual(missing.returncode, 0)
        self.assertIn("nothing.fa", missing.stderr)
        with open(d + "/bad.gtf", "w") as f:
            f.write('chr1\tt\texon\t29990\t30100\t.\t+\t.\ttranscript_id "X";\n')
        outside = run("simulate_reads.py", d + "/g.fa", d + "/bad.gtf", *common)
        self.assertNotEqual(outside.returncode, 0)
        self.assertIn("bad.gtf line 1", outside.stderr)
        short = run("simulate_reads.py", d + "/g.fa", d + "/a.gtf", *common, "--mates=" + d + "/y.fq",
                    "--insert-min=90")
        self.assertNotEqual(short.returncode, 0)
        self.assertIn("--insert-min", short.stderr)


def sam_line(name, flag, chrom, pos, cigar):
    return "%s\t%d\t%s\t%d\t60\t%s\t*\t0\t0\t*\t*\n" % (name, flag, chrom, pos, cigar)


class Scorer(unittest.TestCase):
    def score(self, truth_lines, sam_lines, *options):
        with tempfile.TemporaryDirectory() as d:
            with open(d + "/t.tsv", "w") as f:
                f.write("#name\tchrom\tpos\tstrand\tcigar\tmismatches\tpair\tmate\tsource\ttx_strand\n")
                f.write("".join("\t".join(map(str, t)) + "\n" for t in truth_lines))
            with open(d + "/a.sam", "w") as f:
                f.write("@SQ\tSN:c\tLN:100000\n" + "".join(sam_lines))
            out = run("score_alignments.py", d + "/a.sam", d + "/t.tsv", "--kv", *options)
        self.assertEqual(out.returncode, 0, out.stderr)
        return dict(line.split("=") for line in out.stdout.split()), out.stderr

    def test_placement_tolerance_and_introns(self):
        truth = [("r%d" % i, "c", 1000, "+", "50M500N50M", 0, "-", 0, "T", "+") for i in range(1, 7)]
        sam = [sam_line("r1", 0, "c", 1000, "50M500N50M"),     # exact
               sam_line("r2", 16, "c", 1005, "45M505N50M"),    # 5 off on both sides: correct
               sam_line("r3", 0, "c", 1006, "44M500N50M"),     # 6 off
               sam_line("r4", 0, "c", 1000, "100M"),           # intron missed
               sam_line("r5", 4, "*", 0, "*"),                 # unmapped; r6 absent
               sam_line("r1", 256, "c", 5000, "100M")]         # secondary: ignored
        kv, _ = self.score(truth, sam)
        self.assertEqual(kv["all_reads_correct_pct"], "33.33")
        self.assertEqual(kv["all_reads_exact_pct"], "16.67")
        self.assertEqual(kv["all_reads_unmapped_pct"], "33.33")
        self.assertEqual(kv["junction_reads"], "6")
        # r1 and r3 find the true intron, r2 one 5 bases longer.
        self.assertEqual((kv["introns_truth"], kv["introns_found"]), ("1", "2"))
        self.assertEqual(kv["introns_sensitivity_pct"], "100.00")
        self.assertEqual(kv["introns_precision_pct"], "50.00")
        self.assertEqual((kv["introns_ge2_found"], kv["introns_ge2_precision_pct"]), ("1", "100.00"))

    def test_mates_by_flag_or_suffix(self):
        truth = [("p1/1", "c", 100, "+", "100M", 0, "p1", 1, "genome", "."),
                 ("p1/2", "c", 400, "-", "100M", 0, "p1", 2, "genome", "."),
                 ("p2/1", "c", 900, "-", "100M", 0, "p2", 1, "genome", "."),
                 ("p2/2", "c", 700, "+", "100M", 0, "p2", 2, "genome", "."),
                 ("p3/1", "c", 2000, "+", "100M", 0, "p3", 1, "genome", "."),
                 ("p3/2", "c", 2300, "-", "100M", 0, "p3", 2, "genome", ".")]
        sam = [sam_line("p1", 0x1 | 0x2 | 0x40, "c", 100, "100M"),
               sam_line("p1", 0x1 | 0x2 | 0x80 | 0x10, "c", 400, "100M"),
               # the same name for both mates: the flags decide
               sam_line("p2/1", 0x1 | 0x2 | 0x80, "c", 700, "100M"),
               sam_line("p2/1", 0x1 | 0x2 | 0x40 | 0x10, "c", 900, "100M"),
               # single-end records: the suffix decides; no 0x2
               sam_line("p3/2", 16, "c", 2300, "100M"),
               sam_line("p3/1", 0, "c", 2000, "100M"),
               sam_line("q9", 0, "c", 1, "100M")]
        kv, err = self.score(truth, sam)
        self.assertEqual(kv["all_reads_correct_pct"], "100.00")
        self.assertEqual((kv["pairs"], kv["pairs_correct_pct"], kv["pairs_proper_pct"]), ("3", "100.00", "66.67"))
        self.assertEqual(kv["pairs_proper_correct_pct"], "66.67")
        self.assertIn("1 primary records name no read", err)

    def test_wrong_truth_file_fails(self):
        with tempfile.TemporaryDirectory() as d:
            with open(d + "/t.tsv", "w") as f:
                f.write("name\tchrom\n")
            with open(d + "/a.sam", "w") as f:
                f.write("@SQ\tSN:c\tLN:1000\n")
            out = run("score_alignments.py", d + "/a.sam", d + "/t.tsv")
        self.assertNotEqual(out.returncode, 0)
        self.assertIn("t.tsv: not a truth table", out.stderr)


if __name__ == "__main__":
    unittest.main()
