// A genome with the repeat structure of a mammalian one, and spliced reads
// with their true origin (bench/repeats.sh, bench/human_scale.sh).
//
//   repeat_gen [options] MBP READS SEED GENOME_OUT.fa|- READS_OUT.fq|- TRUTH_OUT.tsv|-
//
//   --mask             write the repeats in lower case (soft-masked), as
//                      assemblies do; the reads are upper case either way
//   --train=REGION.fa  background from an order-6 Markov chain trained on the
//                      region's bases (default: independent bases, 41% GC)
//   --spliced=F        share of the reads across one intron (default 0.3)
//   --length=N         read length (default 100)
//   --mismatches=K     0 to K substitutions per read, uniformly (default 3)
//   --chromosome=MBP   largest chromosome (default 50)
//   --unique           no repeats at all (background, N gaps and genes only):
//                      the same reads' kind on sequence without repeats
//
// Each chromosome gets, on its background sequence, in this order (the
// shares are of the whole genome, as in the human one):
// - a centromere: a satellite array of 3% of its length, two thirds
//   alpha-like (171-base monomers, 20-35% apart from each other, grouped
//   into higher-order units of 4 to 16 monomers whose copies lie 0.5-3%
//   apart) and one third a simple satellite (a 5-base unit, 2-12% diverged),
//   with N gaps of 50 kb on both sides;
// - SINE-like copies (11%): three families of a 290-base consensus, copies
//   2-18% diverged by the family's age, each with a poly-A tail of 8-40 bases;
// - LINE-like fragments (17%): 3' ends of one 6 kb consensus, 10% of them
//   full length, the rest 100 bases plus an exponential length of mean
//   900, 3-25% diverged, each with a poly-A tail;
// - microsatellites (1.5%): units of 1 to 6 bases (poly-A among them) over
//   20-200 bases with 0-5% changed;
// - N gaps of 10-100 kb (one per 20 Mbp) and 10 kb of N at both ends.
// Copies go in either orientation (a reverse copy's tail reads poly-T).
// Then segmental duplications (5%): stretches of 10-300 kb (log-uniform)
// copied to other places of any chromosome, 1-4% diverged, half of them
// reverse-complemented. Last, gene models (7 per Mbp, 2-10 exons of 50-300
// bases, introns of 60-20,000 bases log-uniform) are written into the
// sequence with their splice signals as they read on the gene's strand
// (GT-AG 98%, GC-AG 1.5%, AT-AC 0.5%).
//
// Reads: a share --spliced from a gene's spliced sequence across exactly one
// of its junctions (the junction uniformly along the read, so some anchors
// are a few bases), the rest uniformly from the genome (never over an N);
// substitutions, then reverse-complemented half the time. The truth table is
// bench/score_alignments.py's: name, chromosome, 1-based leftmost position,
// strand, CIGAR, mismatches, pair, mate, source, source strand. The same
// arguments give the same bytes; "-" skips an output.
#include <algorithm>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <vector>

#include "bases.hpp"

namespace {

constexpr int kOrder = 6;
constexpr int kContexts = 1 << (2 * kOrder);
const char kBases[] = "ACGT";

struct Rng {  // splitmix64: fast and the same everywhere
  uint64_t s;
  uint64_t next() {
    uint64_t z = (s += 0x9e3779b97f4a7c15ULL);
    z = (z ^ (z >> 30)) * 0xbf58476d1ce4e5b9ULL;
    z = (z ^ (z >> 27)) * 0x94d049bb133111ebULL;
    return z ^ (z >> 31);
  }
  uint64_t below(uint64_t n) { return (uint64_t)(((unsigned __int128)next() * n) >> 64); }
  double unit() { return (next() >> 11) * (1.0 / 9007199254740992.0); }
  size_t range(size_t lo, size_t hi) { return lo + below(hi - lo + 1); }  // inclusive
  size_t log_uniform(double lo, double hi) {
    return (size_t)std::exp(std::log(lo) + unit() * (std::log(hi) - std::log(lo)));
  }
};

int code(char c) {
  switch (c | 0x20) {
    case 'a':
      return 0;
    case 'c':
      return 1;
    case 'g':
      return 2;
    case 't':
      return 3;
    default:
      return -1;
  }
}

[[noreturn]] void fail(const char* what, const char* path) {
  std::fprintf(stderr, "repeat_gen: %s %s\n", what, path);
  std::exit(1);
}

// A base other than b, case kept.
char substitute(char b, Rng& rng) {
  const int c = code(b);
  if (c < 0) return b;
  const char x = kBases[(c + 1 + rng.below(3)) % 4];
  return (b & 0x20) ? (char)(x | 0x20) : x;
}

// Changes each base with probability p (geometric skips, so a copy costs
// its changes, not its length).
void diverge(std::string& s, double p, Rng& rng) {
  if (p <= 0) return;
  const double lq = std::log(1.0 - p);
  for (size_t i = (size_t)(std::log(1.0 - rng.unit()) / lq); i < s.size();
       i += 1 + (size_t)(std::log(1.0 - rng.unit()) / lq))
    s[i] = substitute(s[i], rng);
}

std::string random_bases(size_t n, Rng& rng) {
  std::string s(n, 'A');
  for (char& c : s) c = kBases[rng.below(4)];
  return s;
}

// Background: cumulative next-base thresholds (out of 2^32) per context of
// kOrder bases, trained on a region, or one flat table of 41% GC.
struct Background {
  std::vector<uint32_t> cut;  // kContexts * 3, or 3 for independent bases

  void train(const char* path) {
    FILE* f = std::fopen(path, "r");
    if (!f) fail("cannot read", path);
    std::vector<uint64_t> count((size_t)kContexts * 4, 1);
    uint32_t ctx = 0;
    int valid = 0;
    char line[65536];
    while (std::fgets(line, sizeof line, f)) {
      if (line[0] == '>') {
        valid = 0;
        continue;
      }
      for (char* p = line; *p; ++p) {
        const int b = code(*p);
        if (b < 0) {
          if (*p != '\n' && *p != '\r') valid = 0;
          continue;
        }
        if (valid >= kOrder) ++count[(size_t)ctx * 4 + b];
        ctx = ((ctx << 2) | b) & (kContexts - 1);
        ++valid;
      }
    }
    std::fclose(f);
    cut.resize((size_t)kContexts * 3);
    for (int c = 0; c < kContexts; ++c) {
      uint64_t total = 0, run = 0;
      for (int b = 0; b < 4; ++b) total += count[(size_t)c * 4 + b];
      for (int b = 0; b < 3; ++b) {
        run += count[(size_t)c * 4 + b];
        cut[(size_t)c * 3 + b] = (uint32_t)((run << 32) / total);
      }
    }
  }

  void fill(std::string& out, size_t n, Rng& rng) const {
    out.resize(n);
    if (cut.empty()) {  // A 29.5%, C 20.5%, G 20.5%, T 29.5%
      const uint32_t t[3] = {1267015352u, 2147483648u, 3027951944u};
      for (size_t i = 0; i < n; ++i) {
        const uint32_t x = (uint32_t)rng.next();
        out[i] = kBases[(x >= t[0]) + (x >= t[1]) + (x >= t[2])];
      }
      return;
    }
    uint32_t ctx = (uint32_t)rng.below(kContexts);
    for (size_t i = 0; i < n; ++i) {
      const uint32_t x = (uint32_t)rng.next();
      const uint32_t* t = &cut[(size_t)ctx * 3];
      const int b = (x >= t[0]) + (x >= t[1]) + (x >= t[2]);
      out[i] = kBases[b];
      ctx = ((ctx << 2) | b) & (kContexts - 1);
    }
  }
};

struct Options {
  bool mask = false;
  bool unique = false;
  const char* train = nullptr;
  double spliced = 0.3;
  int length = 100;
  int mismatches = 3;
  size_t chromosome = 50000000;
};

struct Chromosome {
  std::string name, seq;
};

// The repeat consensus sequences of the whole genome.
struct Families {
  std::vector<std::string> sine;  // three subfamilies of one ancestor
  std::vector<double> sine_age;   // divergence of each subfamily's copies
  std::string line;
  std::string monomer;  // alpha-like satellite monomer
  std::string simple_unit = "GGAAT";

  explicit Families(Rng& rng) {
    const std::string ancestor = random_bases(290, rng);
    const double ages[3][2] = {{0.02, 0.05}, {0.06, 0.10}, {0.10, 0.18}};
    for (const auto& age : ages) {
      std::string s = ancestor;
      diverge(s, 0.04, rng);
      sine.push_back(s);
      sine_age.push_back(age[0] + rng.unit() * (age[1] - age[0]));
    }
    line = random_bases(6000, rng);
    monomer = random_bases(171, rng);
  }
};

// Where interspersed copies may not go: the centromere's array.
struct Keep {
  size_t begin = 0, end = 0;
};

// Writes s over the chromosome at `at`; lower case when masking. A copy that
// would touch the kept range is dropped.
void place(std::string& seq, size_t at, std::string s, bool mask, Keep keep = {}) {
  if (at >= seq.size() || (at < keep.end && at + s.size() > keep.begin)) return;
  if (mask)
    for (char& c : s) c = (char)(c | 0x20);
  const size_t n = std::min(s.size(), seq.size() - at);
  std::memcpy(&seq[at], s.data(), n);
}

std::string poly_a(size_t n, Rng& rng) {
  std::string s(n, 'A');
  for (char& c : s)
    if (rng.below(20) == 0) c = kBases[rng.below(4)];
  return s;
}

void orient(std::string& s, Rng& rng) {
  if (rng.below(2)) reverse_complement(s);
}

Keep add_centromere(std::string& seq, const Families& fam, bool mask, Rng& rng) {
  const size_t array = seq.size() * 3 / 100;
  const size_t gap = 50000;
  const size_t begin = seq.size() / 2 - array / 2;
  if (array < 10000 || begin < gap) return {};
  std::memset(&seq[begin - gap], 'N', gap);
  // Higher-order unit: monomers diverged from the genome's monomer.
  const size_t monomers = rng.range(4, 16);
  std::string unit;
  for (size_t m = 0; m < monomers; ++m) {
    std::string mono = fam.monomer;
    diverge(mono, 0.20 + 0.15 * rng.unit(), rng);
    unit += mono;
  }
  const size_t alpha = array * 2 / 3;
  for (size_t at = begin; at < begin + alpha; at += unit.size()) {
    std::string copy = unit;
    diverge(copy, 0.005 + 0.025 * rng.unit(), rng);
    place(seq, at, copy.substr(0, std::min(copy.size(), begin + alpha - at)), mask);
  }
  const double drift = 0.02 + 0.10 * rng.unit();
  std::string simple;
  while (simple.size() < array - alpha) simple += fam.simple_unit;
  simple.resize(array - alpha);
  diverge(simple, drift, rng);
  place(seq, begin + alpha, simple, mask);
  if (begin + array + gap <= seq.size()) std::memset(&seq[begin + array], 'N', gap);
  return {begin - gap, begin + array + gap};
}

void add_sines(std::string& seq, const Families& fam, bool mask, Keep keep, Rng& rng) {
  const size_t target = seq.size() * 11 / 100;
  for (size_t done = 0; done < target;) {
    const size_t f = rng.below(fam.sine.size());
    std::string copy = fam.sine[f];
    diverge(copy, fam.sine_age[f] * (0.5 + rng.unit()), rng);
    copy += poly_a(rng.range(8, 40), rng);
    orient(copy, rng);
    done += copy.size();
    place(seq, rng.below(seq.size()), copy, mask, keep);
  }
}

void add_lines(std::string& seq, const Families& fam, bool mask, Keep keep, Rng& rng) {
  const size_t target = seq.size() * 17 / 100;
  for (size_t done = 0; done < target;) {
    size_t n = fam.line.size();
    if (rng.below(10) != 0) n = std::min(n, 100 + (size_t)(-900.0 * std::log(1.0 - rng.unit())));
    std::string copy = fam.line.substr(fam.line.size() - n);
    diverge(copy, 0.03 + 0.22 * rng.unit(), rng);
    copy += poly_a(rng.range(5, 30), rng);
    orient(copy, rng);
    done += copy.size();
    place(seq, rng.below(seq.size()), copy, mask, keep);
  }
}

void add_microsatellites(std::string& seq, bool mask, Keep keep, Rng& rng) {
  const size_t target = seq.size() * 15 / 1000;
  for (size_t done = 0; done < target;) {
    const std::string unit = random_bases(rng.range(1, 6), rng);
    std::string copy;
    const size_t n = rng.range(20, 200);
    while (copy.size() < n) copy += unit;
    copy.resize(n);
    diverge(copy, 0.05 * rng.unit(), rng);
    done += n;
    place(seq, rng.below(seq.size()), copy, mask, keep);
  }
}

void add_gaps(std::string& seq, Rng& rng) {
  if (seq.size() > 1000000)
    for (size_t g = 0, ng = std::max<size_t>(1, seq.size() / 20000000); g < ng; ++g) {
      const size_t n = rng.range(10000, 100000), at = rng.below(seq.size() - n);
      std::memset(&seq[at], 'N', n);
    }
  const size_t end = std::min<size_t>(10000, seq.size() / 100);
  std::memset(&seq[0], 'N', end);
  std::memset(&seq[seq.size() - end], 'N', end);
}

void add_segmental_duplications(std::vector<Chromosome>& genome, size_t total, Rng& rng) {
  const size_t target = total * 5 / 100;
  for (size_t done = 0; done < target;) {
    const size_t n = rng.log_uniform(10000, 300000);
    Chromosome& from = genome[rng.below(genome.size())];
    Chromosome& to = genome[rng.below(genome.size())];
    if (from.seq.size() < 2 * n || to.seq.size() < 2 * n) continue;
    std::string copy = from.seq.substr(rng.below(from.seq.size() - n), n);
    diverge(copy, 0.01 + 0.03 * rng.unit(), rng);
    orient(copy, rng);
    std::memcpy(&to.seq[rng.below(to.seq.size() - n)], copy.data(), n);
    done += n;
  }
}

// -- genes and reads ---------------------------------------------------------

struct Exon {
  size_t begin, end;  // 0-based, end exclusive, on the chromosome
};

struct Gene {
  size_t chromosome;
  bool forward;
  std::vector<Exon> exons;  // ascending on the chromosome
};

bool clean(const std::string& seq, size_t begin, size_t end) {
  for (size_t i = begin; i < end; ++i)
    if (code(seq[i]) < 0) return false;
  return true;
}

// Writes the intron's signals as they read on the gene's strand.
void write_signals(std::string& seq, size_t intron_begin, size_t intron_end, bool forward,
                   Rng& rng) {
  const size_t r = rng.below(1000);
  const char* donor = r < 980 ? "GT" : r < 995 ? "GC" : "AT";
  const char* acceptor = r < 995 ? "AG" : "AC";
  std::string d = donor, a = acceptor;
  if (!forward) {  // on the other strand the acceptor comes first
    std::string rd = a, ra = d;
    reverse_complement(rd);
    reverse_complement(ra);
    d = rd;
    a = ra;
  }
  auto keep_case = [&](size_t at, char c) { seq[at] = (seq[at] & 0x20) ? (char)(c | 0x20) : c; };
  keep_case(intron_begin, d[0]);
  keep_case(intron_begin + 1, d[1]);
  keep_case(intron_end - 2, a[0]);
  keep_case(intron_end - 1, a[1]);
}

std::vector<Gene> add_genes(std::vector<Chromosome>& genome, size_t total, Rng& rng) {
  std::vector<Gene> genes;
  const size_t want = std::max<size_t>(1, total / 1000000 * 7);
  for (size_t tries = 0; genes.size() < want && tries < want * 20; ++tries) {
    Gene g;
    g.chromosome = rng.below(genome.size());
    g.forward = rng.below(2) == 0;
    std::string& seq = genome[g.chromosome].seq;
    const size_t exons = rng.range(2, 10);
    size_t at = rng.below(seq.size());
    bool ok = true;
    for (size_t e = 0; e < exons && ok; ++e) {
      if (e > 0) at += rng.log_uniform(60, 20000);
      const size_t n = rng.range(50, 300);
      if (at + n + 20000 >= seq.size() || !clean(seq, at, at + n)) ok = false;
      g.exons.push_back({at, at + n});
      at += n;
    }
    if (!ok) continue;
    for (size_t e = 0; e + 1 < g.exons.size(); ++e)
      write_signals(seq, g.exons[e].end, g.exons[e + 1].begin, g.forward, rng);
    genes.push_back(std::move(g));
  }
  return genes;
}

struct ReadWriter {
  FILE* reads = nullptr;
  FILE* truth = nullptr;
  std::string quality;
  long number = 0;

  void write(const std::string& bases, const char* chrom, size_t pos1, bool forward,
             const std::string& cigar, int mismatches, const std::string& source, char strand) {
    ++number;
    if (reads) std::fprintf(reads, "@r%ld\n%s\n+\n%s\n", number, bases.c_str(), quality.c_str());
    if (truth)
      std::fprintf(truth, "r%ld\t%s\t%zu\t%c\t%s\t%d\t-\t0\t%s\t%c\n", number, chrom, pos1,
                   forward ? '+' : '-', cigar.c_str(), mismatches, source.c_str(), strand);
  }
};

FILE* open_out(const char* path, std::vector<char>& buffer) {
  if (std::strcmp(path, "-") == 0) return nullptr;
  FILE* f = std::fopen(path, "w");
  if (!f) fail("cannot write", path);
  buffer.resize(1 << 22);
  std::setvbuf(f, buffer.data(), _IOFBF, buffer.size());
  return f;
}

void close_out(FILE* f, const char* path) {
  if (f && std::fclose(f) != 0) fail("cannot write", path);
}

// Upper case, substitutions, orientation; the number of substitutions.
int finish_read(std::string& r, bool& forward, const Options& o, Rng& rng) {
  for (char& c : r) c = (char)(c & ~0x20);
  const int k = (int)rng.below((uint64_t)o.mismatches + 1);
  std::vector<size_t> spots;
  while ((int)spots.size() < k) {
    const size_t i = rng.below(r.size());
    if (std::find(spots.begin(), spots.end(), i) == spots.end()) spots.push_back(i);
  }
  for (size_t i : spots) r[i] = substitute(r[i], rng);
  forward = rng.below(2) == 0;
  if (!forward) reverse_complement(r);
  return k;
}

void write_reads(const char* reads_path, const char* truth_path, long count,
                 const std::vector<Chromosome>& genome, const std::vector<Gene>& genes,
                 const Options& o, Rng& rng) {
  std::vector<char> rb, tb;
  ReadWriter w;
  w.reads = open_out(reads_path, rb);
  w.truth = open_out(truth_path, tb);
  if (!w.reads && !w.truth) return;
  w.quality.assign((size_t)o.length, 'I');
  if (w.truth)
    std::fputs("#name\tchrom\tpos\tstrand\tcigar\tmismatches\tpair\tmate\tsource\ttx_strand\n",
               w.truth);
  std::vector<size_t> ends;  // cumulative read start positions per chromosome
  size_t starts = 0;
  for (const Chromosome& c : genome) {
    starts += c.seq.size() >= (size_t)o.length ? c.seq.size() - o.length + 1 : 0;
    ends.push_back(starts);
  }
  const size_t L = (size_t)o.length;
  std::string r;
  for (long k = 0; k < count; ++k) {
    bool forward = true;
    if (!genes.empty() && rng.unit() < o.spliced) {
      for (;;) {
        const size_t gi = rng.below(genes.size());
        const Gene& g = genes[gi];
        const size_t j = rng.below(g.exons.size() - 1);
        const Exon& a = g.exons[j];
        const Exon& b = g.exons[j + 1];
        const size_t left = rng.range(1, L - 1);  // bases in the upstream exon
        if (left > a.end - a.begin || L - left > b.end - b.begin) continue;
        const std::string& seq = genome[g.chromosome].seq;
        r = seq.substr(a.end - left, left) + seq.substr(b.begin, L - left);
        const int m = finish_read(r, forward, o, rng);
        const std::string cigar = std::to_string(left) + "M" + std::to_string(b.begin - a.end) +
                                  "N" + std::to_string(L - left) + "M";
        w.write(r, genome[g.chromosome].name.c_str(), a.end - left + 1, forward, cigar, m,
                "gene" + std::to_string(gi + 1), g.forward ? '+' : '-');
        break;
      }
      continue;
    }
    for (;;) {
      const size_t x = rng.below(starts);
      const size_t c = (size_t)(std::upper_bound(ends.begin(), ends.end(), x) - ends.begin());
      const size_t at = x - (c ? ends[c - 1] : 0);
      if (!clean(genome[c].seq, at, at + L)) continue;
      r = genome[c].seq.substr(at, L);
      const int m = finish_read(r, forward, o, rng);
      w.write(r, genome[c].name.c_str(), at + 1, forward, std::to_string(L) + "M", m, "genome",
              '+');
      break;
    }
  }
  close_out(w.reads, reads_path);
  close_out(w.truth, truth_path);
}

void write_fasta(const char* path, const std::vector<Chromosome>& genome) {
  std::vector<char> buffer;
  FILE* f = open_out(path, buffer);
  if (!f) return;
  for (const Chromosome& c : genome) {
    std::fprintf(f, ">%s\n", c.name.c_str());
    for (size_t i = 0; i < c.seq.size(); i += 60) {
      std::fwrite(c.seq.data() + i, 1, std::min<size_t>(60, c.seq.size() - i), f);
      std::fputc('\n', f);
    }
  }
  close_out(f, path);
}

[[noreturn]] void usage() {
  std::fprintf(
      stderr,
      "usage: repeat_gen [--mask] [--unique] [--train=REGION.fa] [--spliced=F] [--length=N] "
      "[--mismatches=K] [--chromosome=MBP]\n"
      "                  MBP READS SEED GENOME_OUT.fa|- READS_OUT.fq|- TRUTH_OUT.tsv|-\n");
  std::exit(2);
}

}  // namespace

int main(int argc, char** argv) {
  Options o;
  std::vector<const char*> args;
  for (int i = 1; i < argc; ++i) {
    const char* a = argv[i];
    if (std::strcmp(a, "--mask") == 0)
      o.mask = true;
    else if (std::strcmp(a, "--unique") == 0)
      o.unique = true;
    else if (std::strncmp(a, "--train=", 8) == 0)
      o.train = a + 8;
    else if (std::strncmp(a, "--spliced=", 10) == 0)
      o.spliced = std::atof(a + 10);
    else if (std::strncmp(a, "--length=", 9) == 0)
      o.length = std::atoi(a + 9);
    else if (std::strncmp(a, "--mismatches=", 13) == 0)
      o.mismatches = std::atoi(a + 13);
    else if (std::strncmp(a, "--chromosome=", 13) == 0)
      o.chromosome = (size_t)std::atol(a + 13) * 1000000;
    else if (a[0] == '-' && a[1] == '-')
      usage();
    else
      args.push_back(a);
  }
  if (args.size() != 6 || o.length < 20 || o.mismatches < 0 || o.chromosome < 1000000) usage();
  const size_t total = (size_t)std::atol(args[0]) * 1000000;
  const long reads = std::atol(args[1]);
  if (total < 2000000) usage();
  Rng rng{(uint64_t)std::atoll(args[2]) * 0x2545F4914F6CDD1DULL + 1};

  Background background;
  if (o.train) background.train(o.train);
  const Families families(rng);
  std::vector<Chromosome> genome;
  for (size_t left = total, n = 1; left > 0; ++n) {
    Chromosome c;
    c.name = "chr" + std::to_string(n);
    const size_t len = std::min(left, o.chromosome);
    left -= len;
    background.fill(c.seq, len, rng);
    if (!o.unique) {
      const Keep centromere = add_centromere(c.seq, families, o.mask, rng);
      add_sines(c.seq, families, o.mask, centromere, rng);
      add_lines(c.seq, families, o.mask, centromere, rng);
      add_microsatellites(c.seq, o.mask, centromere, rng);
    }
    add_gaps(c.seq, rng);
    genome.push_back(std::move(c));
  }
  if (!o.unique) add_segmental_duplications(genome, total, rng);
  const std::vector<Gene> genes = add_genes(genome, total, rng);

  write_fasta(args[3], genome);
  write_reads(args[4], args[5], reads, genome, genes, o, rng);
  return 0;
}
