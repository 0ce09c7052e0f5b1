// The known junctions of one segment, in segment coordinates, sorted twice:
// by the intron's first base (to find the junctions a read leaves an exon
// through) and by its last (to find those it enters one through).
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace quilm {

struct SegmentJunction {
  std::int64_t first = 0;  // first intron base, 0-based in the segment
  std::int64_t last = 0;   // last intron base
  char strand = '.';       // '+', '-', or '.' when unknown

  std::int64_t length() const { return last - first + 1; }
  friend bool operator==(const SegmentJunction&, const SegmentJunction&) = default;
};

class SegmentJunctions {
 public:
  SegmentJunctions() = default;
  // Sorts and drops duplicates (the same intron, whatever the strand).
  explicit SegmentJunctions(std::vector<SegmentJunction> junctions);

  // The junction with exactly these intron bases, or nullptr.
  const SegmentJunction* find(std::int64_t first, std::int64_t last) const;
  // Junctions whose first intron base lies in [from, to).
  std::span<const SegmentJunction> starting_in(std::int64_t from, std::int64_t to) const;
  // Junctions whose last intron base lies in [from, to).
  std::span<const SegmentJunction> ending_in(std::int64_t from, std::int64_t to) const;
  std::size_t size() const { return by_first_.size(); }

 private:
  // Whether any junction's first (last) base lies in the kBlock bases of a
  // block: most reads lie far from every junction, and one look at the
  // blocks they span spares them the search.
  static constexpr int kBlockShift = 6;
  static bool any_in(const std::vector<std::uint64_t>& blocks, std::int64_t from, std::int64_t to);
  static void mark(std::vector<std::uint64_t>& blocks, std::int64_t at);
  std::vector<SegmentJunction> by_first_;
  std::vector<SegmentJunction> by_last_;
  std::vector<std::uint64_t> first_blocks_, last_blocks_;
};

}  // namespace quilm
