// Base complements for the benchmark generators (compiled on their own, so
// they do not link the project's library).
#pragma once

#include <algorithm>
#include <string>

inline char complement(char c) {
  switch (c) {
    case 'A':
      return 'T';
    case 'T':
      return 'A';
    case 'C':
      return 'G';
    case 'G':
      return 'C';
    case 'a':
      return 't';
    case 't':
      return 'a';
    case 'c':
      return 'g';
    case 'g':
      return 'c';
    default:
      return c;
  }
}

inline void reverse_complement(std::string& s) {
  std::reverse(s.begin(), s.end());
  for (char& c : s) c = complement(c);
}
