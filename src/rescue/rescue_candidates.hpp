// Candidate loci of a read on a segment: every window of 14 valid bases of
// the read is looked up in the seed index, each hit names a diagonal
// (segment base of read base 0), and the diagonals with the most seeds,
// grouped into loci no wider than the longest intron, are the places the
// spliced alignment tries.
#pragma once

#include <algorithm>
#include <cstdint>
#include <span>
#include <string_view>
#include <utility>
#include <vector>

#include "common/seed_code.hpp"

namespace quilm {

struct CandidateLimits {
  int seed_length = 14;
  std::int32_t max_bucket = 64;     // a seed with more positions is a repeat: no vote
  std::size_t max_diagonals = 12;   // the best-supported diagonals kept
  std::int64_t locus_span = 50000;  // diagonals of one locus lie this close together
};

class CandidateLoci {
 public:
  // Collects the diagonals of `read`'s seeds and groups the best of them.
  template <class Index>
  void find(const Index& index, std::string_view read, const CandidateLimits& limits);

  std::size_t locus_count() const { return locus_start_.empty() ? 0 : locus_start_.size() - 1; }
  // The ascending diagonals of locus k, and its seed count.
  std::span<const std::int64_t> locus(std::size_t k) const {
    return {chosen_.data() + locus_start_[k], locus_start_[k + 1] - locus_start_[k]};
  }
  int locus_support(std::size_t k) const { return locus_support_[k]; }

 private:
  void choose(const CandidateLimits& limits);

  std::vector<std::int64_t> hits_;
  std::vector<std::pair<int, std::int64_t>> runs_;  // (-support, diagonal)
  std::vector<std::int64_t> chosen_;
  std::vector<std::size_t> locus_start_;
  std::vector<int> locus_support_;
};

template <class Index>
void CandidateLoci::find(const Index& index, std::string_view read, const CandidateLimits& limits) {
  hits_.clear();
  const int L = limits.seed_length;
  const std::uint64_t mask = (std::uint64_t{1} << (2 * L)) - 1;
  std::uint64_t key = 0;
  int valid = 0;
  for (int i = 0; i < static_cast<int>(read.size()); ++i) {
    const int code = base_code(read[static_cast<std::size_t>(i)]);
    valid = code < 0 ? 0 : valid + 1;
    key = ((key << 2) | static_cast<std::uint64_t>(code < 0 ? 0 : code)) & mask;
    if (valid < L) continue;
    const std::int64_t id = index.translate(static_cast<std::int64_t>(key));
    if (id < 0) continue;
    const auto positions = index.bucket(id);
    if (static_cast<std::int32_t>(positions.size()) > limits.max_bucket) continue;
    const int offset = i - L + 1;
    // Positions are 1-based starts of the seed.
    for (const std::int32_t p : positions) hits_.push_back(std::int64_t{p} - 1 - offset);
  }
  choose(limits);
}

}  // namespace quilm
