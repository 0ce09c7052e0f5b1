#include "splice/splice_cut_sites.hpp"

#include <algorithm>

namespace quilm {

namespace {

// Mask numbers: family F's groups are GT/GC-AG and AT-AC, family R's CT-AC/GC
// and GT-AT (the same signals as they read on the other strand).
constexpr int kMasks = 4;
int mask_of(SignalFamily family, int group) {
  return (family == SignalFamily::kForward ? 0 : 2) + group;
}

void set_bit(std::uint64_t* mask, int k) {
  mask[k >> 6] |= std::uint64_t{1} << (k & 63);
}

}  // namespace

void CutSites::reset(std::string_view q, const char* segment,
                     std::span<const SpliceCandidate> candidates, int seed_length, int max_errors) {
  q_ = q;
  segment_ = segment;
  candidates_ = candidates;
  max_errors_ = max_errors;
  const int n = static_cast<int>(q.size());
  lo_ = std::max(1, seed_length);
  hi_ = std::min(n - 3, n - seed_length - 1);
  words_ = hi_ >= lo_ ? static_cast<std::size_t>(hi_ - lo_) / 64 + 1 : 0;
  first_slot_.assign(candidates.size(), kUnknown);
  second_slot_.assign(candidates.size(), kUnknown);
  sites_.clear();
  scratch_.assign(kMasks * words_, 0);
}

std::int32_t CutSites::store(const std::uint64_t* masks) {
  const std::size_t all = kMasks * words_;
  if (std::all_of(masks, masks + all, [](std::uint64_t w) { return w == 0; })) return kNone;
  const auto slot = static_cast<std::int32_t>(sites_.size());
  sites_.insert(sites_.end(), masks, masks + all);
  return slot;
}

// q[0..a] against the window of a: the running mismatch count stops the scan
// once it is above max_errors, since no later cut can then be accepted.
const std::uint64_t* CutSites::first_sites(std::uint32_t a) {
  std::int32_t& slot = first_slot_[a];
  if (slot == kUnknown) {
    std::fill(scratch_.begin(), scratch_.end(), 0);
    std::uint64_t* m = scratch_.data();
    const char* w = segment_ + (candidates_[a].start - 1);
    int e = 0;
    for (int i = 0; i <= hi_; ++i) {
      e += q_[i] != w[i];
      if (e > max_errors_) break;
      if (i < lo_ || 10 * e > i) continue;
      const char d1 = w[i + 1];
      const char d2 = w[i + 2];
      const int k = i - lo_;
      if (d1 == 'G' && (d2 == 'T' || d2 == 'C'))
        set_bit(m + mask_of(SignalFamily::kForward, 0) * words_, k);
      if (d1 == 'A' && d2 == 'T') set_bit(m + mask_of(SignalFamily::kForward, 1) * words_, k);
      if (d1 == 'C' && d2 == 'T') set_bit(m + mask_of(SignalFamily::kReverse, 0) * words_, k);
      if (d1 == 'G' && d2 == 'T') set_bit(m + mask_of(SignalFamily::kReverse, 1) * words_, k);
    }
    slot = store(m);
  }
  return slot >= 0 ? sites_.data() + slot : nullptr;
}

// q[a+1..] against the window of b, from the sequence's end backwards.
const std::uint64_t* CutSites::second_sites(std::uint32_t b) {
  std::int32_t& slot = second_slot_[b];
  if (slot == kUnknown) {
    std::fill(scratch_.begin(), scratch_.end(), 0);
    std::uint64_t* m = scratch_.data();
    const char* w = segment_ + (candidates_[b].start - 1);
    const int n = static_cast<int>(q_.size());
    int e = 0;
    for (int j = n - 1; j > lo_; --j) {
      e += q_[j] != w[j];
      if (e > max_errors_) break;
      const int a = j - 1;
      if (a > hi_ || 10 * e > n - a) continue;
      const char x1 = w[a - 1];
      const char x2 = w[a];
      const int k = a - lo_;
      if (x1 == 'A' && x2 == 'G') set_bit(m + mask_of(SignalFamily::kForward, 0) * words_, k);
      if (x1 == 'A' && x2 == 'C') {
        set_bit(m + mask_of(SignalFamily::kForward, 1) * words_, k);
        set_bit(m + mask_of(SignalFamily::kReverse, 0) * words_, k);
      }
      if (x1 == 'G' && x2 == 'C') set_bit(m + mask_of(SignalFamily::kReverse, 0) * words_, k);
      if (x1 == 'A' && x2 == 'T') set_bit(m + mask_of(SignalFamily::kReverse, 1) * words_, k);
    }
    slot = store(m);
  }
  return slot >= 0 ? sites_.data() + slot : nullptr;
}

bool CutSites::may_cut(std::uint32_t a, std::uint32_t b) {
  if (first_sites(a) == nullptr || second_sites(b) == nullptr) return false;
  const std::uint64_t* f = sites_.data() + first_slot_[a];
  const std::uint64_t* s = sites_.data() + second_slot_[b];
  for (std::size_t w = 0; w < kMasks * words_; ++w)
    if ((f[w] & s[w]) != 0) return true;
  return false;
}

bool CutSites::may_cut(std::uint32_t a, std::uint32_t b, SignalFamily family) {
  // Both parts' masks first: making one may move the other.
  if (first_sites(a) == nullptr || second_sites(b) == nullptr) return false;
  const std::uint64_t* f = sites_.data() + first_slot_[a];
  const std::uint64_t* s = sites_.data() + second_slot_[b];
  // The family's two groups lie side by side.
  const std::size_t from = static_cast<std::size_t>(mask_of(family, 0)) * words_;
  for (std::size_t w = from; w < from + 2 * words_; ++w)
    if ((f[w] & s[w]) != 0) return true;
  return false;
}

}  // namespace quilm
