#include "common/provenance.hpp"

namespace quilm {

namespace {

bool is_letter(char c) {
  return (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z');
}
bool is_digit(char c) {
  return c >= '0' && c <= '9';
}

// Header values are printable: no tab, no line break, no control byte.
bool printable(std::string_view text) {
  for (char c : text)
    if (static_cast<unsigned char>(c) < ' ' || c == '\x7f') return false;
  return !text.empty();
}

std::string field_problem(const std::string& field) {
  const std::string option = std::string(kReadGroupFieldOption) + field;
  if (field.size() < 3 || field[2] != ':' || !is_letter(field[0]) ||
      !(is_letter(field[1]) || is_digit(field[1])))
    return "option " + option +
           ": needs TAG:VALUE with a TAG of two characters, a letter and a letter or digit";
  if (field.compare(0, 2, "ID") == 0)
    return "option " + option + ": the ID of the read group is given by --rg-id=<id>";
  if (!printable(std::string_view(field).substr(3)))
    return "option " + option + ": the value is empty or holds a tab, line break or control byte";
  return {};
}

}  // namespace

bool take_read_group_option(std::string_view arg, ReadGroup& group) {
  if (arg.starts_with(kReadGroupIdOption)) {
    group.id = arg.substr(kReadGroupIdOption.size());
    group.id_given = true;
    return true;
  }
  if (arg.starts_with(kReadGroupFieldOption)) {
    group.fields.emplace_back(arg.substr(kReadGroupFieldOption.size()));
    return true;
  }
  return false;
}

std::string read_group_problem(const ReadGroup& group) {
  if (group.id_given && group.id.empty()) return "option --rg-id=<id>: the ID is empty";
  if (group.id.empty() && !group.fields.empty())
    return "option --rg=" + group.fields.front() + " needs --rg-id=<id>";
  if (!group.id.empty() && !printable(group.id))
    return "option --rg-id: the ID holds a tab, line break or control byte";
  for (std::size_t k = 0; k < group.fields.size(); ++k) {
    const std::string& field = group.fields[k];
    std::string problem = field_problem(field);
    if (!problem.empty()) return problem;
    for (std::size_t j = 0; j < k; ++j)
      if (group.fields[j].compare(0, 2, field, 0, 2) == 0)
        return "option " + std::string(kReadGroupFieldOption) + field + ": the tag " +
               field.substr(0, 2) + " is given twice";
  }
  return {};
}

std::string command_line_of(int argc, const char* const* argv) {
  std::string line;
  for (int i = 0; i < argc; ++i) {
    if (i > 0) line += ' ';
    line += argv[i];
  }
  return line;
}

}  // namespace quilm
