#include "common/pair_counts.hpp"

#include <string_view>

#include "common/errors.hpp"
#include "common/input_file.hpp"
#include "common/output_file.hpp"
#include "common/whole_number.hpp"

namespace quilm {

namespace {

struct Figure {
  const char* name;
  long PairCounts::*count;
};

constexpr Figure kFigures[] = {
    {"pairs", &PairCounts::pairs},
    {"concordant_once", &PairCounts::concordant_once},
    {"concordant_more", &PairCounts::concordant_more},
    {"discordant", &PairCounts::discordant},
    {"one_mate", &PairCounts::one_mate},
    {"none", &PairCounts::none},
    {"mates_rescued", &PairCounts::mates_rescued},
};

bool read_figure(InputFile& in, const Figure& figure, PairCounts& counts) {
  std::string line;
  if (!in.read_line(line)) return false;
  const std::string_view text = line;
  const std::string_view name = figure.name;
  if (!text.starts_with(name) || text.size() <= name.size() + 1 || text[name.size()] != '\t')
    return false;
  long& value = counts.*figure.count;
  return parse_whole_number(text.substr(name.size() + 1), value) && value >= 0;
}

double percent(long part, long whole) {
  return whole > 0 ? 100.0 * static_cast<double>(part) / static_cast<double>(whole) : 0.0;
}

}  // namespace

void write_pair_counts(const std::string& path, const PairCounts& counts) {
  OutputFile out(path);
  for (const Figure& f : kFigures) {
    out.write(f.name);
    out.put('\t');
    out.write_int(counts.*f.count);
    out.put('\n');
  }
  out.close();
}

PairCounts read_pair_counts(const std::string& path) {
  InputFile in(path);
  PairCounts counts;
  for (const Figure& f : kFigures)
    if (!read_figure(in, f, counts))
      throw InputError("'" + path + "': the line of '" + f.name + "' is missing or not a count");
  if (counts.concordant_once + counts.concordant_more + counts.discordant + counts.one_mate +
          counts.none !=
      counts.pairs)
    throw InputError("'" + path + "': the classes of pairs do not add up to the pairs");
  return counts;
}

void print_pair_counts(std::FILE* out, const PairCounts& c) {
  const auto line = [&](long n, const char* what) {
    std::fprintf(out, "  %ld (%.2f%%) %s\n", n, percent(n, c.pairs), what);
  };
  std::fprintf(out, "%ld pairs; of these:\n", c.pairs);
  line(c.concordant_once, "aligned concordantly exactly 1 time");
  line(c.concordant_more, "aligned concordantly >1 times");
  line(c.discordant, "aligned discordantly");
  line(c.one_mate, "with one mate aligned, the other not");
  line(c.none, "with neither mate aligned");
  if (c.mates_rescued > 0)
    std::fprintf(out, "  %ld mates were found near their mate (rescued)\n", c.mates_rescued);
}

}  // namespace quilm
