// A small hand-made run for the SAM export tests: a two-chromosome
// reference, reads cut from it with known alignments, and the six output
// files that name them.
#pragma once

#include <cstdint>
#include <sstream>
#include <string>
#include <vector>

#include "common/seed_code.hpp"
#include "sam/run_hits.hpp"
#include "support/sequences.hpp"

namespace quilm::test {
// Test files of several folders share one test program: the inline namespace
// keeps these helpers apart from same-named ones of the other folders.
inline namespace sam_data {

// The fields of each record of a SAM text, header lines left out.
using SamLine = std::vector<std::string>;
inline std::vector<SamLine> sam_records(const std::string& text) {
  std::vector<SamLine> records;
  std::istringstream in(text);
  for (std::string line; std::getline(in, line);) {
    if (line.empty() || line[0] == '@') continue;
    SamLine fields;
    std::istringstream split(line);
    for (std::string f; std::getline(split, f, '\t');) fields.push_back(f);
    records.push_back(fields);
  }
  return records;
}

// A hit of the mapping output (not spliced) at 0-based `position`.
inline sam::Hit mapping_hit(std::int64_t position, char strand, int errors, std::size_t length) {
  sam::Hit hit;
  hit.first = position;
  hit.strand = strand;
  hit.errors = errors;
  hit.length = static_cast<std::uint32_t>(length);
  return hit;
}

struct ExpectedRecord {
  std::string name;
  int flag;
  std::string chromosome;
  long pos;  // 1-based
  int mapq;
  std::string cigar;
  int nm;
};

struct SmallRun {
  std::string chr_a = congruential_bases(2000, 7);
  std::string chr_b = congruential_bases(1000, 11);
  std::vector<std::string> reads;  // read k is reads[k - 1]
  std::string high, low, multi, splice_high;

  SmallRun() {
    // Three copies of one 50-base piece make a read with three best hits.
    chr_b.replace(700, 50, chr_a.substr(1500, 50));
    chr_b.replace(800, 50, chr_a.substr(1500, 50));
  }

  // Adds a read and returns its number.
  int add(const std::string& sequence) {
    reads.push_back(sequence);
    return static_cast<int>(reads.size());
  }
  static std::string mapping(int number, const std::string& seq, char strand,
                             const std::string& chr, int errors, long pos) {
    return std::to_string(number) + "\t" + seq + "\n" + strand + "\t" + chr + "\t" +
           std::to_string(errors) + "\t" + std::to_string(pos) + "\n";
  }
  static std::string splice(int number, const std::string& seq, char strand, const std::string& chr,
                            int split, int errors, long first, long second) {
    return std::to_string(number) + "\t" + seq + "\n" + strand + "\t" + chr + "\t" +
           std::to_string(split) + "\t" + std::to_string(errors) + "\t" + std::to_string(first) +
           "\t" + std::to_string(second) + "\n";
  }
  std::string fasta() const {
    return ">chrA first\n" + chr_a.substr(0, 1000) + "\n" + chr_a.substr(1000) + "\n>chrB\n" +
           chr_b + "\n";
  }
  // Names "q<k>"; qualities rise along the read so that reversal shows.
  std::string fastq() const {
    std::string text;
    for (std::size_t k = 0; k < reads.size(); ++k) {
      std::string quality(reads[k].size(), 'I');
      for (std::size_t i = 0; i < quality.size(); ++i) quality[i] = static_cast<char>('!' + i % 40);
      text += "@q" + std::to_string(k + 1) + " extra words\n" + reads[k] + "\n+\n" + quality + "\n";
    }
    return text;
  }
};

}  // namespace sam_data
}  // namespace quilm::test
