#include "common/annotation_reading.hpp"

#include <functional>
#include <limits>

#include "common/errors.hpp"
#include "common/input_file.hpp"
#include "common/text_scanner.hpp"

namespace quilm {

namespace {

// Splits a line at every tab into the first nine columns; the ninth ends at
// the next tab. Returns the number of columns found.
int split_columns(std::string_view line, std::string_view (&columns)[9]) {
  int count = 0;
  std::size_t begin = 0;
  while (count < 9) {
    std::size_t tab = line.find('\t', begin);
    columns[count++] = line.substr(begin, tab == std::string_view::npos ? tab : tab - begin);
    if (tab == std::string_view::npos) break;
    begin = tab + 1;
  }
  return count;
}

// Fills the coordinates and strand from the columns; missing columns give 0
// and, for the strand, "." (no strand). A strand column that is empty or
// starts with a blank also gives ".": the exon table's readers skip blanks
// between fields, so a blank strand character could not be read back.
void take_position(const std::string_view (&columns)[9], int count, ExonFields& fields) {
  fields.chromosome = columns[0];
  fields.start = count > 3 ? decimal_prefix(columns[3]) : 0;
  fields.end = count > 4 ? decimal_prefix(columns[4]) : 0;
  const bool has_strand =
      count > 6 && !columns[6].empty() && !is_space(static_cast<unsigned char>(columns[6][0]));
  fields.strand = has_strand ? columns[6][0] : '.';
}

// The quoted value after the word `key` among the space-separated words of
// the attribute column.
bool gtf_attribute(std::string_view attributes, std::string_view key, std::string_view& id) {
  bool after_key = false;
  std::size_t pos = 0;
  while (pos < attributes.size()) {
    std::size_t begin = attributes.find_first_not_of(' ', pos);
    if (begin == std::string_view::npos) break;
    std::size_t end = attributes.find(' ', begin);
    if (end == std::string_view::npos) end = attributes.size();
    std::string_view word = attributes.substr(begin, end - begin);
    if (after_key) {
      std::size_t first = word.find_first_not_of('"');
      word = first == std::string_view::npos ? std::string_view() : word.substr(first);
      id = word.substr(0, word.find('"'));
      return true;
    }
    after_key = word == key;
    pos = end;
  }
  return false;
}

}  // namespace

long decimal_prefix(std::string_view text) {
  std::size_t i = 0;
  while (i < text.size() && is_space(static_cast<unsigned char>(text[i]))) ++i;
  bool negative = false;
  if (i < text.size() && (text[i] == '-' || text[i] == '+')) negative = text[i++] == '-';
  constexpr long kCap = std::numeric_limits<long>::max();
  long value = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    long digit = text[i] - '0';
    value = value > (kCap - digit) / 10 ? kCap : value * 10 + digit;
  }
  return negative ? -value : value;
}

namespace {

// A GTF exon line whose attribute `key` names what it belongs to.
bool select_gtf_exon_of(std::string_view line, std::string_view key, ExonFields& fields) {
  std::string_view columns[9];
  int count = split_columns(line, columns);
  if (count < 9 || columns[2] != "exon") return false;
  if (!gtf_attribute(columns[8], key, fields.id)) return false;
  take_position(columns, count, fields);
  return true;
}

}  // namespace

bool select_gtf_exon(std::string_view line, ExonFields& fields) {
  return select_gtf_exon_of(line, "transcript_id", fields);
}

bool select_gtf_gene_exon(std::string_view line, ExonFields& fields) {
  return select_gtf_exon_of(line, "gene_id", fields);
}

bool select_gff_gene_exon(std::string_view line, ExonFields& fields) {
  if (!select_gff_exon(line, fields)) return false;
  for (std::string_view key : {"\tgene_id=", ";gene_id="}) {
    const std::size_t at = line.find(key);
    if (at == std::string_view::npos) continue;
    std::string_view rest = line.substr(at + key.size());
    fields.id = rest.substr(0, rest.find(';'));
    break;
  }
  return true;
}

bool select_gff_exon(std::string_view line, ExonFields& fields) {
  if (line.empty() || line[0] == '#') return false;
  if (line.find("exon\t") == std::string_view::npos) return false;
  if (line.find("Parent=") == std::string_view::npos) return false;
  std::string_view columns[9];
  int count = split_columns(line, columns);
  if (count < 3 || columns[2] != "exon") return false;
  // Pieces between "=" signs; "Parent=" guarantees that one of them matches.
  std::size_t begin = 0;
  for (;;) {
    std::size_t equals = line.find('=', begin);
    if (equals == std::string_view::npos) return false;
    if (line.substr(begin, equals - begin).find("Parent") != std::string_view::npos) {
      std::string_view rest = line.substr(equals + 1);
      fields.id = rest.substr(0, rest.find(';'));
      break;
    }
    begin = equals + 1;
  }
  take_position(columns, count, fields);
  return true;
}

namespace {

// Lets the identifier maps be searched with a string_view, without building a
// string for every exon line.
struct ViewHash {
  using is_transparent = void;
  std::size_t operator()(std::string_view text) const {
    return std::hash<std::string_view>{}(text);
  }
};
using IdNumbers = std::unordered_map<std::string, std::uint32_t, ViewHash, std::equal_to<>>;

// Groups selected lines by chromosome and gives every transcript identifier
// one number per chromosome, so that millions of exon lines cost no strings.
class ExonCollector {
 public:
  void add(const ExonFields& fields) {
    if (current_ == nullptr || fields.chromosome != current_name_) switch_to(fields.chromosome);
    auto it = current_ids_->find(fields.id);
    if (it == current_ids_->end()) {
      auto number = static_cast<std::uint32_t>(current_->ids.size());
      it = current_ids_->emplace(std::string(fields.id), number).first;
      current_->ids.emplace_back(fields.id);
    }
    current_->lines.push_back(ExonLine{it->second, fields.strand, fields.start, fields.end});
  }
  AnnotationExons take() { return std::move(exons_); }

 private:
  void switch_to(std::string_view chromosome) {
    current_name_.assign(chromosome);
    current_ = &exons_[current_name_];
    current_ids_ = &ids_[current_name_];
  }

  AnnotationExons exons_;
  std::unordered_map<std::string, IdNumbers> ids_;
  std::string current_name_;
  ChromosomeExons* current_ = nullptr;
  IdNumbers* current_ids_ = nullptr;
};

using ExonSelector = bool (*)(std::string_view, ExonFields&);

// Calls add(fields) for every selected line, in file order.
template <typename Add>
void for_each_exon(const std::string& path, ExonSelector select, Add add) {
  InputFile in(path);
  std::string line;
  ExonFields fields;
  while (in.read_line(line)) {
    std::string_view text = line;
    if (!text.empty() && text.back() == '\r') text.remove_suffix(1);
    if (text.empty()) continue;
    if (select(text, fields)) add(fields);
  }
}

AnnotationExons collect_exons(const std::string& path, ExonSelector select) {
  ExonCollector collector;
  for_each_exon(path, select, [&](const ExonFields& fields) { collector.add(fields); });
  return collector.take();
}

// Numbers names in order of first appearance.
std::uint32_t number_of(std::string_view name, IdNumbers& numbers,
                        std::vector<std::string>& names) {
  auto it = numbers.find(name);
  if (it == numbers.end()) {
    it = numbers.emplace(std::string(name), static_cast<std::uint32_t>(names.size())).first;
    names.emplace_back(name);
  }
  return it->second;
}

AnnotationGenes collect_genes(const std::string& path, ExonSelector select) {
  AnnotationGenes genes;
  IdNumbers chromosomes;
  IdNumbers ids;
  for_each_exon(path, select, [&](const ExonFields& f) {
    genes.exons.push_back({number_of(f.chromosome, chromosomes, genes.chromosomes),
                           number_of(f.id, ids, genes.ids), f.strand, f.start, f.end});
  });
  return genes;
}

}  // namespace

AnnotationExons transcriptid_stack(const std::string& gtf_path) {
  return collect_exons(gtf_path, &select_gtf_exon);
}

AnnotationExons gff_stack(const std::string& gff_path) {
  return collect_exons(gff_path, &select_gff_exon);
}

AnnotationGenes read_gene_exons(const std::string& path) {
  AnnotationGenes genes = collect_genes(path, &select_gtf_gene_exon);
  if (genes.exons.empty()) genes = collect_genes(path, &select_gff_gene_exon);
  return genes;
}

}  // namespace quilm
