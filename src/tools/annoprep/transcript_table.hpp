// The transcript table of one chromosome: one entry per transcript
// identifier in ascending byte order, each with room for its exons.
#pragma once

#include <cstddef>
#include <string>
#include <string_view>
#include <vector>

#include "common/annotation_reading.hpp"

namespace quilm::annoprep {

struct Exon {
  long start = 0;
  long end = 0;
};

struct TranscriptEntry {
  std::string id;
  char strand = '.';
  long exon_count = 0;         // exon lines of the transcript
  long exon_fill = 0;          // exons stored so far
  std::size_t first_exon = 0;  // this transcript's slots in TranscriptTable::exons
};

struct TranscriptTable {
  std::string chromosome;
  std::vector<TranscriptEntry> entries;
  std::vector<Exon> exons;  // exon_count slots per entry, entries in table order
};

// Builds the table from the chromosome's exon lines: identifiers ascending
// (byte order), exon_count = number of lines, exon_fill = 0.
TranscriptTable transcriptid_sort(const ChromosomeExons& exons, const std::string& chromosome);

// Binary search by identifier; true and the entry's index when found.
bool binary_sort(const TranscriptTable& table, std::string_view id, std::size_t& index);

// Stores the exon lines in file order in their entries and sets each entry's
// strand from its lines (the last line wins).
void fill_exons(const ChromosomeExons& exons, TranscriptTable& table);

}  // namespace quilm::annoprep
