// Seed votes of one strand of a read: every occurrence of a seed in the
// segment votes for the read start it implies, and each vote becomes one
// candidate entry carrying the start's vote count right after that vote.
//
// The searches never read an entry whose count is at or below a floor known
// before the votes are counted (the vote threshold, when indels are off).
// For such a search the entries above the floor can be found without
// counting every vote: a start with more than `floor` votes among S seeds
// occurs in at least one of any S - floor of their buckets, so the S - floor
// smallest buckets name every such start, and binary searches in the other
// buckets count its votes. The entries produced are exactly those of the
// full list with a count above the floor, in the same order.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace quilm {

// One entry per vote, in vote order: seed by seed, and within a seed by
// ascending position in its bucket.
struct Candidate {
  std::int32_t start;  // 1-based segment position of the read's first base
  std::uint32_t hits;  // the start's vote count right after this vote
  std::uint32_t slot;  // the start's slot in the vote table: one per start
};

// Vote counts by read start: a small open-addressing table sized to the
// votes of the read, so the cost of a read does not depend on the segment
// length and nothing needs clearing (a stamp marks the read).
class VoteTable {
 public:
  // Prepares for a read that inserts at most `votes` distinct starts.
  void begin(std::size_t votes);
  // One vote for start; returns its slot, whose count is the new value.
  std::uint32_t vote(std::int32_t start);

  std::uint32_t count(std::uint32_t slot) const { return slots_[slot].count; }
  std::int32_t start(std::uint32_t slot) const { return slots_[slot].start; }
  bool cleared(std::uint32_t slot) const { return slots_[slot].cleared != 0; }
  void clear(std::uint32_t slot) { slots_[slot].cleared = 1; }

 private:
  struct Slot {
    std::uint32_t stamp = 0;
    std::int32_t start = 0;
    std::uint32_t count = 0;
    std::uint32_t cleared = 0;
  };
  std::vector<Slot> slots_;
  std::uint32_t mask_ = 0;
  std::uint32_t stamp_ = 0;
};

// The voting seeds of one strand of a read.
struct SeedVotes {
  std::span<const std::span<const std::int32_t>> buckets;  // ascending positions, seed order
  int seeds = 0;            // seeds of the whole read; fixes where each seed begins
  int read_length = 0;      // n
  int seed_length = 0;      // L
  std::int64_t upper = -1;  // starts must lie in (0, upper); negative: no upper bound
};

// The candidate list of one strand and the vote table behind its slots.
// Buffers are kept from read to read.
class StrandVotes {
 public:
  // How the votes are counted; both give the same list. kCheapest picks
  // the small buckets when they hold few of the votes.
  enum class Route { kCheapest, kAllVotes, kSmallBuckets };

  // Builds the list of the read: the entries with more than `floor` votes
  // (floor 0: every entry), in list order, with the counts they have when
  // every vote is counted, and one slot per start.
  void collect(const SeedVotes& in, std::uint32_t floor, Route route = Route::kCheapest);

  const std::vector<Candidate>& list() const { return list_; }
  bool cleared(std::uint32_t slot) const { return table_.cleared(slot); }
  void clear(std::uint32_t slot) { table_.clear(slot); }

 private:
  void collect_all(const SeedVotes& in, std::size_t total, std::uint32_t floor);
  void collect_from_small(const SeedVotes& in, std::size_t small, std::size_t votes,
                          std::uint32_t floor);
  bool reaches(std::int32_t start, std::size_t small, std::uint32_t votes,
               std::uint32_t floor) const;
  void emit(std::int32_t start, std::uint32_t slot, std::uint32_t floor);

  VoteTable table_;
  std::vector<Candidate> list_;
  // Scratch of the selective collection.
  std::vector<std::int64_t> offsets_;  // read position of each seed
  std::vector<std::uint32_t> order_;   // seeds, the small buckets first
  std::vector<std::uint32_t> fresh_;   // slots of the candidate starts
  std::span<const std::span<const std::int32_t>> buckets_;
  struct Keyed {
    std::uint64_t order;  // seed, then index in its bucket
    Candidate entry;
  };
  std::vector<Keyed> keyed_;
};

}  // namespace quilm
