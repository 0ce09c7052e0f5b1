// Transcript sequences: "refMrna.fa" in table order and "refMrna_sort.fa"
// sorted by identifier.
#pragma once

#include <cstdint>
#include <ostream>
#include <string>
#include <vector>

#include "common/output_file.hpp"
#include "tools/annoprep/transcript_table.hpp"

namespace quilm::annoprep {

// Upper-cases a, c, g and t in place (nothing else) and returns the length.
std::size_t read_treat(std::string& sequence);

// Appends ">id\nsequence\n" per transcript: the exons' forward-strand bases,
// first to last for '+', last to first for '-', none for other strands.
// Exon bases outside the chromosome are left out with a warning naming the
// transcript. Returns the number of transcripts warned about.
long refMrna_create(const TranscriptTable& table, const std::string& chromosome_sequence,
                    OutputFile& mrna, std::ostream& warnings);

// One record of a transcript sequence file: its header line and where its
// sequence line lies.
struct RefRecord {
  std::string header;
  std::uint64_t sequence_offset = 0;
  std::uint64_t sequence_length = 0;
};

// Reads a transcript sequence file as pairs of lines (header, sequence).
std::vector<RefRecord> ref_info(const std::string& path);

// Sorts by header line in ascending byte order; equal headers keep file order.
void refid_sort(std::vector<RefRecord>& records);

// Writes the records of mrna_path sorted by identifier into sorted_path.
void refMrna_sort(const std::string& mrna_path, const std::string& sorted_path);

}  // namespace quilm::annoprep
