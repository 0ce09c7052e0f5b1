#include "tools/annoprep/transcript_sequences.hpp"

#include <algorithm>
#include <fstream>

#include "common/errors.hpp"
#include "common/input_file.hpp"

namespace quilm::annoprep {

std::size_t read_treat(std::string& sequence) {
  for (char& c : sequence) {
    if (c == 'a' || c == 'c' || c == 'g' || c == 't') c = static_cast<char>(c - 'a' + 'A');
  }
  return sequence.size();
}

namespace {

// Appends the bases of one exon that lie on the chromosome; false when part
// of the exon lies outside it. An exon with start > end adds nothing.
bool append_exon(const std::string& chromosome, const Exon& exon, std::string& sequence) {
  if (exon.start > exon.end) return true;
  const long length = static_cast<long>(chromosome.size());
  long first = std::max(exon.start, 1L);
  long last = std::min(exon.end, length);
  if (first <= last)
    sequence.append(chromosome, static_cast<std::size_t>(first - 1),
                    static_cast<std::size_t>(last - first + 1));
  return first == exon.start && last == exon.end;
}

// The spliced forward-strand sequence of one transcript; false when an exon
// reached outside the chromosome.
bool transcript_sequence(const TranscriptTable& table, const TranscriptEntry& entry,
                         const std::string& chromosome, std::string& sequence) {
  sequence.clear();
  const Exon* exons = table.exons.data() + entry.first_exon;
  bool inside = true;
  if (entry.strand == '+') {
    for (long k = 0; k < entry.exon_count; ++k)
      inside &= append_exon(chromosome, exons[k], sequence);
  } else if (entry.strand == '-') {
    for (long k = entry.exon_count - 1; k >= 0; --k)
      inside &= append_exon(chromosome, exons[k], sequence);
  }
  read_treat(sequence);
  return inside;
}

}  // namespace

long refMrna_create(const TranscriptTable& table, const std::string& chromosome_sequence,
                    OutputFile& mrna, std::ostream& warnings) {
  long warned = 0;
  std::string sequence;
  for (const TranscriptEntry& entry : table.entries) {
    if (!transcript_sequence(table, entry, chromosome_sequence, sequence)) {
      // One write per warning: the stream may be unbuffered stderr.
      warnings << ("annoprep: warning: transcript '" + entry.id + "' has exons outside " +
                   table.chromosome + " (" + std::to_string(chromosome_sequence.size()) +
                   " bases); only the bases that exist are taken\n");
      ++warned;
    }
    mrna.put('>');
    mrna.write(entry.id);
    mrna.put('\n');
    mrna.write_block(sequence.data(), sequence.size());
    mrna.put('\n');
  }
  return warned;
}

std::vector<RefRecord> ref_info(const std::string& path) {
  InputFile in(path);
  std::vector<RefRecord> records;
  std::string line;
  std::uint64_t offset = 0;
  // Records are read by lines, so an empty sequence line keeps its header.
  while (in.read_line(line)) {
    RefRecord record;
    record.header = line;
    offset += line.size() + 1;
    record.sequence_offset = offset;
    if (in.read_line(line)) {
      record.sequence_length = line.size();
      offset += line.size() + 1;
    }
    records.push_back(std::move(record));
  }
  return records;
}

void refid_sort(std::vector<RefRecord>& records) {
  std::stable_sort(records.begin(), records.end(),
                   [](const RefRecord& a, const RefRecord& b) { return a.header < b.header; });
}

void refMrna_sort(const std::string& mrna_path, const std::string& sorted_path) {
  std::vector<RefRecord> records = ref_info(mrna_path);
  refid_sort(records);
  std::ifstream in(mrna_path, std::ios::binary);
  if (!in) throw_io_error("cannot open", mrna_path);
  OutputFile out(sorted_path);
  std::string sequence;
  for (const RefRecord& record : records) {
    sequence.resize(record.sequence_length);
    in.seekg(static_cast<std::streamoff>(record.sequence_offset));
    in.read(sequence.data(), static_cast<std::streamsize>(sequence.size()));
    if (!in) throw IoError("cannot read '" + mrna_path + "': file changed while sorting");
    out.write(record.header);
    out.put('\n');
    out.write_block(sequence.data(), sequence.size());
    out.put('\n');
  }
  out.close();
}

}  // namespace quilm::annoprep
