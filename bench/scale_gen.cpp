// Genome and reads for the scaling benchmark (bench/scale.sh).
//
//   scale_gen REGION.fa MBP READS SEED GENOME_OUT.fa|- READS_OUT.fq|-
//
// The genome holds MBP million bases: first the real region of REGION.fa as
// it is (its own chromosome), then synthetic chromosomes of at most 50 Mbp
// whose unique sequence comes from an order-6 Markov chain trained on the
// region's bases. Into them go 100 kb copies of the region at 3% divergence
// (paralogs, one per 5 Mbp, half of them reverse-complemented), lower-case
// (soft-masked) stretches of 300 to 6,000 bases (about 8% of the bases) and
// N gaps of 10 to 100 kb (one per 20 Mbp, at least one per chromosome).
// READS reads of 100 bases are drawn uniformly from the whole genome (never
// over an N), upper-cased, with 0 to 3 mismatches, reverse-complemented half
// the time. The same arguments give the same bytes; "-" skips an output.
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
constexpr size_t kChromosome = 50000000;
constexpr size_t kParalog = 100000;
constexpr int kReadLength = 100;
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
};

int code(char c) {
  switch (c) {
    case 'A':
    case 'a':
      return 0;
    case 'C':
    case 'c':
      return 1;
    case 'G':
    case 'g':
      return 2;
    case 'T':
    case 't':
      return 3;
    default:
      return -1;
  }
}

struct Chromosome {
  std::string name, seq;
};

[[noreturn]] void fail(const char* what, const char* path) {
  std::fprintf(stderr, "scale_gen: %s %s\n", what, path);
  std::exit(1);
}

std::string load_region(const char* path, std::string& name) {
  FILE* f = std::fopen(path, "r");
  if (!f) fail("cannot read", path);
  std::string seq;
  char line[65536];
  while (std::fgets(line, sizeof line, f)) {
    size_t n = std::strlen(line);
    while (n && (line[n - 1] == '\n' || line[n - 1] == '\r')) line[--n] = 0;
    if (line[0] == '>') {
      if (!name.empty()) break;  // the first record only
      name.assign(line + 1, std::strcspn(line + 1, " \t"));
    } else {
      seq.append(line, n);
    }
  }
  std::fclose(f);
  if (seq.size() < 2 * kParalog) fail("region too short in", path);
  return seq;
}

// Cumulative next-base thresholds (out of 2^32) for every context of kOrder
// bases, from the region's counts plus one.
std::vector<uint32_t> train(const std::string& region) {
  std::vector<uint64_t> count((size_t)kContexts * 4, 1);
  uint32_t ctx = 0;
  int valid = 0;
  for (char c : region) {
    int b = code(c);
    if (b < 0) {
      valid = 0;
      continue;
    }
    if (valid >= kOrder) ++count[(size_t)ctx * 4 + b];
    ctx = ((ctx << 2) | b) & (kContexts - 1);
    ++valid;
  }
  std::vector<uint32_t> cut((size_t)kContexts * 3);
  for (int c = 0; c < kContexts; ++c) {
    uint64_t total = 0, run = 0;
    for (int b = 0; b < 4; ++b) total += count[(size_t)c * 4 + b];
    for (int b = 0; b < 3; ++b) {
      run += count[(size_t)c * 4 + b];
      cut[(size_t)c * 3 + b] = (uint32_t)((run << 32) / total);
    }
  }
  return cut;
}

void markov(std::string& out, size_t n, const std::vector<uint32_t>& cut, Rng& rng) {
  out.resize(n);
  uint32_t ctx = (uint32_t)rng.below(kContexts);
  for (size_t i = 0; i < n; i += 2) {
    uint64_t r = rng.next();  // two draws of 32 bits
    for (int k = 0; k < 2 && i + k < n; ++k) {
      uint32_t x = (uint32_t)(r >> (32 * k));
      const uint32_t* t = &cut[(size_t)ctx * 3];
      int b = (x >= t[0]) + (x >= t[1]) + (x >= t[2]);
      out[i + k] = kBases[b];
      ctx = ((ctx << 2) | b) & (kContexts - 1);
    }
  }
}

// A 100 kb window of the region without N, copied with 3% of its bases
// changed.
std::string paralog(const std::string& region, Rng& rng) {
  for (;;) {
    size_t at = rng.below(region.size() - kParalog);
    std::string s = region.substr(at, kParalog);
    if (s.find_first_not_of("ACGTacgt") != std::string::npos) continue;
    for (size_t i = 0; i < s.size(); ++i)
      if (rng.below(100) < 3) {
        int b = code(s[i]);
        s[i] = kBases[(b + 1 + rng.below(3)) % 4];
      }
    if (rng.below(2)) reverse_complement(s);
    return s;
  }
}

void write_fasta(const char* path, const std::vector<Chromosome>& genome) {
  FILE* f = std::fopen(path, "w");
  if (!f) fail("cannot write", path);
  static char buf[1 << 22];
  std::setvbuf(f, buf, _IOFBF, sizeof buf);
  for (const Chromosome& c : genome) {
    std::fprintf(f, ">%s\n", c.name.c_str());
    for (size_t i = 0; i < c.seq.size(); i += 60) {
      size_t n = std::min<size_t>(60, c.seq.size() - i);
      std::fwrite(c.seq.data() + i, 1, n, f);
      std::fputc('\n', f);
    }
  }
  if (std::fclose(f) != 0) fail("cannot write", path);
}

void write_reads(const char* path, const std::vector<Chromosome>& genome, long count, Rng& rng) {
  FILE* f = std::fopen(path, "w");
  if (!f) fail("cannot write", path);
  static char buf[1 << 22];
  std::setvbuf(f, buf, _IOFBF, sizeof buf);
  std::vector<size_t> starts;  // cumulative read start positions per chromosome
  size_t total = 0;
  for (const Chromosome& c : genome) {
    total += c.seq.size() >= kReadLength ? c.seq.size() - kReadLength + 1 : 0;
    starts.push_back(total);
  }
  const std::string quality(kReadLength, 'I');
  std::string r;
  for (long k = 1; k <= count; ++k) {
    for (;;) {
      size_t x = rng.below(total), c = 0;
      while (x >= starts[c]) ++c;
      size_t at = x - (c ? starts[c - 1] : 0);
      r.assign(genome[c].seq, at, kReadLength);
      bool ok = true;
      for (char& ch : r) {
        int b = code(ch);
        if (b < 0) {
          ok = false;
          break;
        }
        ch = kBases[b];
      }
      if (ok) break;
    }
    int mismatches = (int)rng.below(4);
    for (int m = 0; m < mismatches; ++m) {
      size_t i = rng.below(kReadLength);
      r[i] = kBases[(code(r[i]) + 1 + rng.below(3)) % 4];
    }
    if (rng.below(2)) reverse_complement(r);
    std::fprintf(f, "@r%ld\n%s\n+\n%s\n", k, r.c_str(), quality.c_str());
  }
  if (std::fclose(f) != 0) fail("cannot write", path);
}

}  // namespace

int main(int argc, char** argv) {
  if (argc != 7) {
    std::fprintf(stderr,
                 "usage: scale_gen REGION.fa MBP READS SEED GENOME_OUT.fa|- READS_OUT.fq|-\n");
    return 2;
  }
  const size_t total = (size_t)std::atol(argv[2]) * 1000000;
  const long reads = std::atol(argv[3]);
  Rng rng{(uint64_t)std::atoll(argv[4]) * 0x2545F4914F6CDD1DULL + 1};

  std::vector<Chromosome> genome(1);
  std::string region = load_region(argv[1], genome[0].name);
  genome[0].seq = region;
  for (char& c : region) c = (char)std::toupper((unsigned char)c);
  if (total <= region.size()) {
    std::fprintf(stderr, "scale_gen: the genome must be larger than the region (%zu bases)\n",
                 region.size());
    return 2;
  }
  const std::vector<uint32_t> cut = train(region);

  size_t left = total - region.size();
  for (int n = 1; left > 0; ++n) {
    Chromosome c;
    c.name = "syn" + std::to_string(n);
    size_t len = std::min(left, kChromosome);
    left -= len;
    markov(c.seq, len, cut, rng);
    if (len > 4 * kParalog)
      for (size_t p = 0, np = std::max<size_t>(1, len / 5000000); p < np; ++p) {
        std::string s = paralog(region, rng);
        c.seq.replace(rng.below(len - s.size()), s.size(), s);
      }
    for (size_t m = 0, nm = len / 40000; m < nm; ++m) {
      size_t n = 300 + rng.below(5701), at = rng.below(len);
      for (size_t i = at; i < at + n && i < len; ++i) c.seq[i] = (char)(c.seq[i] | 0x20);
    }
    if (len > 1000000)
      for (size_t g = 0, ng = std::max<size_t>(1, len / 20000000); g < ng; ++g) {
        size_t n = 10000 + rng.below(90001), at = rng.below(len - n);
        std::memset(&c.seq[at], 'N', n);
      }
    genome.push_back(std::move(c));
  }

  if (std::strcmp(argv[5], "-") != 0) write_fasta(argv[5], genome);
  if (std::strcmp(argv[6], "-") != 0) write_reads(argv[6], genome, reads, rng);
  return 0;
}
