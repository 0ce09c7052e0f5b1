#include "rescue/segment_junctions.hpp"

#include <algorithm>
#include <cstdint>
#include <tuple>

namespace quilm {

SegmentJunctions::SegmentJunctions(std::vector<SegmentJunction> junctions)
    : by_first_(std::move(junctions)) {
  std::sort(by_first_.begin(), by_first_.end(), [](const auto& a, const auto& b) {
    return std::tie(a.first, a.last, a.strand) < std::tie(b.first, b.last, b.strand);
  });
  by_first_.erase(std::unique(by_first_.begin(), by_first_.end(),
                              [](const auto& a, const auto& b) {
                                return a.first == b.first && a.last == b.last;
                              }),
                  by_first_.end());
  by_last_ = by_first_;
  std::sort(by_last_.begin(), by_last_.end(), [](const auto& a, const auto& b) {
    return std::tie(a.last, a.first) < std::tie(b.last, b.first);
  });
  for (const SegmentJunction& j : by_first_) {
    mark(first_blocks_, j.first);
    mark(last_blocks_, j.last);
  }
}

void SegmentJunctions::mark(std::vector<std::uint64_t>& blocks, std::int64_t at) {
  if (at < 0) return;
  const auto block = static_cast<std::size_t>(at >> kBlockShift);
  if (blocks.size() <= block / 64) blocks.resize(block / 64 + 1, 0);
  blocks[block / 64] |= std::uint64_t{1} << (block % 64);
}

// True unless no block of [from, to) holds a mark (then no junction lies
// there); a junction before base 0 never is in a range that starts at 0 or
// later, and ranges reaching below 0 are searched.
bool SegmentJunctions::any_in(const std::vector<std::uint64_t>& blocks, std::int64_t from,
                              std::int64_t to) {
  if (from < 0) return true;
  if (to <= from) return false;
  const auto first = static_cast<std::size_t>(from >> kBlockShift);
  const auto last = static_cast<std::size_t>((to - 1) >> kBlockShift);
  for (std::size_t b = first; b <= last; ++b) {
    if (b / 64 >= blocks.size()) return false;
    if (blocks[b / 64] >> (b % 64) & 1) return true;
  }
  return false;
}

const SegmentJunction* SegmentJunctions::find(std::int64_t first, std::int64_t last) const {
  const auto it =
      std::lower_bound(by_first_.begin(), by_first_.end(), std::pair{first, last},
                       [](const SegmentJunction& j, const auto& key) {
                         return std::tie(j.first, j.last) < std::tie(key.first, key.second);
                       });
  return it != by_first_.end() && it->first == first && it->last == last ? &*it : nullptr;
}

std::span<const SegmentJunction> SegmentJunctions::starting_in(std::int64_t from,
                                                               std::int64_t to) const {
  if (!any_in(first_blocks_, from, to)) return {};
  const auto lo = std::lower_bound(by_first_.begin(), by_first_.end(), from,
                                   [](const auto& j, std::int64_t v) { return j.first < v; });
  const auto hi = std::lower_bound(lo, by_first_.end(), to,
                                   [](const auto& j, std::int64_t v) { return j.first < v; });
  return {lo, hi};
}

std::span<const SegmentJunction> SegmentJunctions::ending_in(std::int64_t from,
                                                             std::int64_t to) const {
  if (!any_in(last_blocks_, from, to)) return {};
  const auto lo = std::lower_bound(by_last_.begin(), by_last_.end(), from,
                                   [](const auto& j, std::int64_t v) { return j.last < v; });
  const auto hi = std::lower_bound(lo, by_last_.end(), to,
                                   [](const auto& j, std::int64_t v) { return j.last < v; });
  return {lo, hi};
}

}  // namespace quilm
