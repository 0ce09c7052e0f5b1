#include "sam/pair_records.hpp"

#include <span>

#include "sam/stored_records.hpp"

namespace quilm::sam {

namespace {

void describe_hits(PlacedMate& m) {
  m.mate_hits.resize(static_cast<std::size_t>(m.count));
  for (int k = 0; k < m.count; ++k) {
    const Placement& p = m.placements[static_cast<std::size_t>(k)];
    m.mate_hits[static_cast<std::size_t>(k)] = {m.hits[k].chromosome, p.position,
                                                p.position + reference_length(p.cigar), p.reverse,
                                                m.hits[k].errors};
  }
}

std::int64_t five_prime(const MateHit& h) {
  return five_prime_end(h.pos, h.end, h.reverse);
}

// The pair fields of a record of hit `k` of `self` pointing to hit `o` of
// `other`, with that record's mapping quality.
MateFields point_to(const PlacedMate& self, int k, const PlacedMate& other, int o, int other_mapq,
                    bool second) {
  const MateHit& h = self.mate_hits[static_cast<std::size_t>(k)];
  const MateHit& m = other.mate_hits[static_cast<std::size_t>(o)];
  MateFields f;
  f.second = second;
  f.mate_reverse = m.reverse;
  f.mate_tid = m.tid;
  f.mate_pos = m.pos;
  f.template_length = h.tid == m.tid ? five_prime(m) - five_prime(h) : 0;
  f.mate_cigar = &other.placements[static_cast<std::size_t>(o)].cigar;
  f.mate_mapq = other_mapq;
  return f;
}

void build(const PlacedMate& m, int k, HitNumbering numbering, MateFields fields,
           PairRecordWork& work, RecordSink& sink) {
  if (!m.kinds.empty()) fields.rescued_kind = m.kinds[static_cast<std::size_t>(k)];
  if (!m.scores.empty()) numbering.score = m.scores[static_cast<std::size_t>(k)];
  build_mapped_record(*m.read, m.hits[k], m.placements[static_cast<std::size_t>(k)], numbering,
                      work.record_work, sink.record, &fields);
  keep_record(sink);
}

int pair_quality(const PlacedMate& m, int k, int candidates) {
  return candidates == 1 ? unique_hit_quality(m.hits[k]) : multi_hit_quality(candidates);
}

void write_concordant(PairRecordWork& work, int max_hits, RecordSink& sink) {
  const PairChoice& c = work.choice;
  const int taken = kept_hits(static_cast<int>(c.pairs.size()), max_hits);
  for (int rank = 0; rank < taken; ++rank) {
    const int hit[2] = {c.pairs[static_cast<std::size_t>(rank)].first,
                        c.pairs[static_cast<std::size_t>(rank)].second};
    const int mapq[2] = {pair_quality(work.mates[0], hit[0], c.candidates[0]),
                         pair_quality(work.mates[1], hit[1], c.candidates[1])};
    for (int m = 0; m < 2; ++m) {
      const PlacedMate& self = work.mates[m];
      MateFields f = point_to(self, hit[m], work.mates[1 - m], hit[1 - m], mapq[1 - m], m == 1);
      f.proper = true;
      const HitNumbering numbering{self.hits[hit[m]].chromosome, mapq[m], taken, rank + 1};
      build(self, hit[m], numbering, f, work, sink);
    }
  }
}

// A mate without hits, at its mate's first hit if that has one.
void write_unmapped_mate(const PlacedMate& other, bool second, PairRecordWork& work,
                         RecordSink& sink) {
  const PlacedMate& self = work.mates[second ? 1 : 0];
  MateFields f;
  f.second = second;
  f.mate_unmapped = other.count == 0;
  if (other.count > 0) {
    const MateHit& m = other.mate_hits[0];
    f.mate_tid = m.tid;
    f.mate_pos = m.pos;
    f.mate_reverse = m.reverse;
    f.mate_cigar = &other.placements[0].cigar;
    f.mate_mapq = mapping_quality(other.hits[0], other.count);
  }
  build_unmapped_record(*self.read, work.record_work, sink.record, &f);
  keep_record(sink);
}

// Each mate's hits as a single read's; the pair fields point to the other
// mate's first hit, or, when it has none, to this mate's own first hit,
// where the unmapped mate lies.
void write_mate_alone(const PlacedMate& self, const PlacedMate& other, bool second,
                      PairRecordWork& work, int max_hits, RecordSink& sink) {
  const int other_mapq = other.count > 0 ? mapping_quality(other.hits[0], other.count) : -1;
  const int kept = kept_hits(self.count, max_hits);
  for (int k = 0; k < kept; ++k) {
    const HitNumbering numbering{self.hits[k].chromosome, mapping_quality(self.hits[k], self.count),
                                 kept, k + 1};
    MateFields f;
    if (other.count > 0) {
      f = point_to(self, k, other, 0, other_mapq, second);
    } else {
      static const std::vector<std::uint32_t> kUnmapped;
      f.second = second;
      f.mate_unmapped = true;
      f.mate_tid = self.mate_hits[0].tid;
      f.mate_pos = self.mate_hits[0].pos;
      f.mate_cigar = &kUnmapped;
    }
    build(self, k, numbering, f, work, sink);
  }
}

void write_unpaired(const PairSettings& settings, PairRecordWork& work, RecordSink& sink) {
  for (int m = 0; m < 2; ++m) {
    const PlacedMate& self = work.mates[m];
    const PlacedMate& other = work.mates[1 - m];
    if (self.count > 0)
      write_mate_alone(self, other, m == 1, work, settings.max_hits, sink);
    else if (settings.unmapped)
      write_unmapped_mate(other, m == 1, work, sink);
  }
}

}  // namespace

void keep_record(RecordSink& sink) {
  if (!sink.read_group->empty()) add_read_group(*sink.read_group, sink.record);
  append_record(*sink.bytes, sink.record);
}

PairKind write_pair_records(const PairSettings& settings, PairRecordWork& work, RecordSink& sink) {
  describe_hits(work.mates[0]);
  describe_hits(work.mates[1]);
  choose_pairs(work.mates[0].mate_hits, work.mates[1].mate_hits, settings.max_insert, work.pairing,
               work.choice);
  if (work.choice.kind == PairKind::kConcordant)
    write_concordant(work, settings.max_hits, sink);
  else
    write_unpaired(settings, work, sink);
  return work.choice.kind;
}

}  // namespace quilm::sam
