#include "common/text_scanner.hpp"

#include <cstdlib>
#include <cstring>
#include <limits>

namespace quilm {

bool TextScanner::skip_space() {
  for (;;) {
    if (in_.available() == 0 && !in_.refill()) return false;
    const char* p = in_.data();
    const std::size_t n = in_.available();
    std::size_t i = 0;
    while (i < n && kSpace[static_cast<unsigned char>(p[i])]) ++i;
    in_.consume(i);
    if (i < n) return true;
  }
}

Scan TextScanner::read_long(long long& value) {
  if (!skip_space()) return Scan::kEof;
  int c = in_.peek();
  bool negative = false;
  if (c == '-' || c == '+') {
    negative = c == '-';
    in_.consume(1);
    c = in_.peek();
  }
  if (c < '0' || c > '9') return Scan::kNoMatch;
  unsigned long long v = 0;
  constexpr unsigned long long kCap = std::numeric_limits<long long>::max();
  while (c >= '0' && c <= '9') {
    if (v <= kCap / 10) v = v * 10 + static_cast<unsigned>(c - '0');
    in_.consume(1);
    c = in_.peek();
  }
  if (v > kCap) v = kCap;
  value = negative ? -static_cast<long long>(v) : static_cast<long long>(v);
  return Scan::kOk;
}

Scan TextScanner::read_int(int& value) {
  long long v = 0;
  Scan s = read_long(v);
  if (s != Scan::kOk) return s;
  if (v > std::numeric_limits<int>::max() || v < std::numeric_limits<int>::min())
    return Scan::kNoMatch;
  value = static_cast<int>(v);
  return Scan::kOk;
}

Scan TextScanner::read_double(double& value) {
  if (!skip_space()) return Scan::kEof;
  std::string text;
  for (int c = in_.peek(); c >= 0; c = in_.peek()) {
    bool part = (c >= '0' && c <= '9') || c == '.' || c == 'e' || c == 'E' || c == '-' || c == '+';
    if (!part) break;
    text.push_back(static_cast<char>(c));
    in_.consume(1);
  }
  if (text.empty()) return Scan::kNoMatch;
  char* end = nullptr;
  value = std::strtod(text.c_str(), &end);
  return end == text.c_str() ? Scan::kNoMatch : Scan::kOk;
}

Scan TextScanner::read_word(std::string& word) {
  word.clear();
  if (!skip_space()) return Scan::kEof;
  for (;;) {
    if (in_.available() == 0 && !in_.refill()) return Scan::kOk;
    const char* p = in_.data();
    std::size_t n = in_.available();
    std::size_t i = 0;
    while (i < n && !kSpace[static_cast<unsigned char>(p[i])]) ++i;
    word.append(p, i);
    in_.consume(i);
    if (i < n) return Scan::kOk;
  }
}

Scan TextScanner::read_char(char& c) {
  int b = in_.get();
  if (b < 0) return Scan::kEof;
  c = static_cast<char>(b);
  return Scan::kOk;
}

Scan TextScanner::read_line_end() {
  for (;;) {
    const int c = in_.get();
    if (c < 0) return Scan::kEof;
    if (c == '\n') return Scan::kOk;
    if (c != ' ' && c != '\t' && c != '\r') return Scan::kNoMatch;
  }
}

bool TextScanner::at_line_end() {
  for (;;) {
    const int c = in_.peek();
    if (c < 0 || c == '\n') return true;
    if (c != ' ' && c != '\t' && c != '\r') return false;
    in_.get();
  }
}

Scan TextScanner::read_to_line_end(std::string& text) {
  text.clear();
  int c = in_.peek();
  if (c < 0) return Scan::kEof;
  if (c == '\n') return Scan::kNoMatch;
  for (;;) {
    if (in_.available() == 0 && !in_.refill()) return Scan::kOk;
    const char* p = in_.data();
    const std::size_t n = in_.available();
    const void* nl = std::memchr(p, '\n', n);
    const std::size_t take = nl ? static_cast<std::size_t>(static_cast<const char*>(nl) - p) : n;
    text.append(p, take);
    in_.consume(take);
    if (nl) return Scan::kOk;
  }
}

}  // namespace quilm
