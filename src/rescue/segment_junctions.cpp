#include "rescue/segment_junctions.hpp"

#include <algorithm>
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
  const auto lo = std::lower_bound(by_first_.begin(), by_first_.end(), from,
                                   [](const auto& j, std::int64_t v) { return j.first < v; });
  const auto hi = std::lower_bound(lo, by_first_.end(), to,
                                   [](const auto& j, std::int64_t v) { return j.first < v; });
  return {lo, hi};
}

std::span<const SegmentJunction> SegmentJunctions::ending_in(std::int64_t from,
                                                             std::int64_t to) const {
  const auto lo = std::lower_bound(by_last_.begin(), by_last_.end(), from,
                                   [](const auto& j, std::int64_t v) { return j.last < v; });
  const auto hi = std::lower_bound(lo, by_last_.end(), to,
                                   [](const auto& j, std::int64_t v) { return j.last < v; });
  return {lo, hi};
}

}  // namespace quilm
