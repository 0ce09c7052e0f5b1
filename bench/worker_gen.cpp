// Generates the worker benchmark's input: one segment file that looks like a
// genome (repeat families copied with mutations, some reverse-complemented,
// soft-masked stretches, tandem repeats, N gaps) and a numbered read file of
// reads drawn from it with 0 to 3 mismatches on both strands.
//   worker_gen <segment out> <reads out> <bases> <reads> <read length> [seed]
#include <cmath>
#include <cstdio>
#include <cstdlib>
#include <random>
#include <string>
#include <vector>

#include "bases.hpp"

static const char kBases[] = "ACGT";

int main(int argc, char** argv) {
  if (argc < 6) {
    std::fprintf(stderr, "usage: worker_gen <segment> <reads> <bases> <reads> <length> [seed]\n");
    return 2;
  }
  const long total = std::atol(argv[3]);
  const long nreads = std::atol(argv[4]);
  const int len = std::atoi(argv[5]);
  std::mt19937_64 rng(argc > 6 ? std::atol(argv[6]) : 42);
  auto rnd = [&](long n) { return static_cast<long>(rng() % static_cast<unsigned long>(n)); };
  auto base = [&]() {  // about 41% GC
    long r = rnd(100);
    return r < 29 ? 'A' : r < 58 ? 'T' : r < 79 ? 'C' : 'G';
  };

  // Repeat families: a few hundred consensus sequences, some very frequent.
  std::vector<std::string> families(400);
  for (auto& f : families) {
    long n = 150 + rnd(rnd(10) == 0 ? 6000 : 600);
    for (long i = 0; i < n; ++i) f += base();
  }

  std::string s;
  s.reserve(total + 100000);
  while (static_cast<long>(s.size()) < total) {
    long kind = rnd(100);
    if (kind < 55) {  // unique sequence
      long n = 200 + rnd(4000);
      for (long i = 0; i < n; ++i) s += base();
    } else if (kind < 93) {  // a copy of a family member, mutated, maybe masked
      // Zipf-like choice: low-numbered families are copied far more often.
      long fam = static_cast<long>(families.size() * std::pow(rnd(1000000) / 1e6, 3.0));
      const std::string& f = families[fam];
      long from = rnd(f.size() / 3 + 1);
      long to = f.size() - rnd(f.size() / 3 + 1);
      std::string copy = f.substr(from, to > from ? to - from : f.size() - from);
      int divergence = 1 + static_cast<int>(rnd(20));  // percent
      for (char& c : copy)
        if (rnd(100) < divergence) c = kBases[rnd(4)];
      if (rnd(2)) {
        std::string r(copy.rbegin(), copy.rend());
        for (char& c : r) c = complement(c);
        copy = r;
      }
      if (rnd(100) < 60)
        for (char& c : copy) c = static_cast<char>(c - 'A' + 'a');
      s += copy;
    } else if (kind < 98) {  // tandem repeat of a short unit
      std::string unit;
      long u = 1 + rnd(6);
      for (long i = 0; i < u; ++i) unit += base();
      long times = 5 + rnd(60);
      bool low = rnd(2);
      for (long t = 0; t < times; ++t)
        for (char c : unit) s += low ? static_cast<char>(c - 'A' + 'a') : c;
    } else {  // N gap
      s.append(rnd(20) == 0 ? 10000 + rnd(100000) : 10 + rnd(500), 'N');
    }
  }
  s.resize(total);

  std::FILE* seg = std::fopen(argv[1], "wb");
  if (!seg || std::fwrite(s.data(), 1, s.size(), seg) != s.size() || std::fclose(seg) != 0) {
    std::perror(argv[1]);
    return 1;
  }

  std::FILE* out = std::fopen(argv[2], "wb");
  if (!out) {
    std::perror(argv[2]);
    return 1;
  }
  std::string read;
  for (long r = 1; r <= nreads; ++r) {
    for (;;) {
      long p = rnd(total - len);
      read.assign(s, p, len);
      if (read.find('N') == std::string::npos) break;
    }
    for (char& c : read)
      if (c >= 'a') c = static_cast<char>(c - 'a' + 'A');
    int mism = static_cast<int>(rnd(4));
    for (int m = 0; m < mism; ++m) {
      long i = rnd(len);
      char c;
      do c = kBases[rnd(4)];
      while (c == read[i]);
      read[i] = c;
    }
    if (rnd(2)) {
      std::string rc(read.rbegin(), read.rend());
      for (char& c : rc) c = complement(c);
      read = rc;
    }
    std::fprintf(out, "%ld\t%s\n", r, read.c_str());
  }
  if (std::fclose(out) != 0) {
    std::perror(argv[2]);
    return 1;
  }
  return 0;
}
