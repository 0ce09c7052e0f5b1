// Reading a whole number that stands alone in a text (an option's value, an
// environment variable, a field of a work file).
#pragma once

#include <charconv>
#include <string_view>
#include <system_error>

namespace quilm {

// True when all of `text` is one whole number in the range of T: digits,
// after a '-' for a signed T; no blanks, no '+'. `value` is set only then.
template <class T>
bool parse_whole_number(std::string_view text, T& value) {
  T parsed{};
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parsed);
  if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return false;
  value = parsed;
  return true;
}

}  // namespace quilm
