#include "tools/annoprep/transcript_table.hpp"

#include <algorithm>
#include <numeric>

namespace quilm::annoprep {

TranscriptTable transcriptid_sort(const ChromosomeExons& exons, const std::string& chromosome) {
  std::vector<long> counts(exons.ids.size(), 0);
  for (const ExonLine& line : exons.lines) ++counts[line.transcript];

  // Identifiers are distinct here, so any sort gives the same order.
  std::vector<std::size_t> order(exons.ids.size());
  std::iota(order.begin(), order.end(), std::size_t{0});
  std::sort(order.begin(), order.end(),
            [&](std::size_t a, std::size_t b) { return exons.ids[a] < exons.ids[b]; });

  TranscriptTable table;
  table.chromosome = chromosome;
  table.entries.reserve(order.size());
  std::size_t next_exon = 0;
  for (std::size_t k : order) {
    TranscriptEntry entry;
    entry.id = exons.ids[k];
    entry.exon_count = counts[k];
    entry.first_exon = next_exon;
    next_exon += static_cast<std::size_t>(counts[k]);
    table.entries.push_back(std::move(entry));
  }
  table.exons.resize(next_exon);
  return table;
}

bool binary_sort(const TranscriptTable& table, std::string_view id, std::size_t& index) {
  std::size_t low = 0;
  std::size_t high = table.entries.size();  // one past the last candidate
  while (low < high) {
    std::size_t middle = low + (high - low) / 2;
    int order = std::string_view(table.entries[middle].id).compare(id);
    if (order < 0) {
      low = middle + 1;
    } else if (order > 0) {
      high = middle;
    } else {
      index = middle;
      return true;
    }
  }
  return false;
}

void fill_exons(const ChromosomeExons& exons, TranscriptTable& table) {
  for (const ExonLine& line : exons.lines) {
    std::size_t index = 0;
    if (!binary_sort(table, exons.ids[line.transcript], index)) continue;
    TranscriptEntry& entry = table.entries[index];
    // Every line was counted when the table was built, so a slot is free.
    if (entry.exon_fill >= entry.exon_count) continue;
    entry.strand = line.strand;
    table.exons[entry.first_exon + static_cast<std::size_t>(entry.exon_fill)] = {line.start,
                                                                                 line.end};
    ++entry.exon_fill;
  }
}

}  // namespace quilm::annoprep
