#include "tools/refjunc/transcript_model.hpp"

#include <algorithm>

#include "common/errors.hpp"
#include "common/input_file.hpp"
#include "common/text_scanner.hpp"

namespace quilm::refjunc {
namespace {

[[noreturn]] void bad_line(const std::string& path, long line, const std::string& what) {
  throw InputError("'" + path + "': exon table line " + std::to_string(line) + " " + what);
}

constexpr long long kMaxCoordinate = 1LL << 40;

char strand_letter(char strand) {
  if (strand == '+') return 'F';
  if (strand == '-') return 'R';
  return strand;
}

// "%ld,%ld\t" exon fields, count of them.
void read_exons(TextScanner& scan, long line, int count, TranscriptModel& model) {
  long long length = 0;
  for (int k = 0; k < count; ++k) {
    long long start = 0;
    long long end = 0;
    char comma = 0;
    if (scan.read_long(start) != Scan::kOk || scan.read_char(comma) != Scan::kOk || comma != ',' ||
        scan.read_long(end) != Scan::kOk)
      bad_line(scan.path(), line, "has fewer exon fields 'start,end' than its count");
    // Far beyond any genome; keeps exon lengths and their sums from overflowing.
    if (start < -kMaxCoordinate || start > kMaxCoordinate || end < -kMaxCoordinate ||
        end > kMaxCoordinate)
      bad_line(scan.path(), line, "has an exon coordinate out of range");
    model.exon_starts.push_back(start);
    model.exon_ends.push_back(end);
    length += end - start + 1;
    model.cumulative.push_back(length);
  }
}

// "%s\t%s\t%c\t%d\t": false at the end of the file.
bool read_transcript(TextScanner& scan, long line, TranscriptModel& model) {
  if (scan.read_word(model.chromosome) == Scan::kEof) return false;
  int count = 0;
  if (scan.read_word(model.identifier) != Scan::kOk || !scan.skip_space() ||
      scan.read_char(model.strand) != Scan::kOk || scan.read_int(count) != Scan::kOk)
    bad_line(scan.path(), line, "is not 'chromosome, identifier, strand, exon count'");
  if (count < 0) bad_line(scan.path(), line, "has a negative exon count");
  // A transcript without a strand may come with its count and no exon
  // fields (the exon table of a GFF lists none then): it has no exons.
  const bool stranded = model.strand == '+' || model.strand == '-';
  model.strand = strand_letter(model.strand);
  if (!stranded && scan.at_line_end()) return true;
  read_exons(scan, line, count, model);
  return true;
}

}  // namespace

TranscriptTable stackAS(const std::string& exon_table_path) {
  InputFile in(exon_table_path);
  TextScanner scan(in);
  TranscriptTable table;
  for (long line = 1;; ++line) {
    TranscriptModel model;
    if (!read_transcript(scan, line, model)) break;
    table.push_back(std::move(model));
  }
  // Stable, so that among equal identifiers the last line comes last and wins.
  std::stable_sort(table.begin(), table.end(),
                   [](const TranscriptModel& a, const TranscriptModel& b) {
                     return a.identifier < b.identifier;
                   });
  auto last_of_run = std::unique(table.rbegin(), table.rend(),
                                 [](const TranscriptModel& a, const TranscriptModel& b) {
                                   return a.identifier == b.identifier;
                                 });
  table.erase(table.begin(), last_of_run.base());
  return table;
}

const TranscriptModel* binary_sort(const TranscriptTable& table, const std::string& identifier) {
  auto it = std::lower_bound(
      table.begin(), table.end(), identifier,
      [](const TranscriptModel& model, const std::string& key) { return model.identifier < key; });
  if (it == table.end() || it->identifier != identifier) return nullptr;
  return &*it;
}

}  // namespace quilm::refjunc
