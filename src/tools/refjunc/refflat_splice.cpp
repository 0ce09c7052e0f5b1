#include "tools/refjunc/refflat_splice.hpp"

#include <algorithm>
#include <limits>
#include <optional>

#include "common/errors.hpp"
#include "common/output_records.hpp"
#include "tools/refjunc/splice_evidence_record.hpp"

namespace quilm::refjunc {
namespace {

// The first exon k, walking from 0, with cum(k - 1) < base <= cum(k).
std::optional<std::size_t> exon_holding(const std::vector<long long>& cumulative, long long base) {
  long long before = 0;
  for (std::size_t k = 0; k < cumulative.size(); ++k) {
    if (before < base && base <= cumulative[k]) return k;
    before = cumulative[k];
  }
  return std::nullopt;
}

}  // namespace

std::vector<int> count_read_hits(const std::string& mapping_output_path) {
  MappingOutputReader reader(mapping_output_path);
  MappingOutputRecord record;
  // The read numbers of all records, sorted: a read's hit count is the length
  // of its run. Memory follows the records, not the largest read number.
  std::vector<int> numbers;
  while (reader.next(record)) {
    if (record.read_number < 0 || record.read_number > std::numeric_limits<int>::max())
      throw InputError("'" + reader.path() + "': read number " +
                       std::to_string(record.read_number) + " is out of range");
    numbers.push_back(static_cast<int>(record.read_number));
  }
  std::sort(numbers.begin(), numbers.end());
  return numbers;
}

int hits_of_read(const std::vector<int>& sorted_numbers, long long read_number) {
  auto range =
      std::equal_range(sorted_numbers.begin(), sorted_numbers.end(), static_cast<int>(read_number));
  return static_cast<int>(range.second - range.first);
}

std::vector<SpannedJunction> spanned_junctions(const TranscriptModel& model, long long position,
                                               long long length) {
  const std::vector<long long>& cum = model.cumulative;
  std::vector<SpannedJunction> spans;
  // A start outside the transcript spans nothing; returning here also keeps
  // the sums below in range for any position a record may hold.
  if (cum.empty() || position < 0 || position > *std::max_element(cum.begin(), cum.end()))
    return spans;
  const long long first_base = position + 1;
  const long long last_base = position + length;
  auto first = exon_holding(cum, first_base);
  auto last = exon_holding(cum, last_base);
  if (!first || !last || *first >= *last) return spans;
  for (std::size_t k = *first; k < *last; ++k) {
    long long before = cum[k] - position;
    long long after = last_base - cum[k];
    if (before > 0 && after > 0) spans.push_back({before, k});
  }
  return spans;
}

void refFlattosplice(const TranscriptTable& table, const std::string& transcript_hits_path,
                     const std::string& refflat_splice_path) {
  const std::vector<int> hit_counts = count_read_hits(transcript_hits_path);
  MappingOutputReader reader(transcript_hits_path);
  OutputFile out(refflat_splice_path);
  MappingOutputRecord hit;
  SpliceEvidenceRecord record;
  while (reader.next(hit)) {
    const TranscriptModel* model = binary_sort(table, hit.chromosome);
    if (!model) continue;
    auto length = static_cast<long long>(hit.sequence.size());
    for (const SpannedJunction& span : spanned_junctions(*model, hit.position, length)) {
      SpliceOutputRecord& f = record.fields;
      f.read_number = hit.read_number;
      f.sequence = hit.sequence;
      // The transcript's strand, not the strand the read mapped on.
      f.strand = model->strand;
      f.chromosome = model->chromosome;
      f.split = static_cast<int>(span.bases_before);
      f.errors = hit.errors;
      f.first = model->exon_ends[span.exon];
      f.second = model->exon_starts[span.exon + 1];
      record.divisor = hits_of_read(hit_counts, hit.read_number);
      write_splice_evidence_record(out, record);
    }
  }
  out.close();
}

}  // namespace quilm::refjunc
