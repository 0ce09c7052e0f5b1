#include "pipeline/junction_sources.hpp"

#include <algorithm>
#include <map>
#include <sstream>
#include <string_view>
#include <tuple>
#include <unordered_map>

#include "common/errors.hpp"
#include "common/known_junctions.hpp"
#include "pipeline/merged_splice_record.hpp"

namespace quilm {

namespace {

struct Support {
  int reads = 0;
  bool trusted_read = false;
  char strand = '.';
};

// The split hit's intron: the first part ends on read base `split`, at
// first + split; the second part starts at second + split + 1 (0-based).
ChromosomeJunction intron_of(const SpliceOutputRecord& hit) {
  return {hit.chromosome, hit.first + hit.split + 2, hit.second + hit.split + 1,
          hit.strand == 'F' ? '+' : '-'};
}

}  // namespace

std::vector<ChromosomeJunction> run_junctions(const std::string& splice_merged) {
  std::map<ChromosomeJunction, Support> support;
  std::map<long long, int> hits_per_read;
  std::vector<std::pair<long long, ChromosomeJunction>> hits;
  std::vector<bool> high;
  MergedSpliceReader reader(splice_merged);
  MergedSpliceRecord r;
  while (reader.next(r)) {
    ++hits_per_read[r.hit.read_number];
    hits.emplace_back(r.hit.read_number, intron_of(r.hit));
    high.push_back(r.hit.errors <= 0.05 * static_cast<double>(r.hit.sequence.size()) + 1.5);
  }
  for (std::size_t k = 0; k < hits.size(); ++k) {
    ChromosomeJunction key = hits[k].second;
    const char strand = key.strand;
    key.strand = '.';
    Support& s = support[key];
    ++s.reads;
    if (s.strand == '.') s.strand = strand;
    if (high[k] && hits_per_read[hits[k].first] == 1) s.trusted_read = true;
  }
  std::vector<ChromosomeJunction> out;
  for (const auto& [key, s] : support) {
    if (s.reads < 2 && !s.trusted_read) continue;
    out.push_back(key);
    out.back().strand = s.strand;
  }
  sort_unique_junctions(out);
  return out;
}

JunctionFit fit_known_junctions(const std::vector<ChromosomeJunction>& known,
                                const std::vector<FastaSequence>& reference) {
  std::unordered_map<std::string_view, std::int64_t> lengths;
  for (const FastaSequence& sequence : reference) lengths.emplace(sequence.name, sequence.length);
  JunctionFit fit;
  for (const ChromosomeJunction& j : known) {
    const auto it = lengths.find(j.chromosome);
    if (it == lengths.end()) {
      if (fit.unknown_chromosome++ == 0) fit.unknown_example = j.chromosome;
    } else if (j.last > it->second) {
      if (fit.past_end++ == 0) fit.past_end_example = j.chromosome;
    } else {
      ++fit.fitting;
    }
  }
  return fit;
}

namespace {

std::string misfit_counts(const JunctionFit& fit, const std::string& ref_path,
                          const std::vector<FastaSequence>& reference) {
  std::string text;
  if (fit.unknown_chromosome > 0) {
    text += std::to_string(fit.unknown_chromosome) + " on chromosomes that reference '" + ref_path +
            "' does not hold (such as '" + fit.unknown_example + "'";
    if (!reference.empty()) text += "; the reference's first is '" + reference[0].name + "'";
    text += ")";
  }
  if (fit.past_end > 0) {
    if (!text.empty()) text += ", ";
    text += std::to_string(fit.past_end) + " past the end of their chromosome (such as on '" +
            fit.past_end_example + "')";
  }
  return text;
}

}  // namespace

std::string check_known_junctions(const std::string& path,
                                  const std::vector<ChromosomeJunction>& known,
                                  const std::string& ref_path,
                                  const std::vector<FastaSequence>& reference) {
  const JunctionFit fit = fit_known_junctions(known, reference);
  if (fit.unknown_chromosome == 0 && fit.past_end == 0) return {};
  const std::string counts = misfit_counts(fit, ref_path, reference);
  if (fit.fitting == 0)
    throw InputError("--junctions='" + path + "': none of its " + std::to_string(known.size()) +
                     " junctions lies on the reference: " + counts);
  return "--junctions='" + path + "': " + std::to_string(fit.unknown_chromosome + fit.past_end) +
         " of its " + std::to_string(known.size()) +
         " junctions match nothing and are not used: " + counts;
}

std::vector<ChromosomeJunction> merge_junctions(std::vector<ChromosomeJunction> a,
                                                const std::vector<ChromosomeJunction>& b) {
  a.insert(a.end(), b.begin(), b.end());
  sort_unique_junctions(a);
  return a;
}

}  // namespace quilm
