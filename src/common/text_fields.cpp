#include "common/text_fields.hpp"

#include "common/errors.hpp"

namespace quilm {

void split_fields(std::string_view line, std::vector<std::string_view>& fields) {
  fields.clear();
  std::size_t start = 0;
  while (true) {
    const std::size_t tab = line.find('\t', start);
    fields.push_back(line.substr(start, tab == std::string_view::npos ? tab : tab - start));
    if (tab == std::string_view::npos) return;
    start = tab + 1;
  }
}

bool parse_strand(std::string_view field, char& strand) {
  if (field.size() != 1 || (field[0] != '+' && field[0] != '-' && field[0] != '.')) return false;
  strand = field[0];
  return true;
}

void throw_bad_line(const std::string& path, long line, const std::string& why) {
  throw InputError("'" + path + "' line " + std::to_string(line) + ": " + why);
}

}  // namespace quilm
