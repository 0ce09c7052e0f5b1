#include "common/fasta_check.hpp"

#include <cstring>
#include <unordered_map>

#include "common/errors.hpp"
#include "common/fasta_text.hpp"
#include "common/input_file.hpp"
#include "common/text_scanner.hpp"

namespace quilm {

std::string chromosome_name(const std::string& header_line) {
  std::size_t begin = 0;
  while (begin < header_line.size() && is_space(static_cast<unsigned char>(header_line[begin])))
    ++begin;
  std::size_t end = begin;
  while (end < header_line.size() && !is_space(static_cast<unsigned char>(header_line[end]))) ++end;
  return header_line.substr(begin, end - begin);
}

namespace {

// Byte counts of a stretch of sequence lines.
struct SequenceBytes {
  std::int64_t bytes = 0;
  std::int64_t line_feeds = 0;
  std::int64_t returns = 0;
  std::int64_t blanks = 0;  // blanks and tabs
  std::int64_t lower_case = 0;
  std::int64_t upper_case = 0;
  std::int64_t bases() const { return bytes - line_feeds - returns - blanks; }
  void add(const SequenceBytes& o) {
    bytes += o.bytes;
    line_feeds += o.line_feeds;
    returns += o.returns;
    blanks += o.blanks;
    lower_case += o.lower_case;
    upper_case += o.upper_case;
  }
};

// Byte-wide branch-free sums over pieces of at most 255 bytes, so that the
// loop vectorises and the check pass runs at the speed of reading.
SequenceBytes count_sequence_bytes(const char* p, std::size_t n) {
  SequenceBytes counts;
  while (n > 0) {
    const std::size_t m = n < 255 ? n : 255;
    unsigned char lf = 0, cr = 0, blank = 0, lower = 0, upper = 0;
    for (std::size_t i = 0; i < m; ++i) {
      const auto b = static_cast<unsigned char>(p[i]);
      lf += static_cast<unsigned char>(b == '\n');
      cr += static_cast<unsigned char>(b == '\r');
      blank += static_cast<unsigned char>((b == ' ') | (b == '\t'));
      lower += static_cast<unsigned char>(static_cast<unsigned char>(b - 'a') < 26);
      upper += static_cast<unsigned char>(static_cast<unsigned char>(b - 'A') < 26);
    }
    counts.add({static_cast<std::int64_t>(m), lf, cr, blank, lower, upper});
    p += m;
    n -= m;
  }
  return counts;
}

// The names met so far, each with the line of its header.
using HeaderLines = std::unordered_map<std::string, std::int64_t>;

// A header must give a name, and one that no earlier header gave: the run
// labels every hit by name, so a repeated one would put hits of the second
// sequence on the first.
void check_header(const std::string& ref_path, const std::string& name, std::int64_t line,
                  HeaderLines& names) {
  if (name.empty())
    throw InputError("reference '" + ref_path + "' has a header line without a name (line " +
                     std::to_string(line) + ")");
  const auto [it, fresh] = names.emplace(name, line);
  if (!fresh)
    throw InputError("reference '" + ref_path + "': sequence name '" + it->first + "' on line " +
                     std::to_string(line) + " repeats the name on line " +
                     std::to_string(it->second));
}

// Counts the bytes up to the next '>' (consumed) or the end of the file;
// false at the end. A '>' anywhere starts a header, as in the segmentation.
bool scan_sequence(InputFile& in, SequenceBytes& counts) {
  for (;;) {
    if (in.available() == 0 && !in.refill()) return false;
    const char* p = in.data();
    const std::size_t n = in.available();
    const char* stop = static_cast<const char*>(std::memchr(p, '>', n));
    const std::size_t span = stop ? static_cast<std::size_t>(stop - p) : n;
    counts.add(count_sequence_bytes(p, span));
    in.consume(span);
    if (stop) {
      in.consume(1);
      return true;
    }
  }
}

}  // namespace

FastaSummary check_fasta(const std::string& ref_path) {
  InputFile in(ref_path, kCacheBlock);
  std::int64_t line = 1;
  int c = in.get();
  for (; c >= 0 && is_space(c); c = in.get()) line += c == '\n';
  if (c < 0) throw InputError("reference '" + ref_path + "' is empty");
  if (c != '>')
    throw InputError("reference '" + ref_path +
                     "' is not a FASTA file (it does not start with '>')");
  HeaderLines names;
  SequenceBytes total;
  FastaSummary summary;
  std::string header;
  for (bool more = true; more;) {
    in.read_line(header);
    FastaSequence sequence{chromosome_name(header), line, 0};
    check_header(ref_path, sequence.name, line, names);
    SequenceBytes region;
    more = scan_sequence(in, region);
    line += 1 + region.line_feeds;
    total.add(region);
    sequence.length = region.bases();
    summary.sequences.push_back(std::move(sequence));
  }
  if (total.bases() == 0) throw InputError("reference '" + ref_path + "' holds no sequence");
  summary.letters = total.lower_case + total.upper_case;
  summary.lower_case = total.lower_case;
  summary.blanks = total.blanks;
  return summary;
}

std::string forbidden_sam_name(const std::string& ref_path, const FastaSummary& fasta) {
  for (const FastaSequence& sequence : fasta.sequences) {
    if (sequence.length == 0) continue;  // declared nowhere: no hit can lie on it
    const std::string problem = sam_reference_name_problem(sequence.name);
    if (problem.empty()) continue;
    return "reference '" + ref_path + "': sequence name '" + printable_name(sequence.name) +
           "' (line " + std::to_string(sequence.line) + ") " + problem;
  }
  return {};
}

}  // namespace quilm
