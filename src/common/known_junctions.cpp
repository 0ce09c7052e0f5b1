#include "common/known_junctions.hpp"

#include <algorithm>
#include <sstream>
#include <tuple>

#include "common/annotation_reading.hpp"
#include "common/errors.hpp"
#include "common/input_file.hpp"

namespace quilm {

namespace {

void add_transcript_introns(const std::string& chromosome, std::vector<ExonLine>& exons,
                            std::vector<ChromosomeJunction>& out) {
  std::sort(exons.begin(), exons.end(), [](const auto& x, const auto& y) {
    return std::tie(x.start, x.end) < std::tie(y.start, y.end);
  });
  for (std::size_t k = 1; k < exons.size(); ++k)
    if (exons[k].start - 1 >= exons[k - 1].end + 1)
      out.push_back({chromosome, exons[k - 1].end + 1, exons[k].start - 1,
                     exons[k].strand == '-'   ? '-'
                     : exons[k].strand == '+' ? '+'
                                              : '.'});
}

std::vector<ChromosomeJunction> annotation_introns(const AnnotationExons& exons) {
  std::vector<ChromosomeJunction> out;
  for (const auto& [chromosome, table] : exons) {
    std::vector<std::vector<ExonLine>> by_transcript(table.ids.size());
    for (const ExonLine& line : table.lines) by_transcript[line.transcript].push_back(line);
    for (auto& transcript : by_transcript) add_transcript_introns(chromosome, transcript, out);
  }
  return out;
}

// One line of a refjunc table, or false.
bool table_junction(const std::string& line, ChromosomeJunction& j) {
  std::istringstream in(line);
  long long number = 0, donor = 0, acceptor = 0, left = 0, right = 0, support = 0;
  std::string strand;
  char c1 = 0, c2 = 0;
  if (!(in >> number >> j.chromosome >> strand >> donor >> c1 >> acceptor >> left >> c2 >> right >>
        support))
    return false;
  std::string rest;
  if (in >> rest || c1 != ',' || c2 != ',' || strand.size() != 1 || acceptor - donor < 2)
    return false;
  j.first = donor + 1;
  j.last = acceptor - 1;
  j.strand = strand[0] == '+' || strand[0] == '-' ? strand[0] : '.';
  return true;
}

// The junctions of a refjunc table; empty when a line is not one.
std::vector<ChromosomeJunction> table_junctions(const std::string& path) {
  InputFile in(path);
  std::vector<ChromosomeJunction> out;
  std::string line;
  ChromosomeJunction j;
  while (in.read_line(line)) {
    if (!line.empty() && line.back() == '\r') line.pop_back();
    if (line.find_first_not_of(" \t") == std::string::npos) continue;
    if (!table_junction(line, j)) return {};
    out.push_back(j);
  }
  return out;
}

}  // namespace

void sort_unique_junctions(std::vector<ChromosomeJunction>& junctions) {
  std::sort(junctions.begin(), junctions.end());
  junctions.erase(std::unique(junctions.begin(), junctions.end(),
                              [](const auto& x, const auto& y) {
                                return x.chromosome == y.chromosome && x.first == y.first &&
                                       x.last == y.last;
                              }),
                  junctions.end());
}

std::vector<ChromosomeJunction> read_known_junctions(const std::string& path) {
  std::vector<ChromosomeJunction> out = annotation_introns(transcriptid_stack(path));
  if (out.empty()) out = annotation_introns(gff_stack(path));
  if (out.empty()) out = table_junctions(path);
  if (out.empty())
    throw InputError("--junctions='" + path +
                     "': neither a GTF/GFF annotation with spliced transcripts nor a junction "
                     "table of refjunc");
  sort_unique_junctions(out);
  return out;
}

}  // namespace quilm
