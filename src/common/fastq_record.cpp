#include "common/fastq_record.hpp"

#include <cstring>

namespace quilm {

namespace {

// True when a line holds white space (blank, tab, CR, ...); byte-wide and
// without an early exit, so that the compiler vectorises it.
bool has_space(const char* begin, const char* end) {
  unsigned char found = 0;
  for (const char* c = begin; c < end; ++c) {
    const auto b = static_cast<unsigned char>(*c);
    found |= static_cast<unsigned char>((b == ' ') | (static_cast<unsigned char>(b - 9) < 5));
  }
  return found != 0;
}

bool has_lower_case(const char* begin, const char* end) {
  unsigned char found = 0;
  for (const char* c = begin; c < end; ++c)
    found |= static_cast<unsigned char>(static_cast<unsigned char>(*c - 'a') < 26);
  return found != 0;
}

void upper_case_in_place(char* begin, char* end) {
  for (char* c = begin; c < end; ++c)
    if (static_cast<unsigned char>(*c - 'a') < 26) *c = static_cast<char>(*c - ('a' - 'A'));
}

}  // namespace

void upper_case_bases(std::string& bases) {
  char* begin = bases.data();
  char* end = begin + bases.size();
  if (has_lower_case(begin, end)) upper_case_in_place(begin, end);
}

std::string_view upper_case_bases(std::string_view bases, std::string& buffer) {
  if (!has_lower_case(bases.data(), bases.data() + bases.size())) return bases;
  buffer.assign(bases);
  upper_case_in_place(buffer.data(), buffer.data() + buffer.size());
  return buffer;
}

bool take_plain_fastq_record(InputFile& in, PlainFastqRecord& record) {
  const char* begin = in.data();
  const char* end = begin + in.available();
  std::string_view line[4];
  const char* at = begin;
  for (auto& l : line) {
    const void* nl = std::memchr(at, '\n', static_cast<std::size_t>(end - at));
    if (!nl) return false;
    l = std::string_view(at, static_cast<std::size_t>(static_cast<const char*>(nl) - at));
    at = static_cast<const char*>(nl) + 1;
  }
  if (line[0].empty() || line[0][0] != '@' || line[2].empty() || line[2][0] != '+') return false;
  for (int k = 1; k < 4; ++k)
    if (line[k].empty() || has_space(line[k].data(), line[k].data() + line[k].size())) return false;
  record = {line[0], line[1], line[2], line[3]};
  in.consume(static_cast<std::size_t>(at - begin));
  return true;
}

void read_empty_read_quality(TextScanner& scan, std::string& quality) {
  scan.read_line(quality);  // the rest of the separator line
  if (!scan.read_line(quality)) {
    quality.clear();
    return;
  }
  std::size_t begin = 0;
  while (begin < quality.size() && is_space(static_cast<unsigned char>(quality[begin]))) ++begin;
  std::size_t end = begin;
  while (end < quality.size() && !is_space(static_cast<unsigned char>(quality[end]))) ++end;
  quality.erase(end);
  quality.erase(0, begin);
}

bool read_fastq_words(TextScanner& scan, std::string& sequence, std::string& separator,
                      std::string& quality) {
  if (scan.read_word(sequence) == Scan::kEof) return false;
  if (is_separator_word(sequence)) {
    separator.swap(sequence);
    sequence.clear();
    read_empty_read_quality(scan, quality);
    return true;
  }
  return scan.read_word(separator) == Scan::kOk && scan.read_word(quality) == Scan::kOk;
}

std::string_view mate_name(std::string_view header) {
  if (!header.empty() && header[0] == '@') header.remove_prefix(1);
  const std::size_t end = header.find_first_of(" \t\r\n");
  if (end != std::string_view::npos) header = header.substr(0, end);
  return without_mate_suffix(header);
}

}  // namespace quilm
