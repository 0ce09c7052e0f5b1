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
  int seed_step = 3;                // a seed at every third read position
  std::int32_t max_bucket = 24;     // a seed with more positions is a repeat: no vote
  std::size_t max_diagonals = 6;    // the best-supported diagonals kept
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
  // No loci, as for a read not looked up.
  void clear() {
    chosen_.clear();
    locus_start_.clear();
    locus_support_.clear();
  }
  int best_support() const {
    return locus_support_.empty() ? 0
                                  : *std::max_element(locus_support_.begin(), locus_support_.end());
  }

 private:
  void choose(const CandidateLimits& limits);

  std::vector<std::pair<std::int64_t, int>> keys_;  // seed key (then id), read offset
  std::vector<std::int64_t> hits_;
  std::vector<std::pair<int, std::int64_t>> runs_;  // (-support, diagonal)
  std::vector<std::int64_t> chosen_;
  std::vector<std::size_t> locus_start_;
  std::vector<int> locus_support_;
};

template <class Index>
void CandidateLoci::find(const Index& index, std::string_view read, const CandidateLimits& limits) {
  keys_.clear();
  const int L = limits.seed_length;
  const int n = static_cast<int>(read.size());
  const std::uint64_t mask = (std::uint64_t{1} << (2 * L)) - 1;
  std::uint64_t key = 0;
  int valid = 0;
  for (int i = 0; i < n; ++i) {
    const int code = base_code(read[static_cast<std::size_t>(i)]);
    valid = code < 0 ? 0 : valid + 1;
    key = ((key << 2) | static_cast<std::uint64_t>(code < 0 ? 0 : code)) & mask;
    // Every seed_step-th window, and the last one.
    if (valid < L || ((i - L + 1) % limits.seed_step != 0 && i + 1 != n)) continue;
    keys_.push_back({static_cast<std::int64_t>(key), i - L + 1});
  }
  // The lookups go in two rounds with cache hints, so that their memory
  // reads overlap instead of waiting one after the other.
  for (const auto& [k, offset] : keys_) index.prefetch_key(k);
  for (auto& [k, offset] : keys_) {
    k = index.translate(k);
    index.prefetch_id(k);
  }
  hits_.clear();
  for (const auto& [id, offset] : keys_) {
    if (id < 0) continue;
    const auto positions = index.bucket(id);
    if (static_cast<std::int32_t>(positions.size()) > limits.max_bucket) continue;
    // Positions are 1-based starts of the seed.
    for (const std::int32_t p : positions) hits_.push_back(std::int64_t{p} - 1 - offset);
  }
  choose(limits);
}

}  // namespace quilm
