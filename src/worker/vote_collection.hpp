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

  std::uint32_t count(std::uint32_t slot) const { return slots_[slot].count & kCount; }
  std::int32_t start(std::uint32_t slot) const { return slots_[slot].start; }
  bool cleared(std::uint32_t slot) const { return (slots_[slot].count & kCleared) != 0; }
  void clear(std::uint32_t slot) { slots_[slot].count |= kCleared; }
  // The seeds that voted for a start, when the votes were counted with
  // mark() (bit j: seed j; the first 32 seeds).
  void mark(std::uint32_t slot, std::uint32_t seed_bit) { slots_[slot].seeds |= seed_bit; }
  std::uint32_t seeds(std::uint32_t slot) const { return slots_[slot].seeds; }
  // The slot of start, or -1 when nobody voted for it.
  std::int64_t find(std::int32_t start) const;
  // A note of the caller per start: a number from 0 to 62, or -1 until set,
  // and a flag.
  int note(std::uint32_t slot) const {
    return static_cast<int>((slots_[slot].count >> kNoteShift) & kNoteMask) - 1;
  }
  void set_note(std::uint32_t slot, int v) {
    Slot& s = slots_[slot];
    s.count = (s.count & ~(kNoteMask << kNoteShift)) |
              (static_cast<std::uint32_t>(v + 1) & kNoteMask) << kNoteShift;
  }
  bool flagged(std::uint32_t slot) const { return (slots_[slot].count & kFlag) != 0; }
  void flag(std::uint32_t slot) { slots_[slot].count |= kFlag; }

 private:
  // count: the votes in the low 24 bits, then the note, the flag and the
  // cleared bit.
  static constexpr std::uint32_t kCount = 0xFFFFFF;
  static constexpr int kNoteShift = 24;
  static constexpr std::uint32_t kNoteMask = 0x3F;
  static constexpr std::uint32_t kFlag = 1u << 30;
  static constexpr std::uint32_t kCleared = 1u << 31;
  static std::uint32_t home(std::int32_t start);
  struct Slot {
    std::uint32_t stamp = 0;
    std::int32_t start = 0;
    std::uint32_t count = 0;
    std::uint32_t seeds = 0;
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
  // The entries with `hits` votes, in list order (grouped once per read).
  std::span<const std::uint32_t> at_level(std::uint32_t hits);
  bool cleared(std::uint32_t slot) const { return table_.cleared(slot); }
  void clear(std::uint32_t slot) { table_.clear(slot); }

  // Once every vote was counted (a floor of 0): the seeds that voted for a
  // start from `from` to `to` (bit j: seed j; the first 32 seeds).
  std::uint32_t seeds_between(std::int64_t from, std::int64_t to) const;
  const VoteTable& table() const { return table_; }
  VoteTable& table() { return table_; }

 private:
  void collect_all(const SeedVotes& in, std::size_t total, std::uint32_t floor);
  void collect_from_small(const SeedVotes& in, std::size_t small, std::size_t votes,
                          std::uint32_t floor);
  bool reaches(std::int32_t start, std::size_t small, std::uint32_t votes,
               std::uint32_t floor) const;
  void emit(std::int32_t start, std::uint32_t slot, std::uint32_t floor);

  VoteTable table_;
  std::vector<Candidate> list_;
  bool grouped_ = false;
  std::vector<std::uint32_t> by_level_;    // entry numbers grouped by hits
  std::vector<std::uint32_t> level_from_;  // hits h: by_level_[level_from_[h] .. [h + 1]]
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
