#include "common/fasta_text.hpp"

#include <cstdio>
#include <cstring>

namespace quilm {

std::string skipped_blanks_warning(const std::string& path, std::int64_t count) {
  return "reference '" + path + "': " + std::to_string(count) +
         (count == 1 ? " blank or tab" : " blanks and tabs") +
         " in sequence lines skipped; they are not bases";
}

namespace {

bool is_name_byte(unsigned char c) {
  if ((c >= '0' && c <= '9') || (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z')) return true;
  return c != 0 && std::strchr("!#$%&*+./:;=?@^_|~-", c) != nullptr;
}

std::string hex_byte(unsigned char c) {
  char text[8];
  std::snprintf(text, sizeof text, "0x%02X", c);
  return text;
}

}  // namespace

std::string sam_reference_name_problem(std::string_view name) {
  if (name.empty()) return "is empty";
  if (name == "*") return "is '*', which SAM reads as no reference";
  if (name[0] == '*' || name[0] == '=')
    return std::string("begins with '") + name[0] +
           "', which SAM forbids as the first character of a reference name";
  for (const char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (is_name_byte(c)) continue;
    if (c < 0x21 || c > 0x7E)
      return "holds the byte " + hex_byte(c) +
             ", a control or non-ASCII byte that SAM forbids in a reference name";
    return std::string("holds '") + ch +
           "', which SAM forbids in a reference name (it breaks the region syntax "
           "<name>:<begin>-<end> and the lists of alternative names)";
  }
  return {};
}

std::string printable_name(std::string_view name) {
  std::string out;
  for (const char ch : name) {
    const auto c = static_cast<unsigned char>(ch);
    if (c >= 0x20 && c < 0x7F) {
      out += ch;
    } else {
      char text[8];
      std::snprintf(text, sizeof text, "\\x%02X", c);
      out += text;
    }
  }
  return out;
}

}  // namespace quilm
