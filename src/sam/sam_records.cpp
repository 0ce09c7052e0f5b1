#include "sam/sam_records.hpp"

#include <charconv>
#include <cstdint>
#include <cstring>
#include <new>

#include "sam/alignment_score.hpp"

namespace quilm::sam {

namespace {

void phred_values(const std::string& fastq_quality, bool reverse, std::string& out) {
  out.resize(fastq_quality.size());
  const std::size_t n = fastq_quality.size();
  for (std::size_t i = 0; i < n; ++i)
    out[reverse ? n - 1 - i : i] = static_cast<char>(fastq_quality[i] - 33);
}

void check(int status) {
  if (status < 0) throw std::bad_alloc();
}

// '!' to '~' except '@'.
bool qname_byte(char c) {
  const auto b = static_cast<unsigned char>(c);
  return static_cast<unsigned char>(b - '!') <= '~' - '!' && b != '@';
}

}  // namespace

bool make_valid_qname(std::string& name) {
  unsigned char invalid = 0;  // no early exit, so that the loop vectorises
  for (char c : name) invalid |= static_cast<unsigned char>(!qname_byte(c));
  if (!invalid && name.size() <= kMaxQnameLength) return false;
  if (name.size() > kMaxQnameLength) name.resize(kMaxQnameLength);
  for (char& c : name)
    if (!qname_byte(c)) c = '_';
  return true;
}

int mapping_quality(const Hit& hit, int hit_count) {
  HitClass hit_class = hit.hit_class;
  if (hit_class == HitClass::kUnclassified) {
    const bool high = hit.errors <= 0.05 * hit.length + 1.5;
    hit_class = hit_count > 1 ? HitClass::kMulti : high ? HitClass::kHigh : HitClass::kLow;
  }
  switch (hit_class) {
    case HitClass::kHigh:
      return 60;
    case HitClass::kLow:
      return kLowQualityMapq;
    default:
      return multi_hit_quality(hit_count);
  }
}

int unique_hit_quality(const Hit& hit) {
  return hit.errors <= 0.05 * hit.length + 1.5 ? 60 : kLowQualityMapq;
}

int multi_hit_quality(int count) {
  return count <= 2 ? 3 : count <= 4 ? 1 : 0;
}

namespace {

std::uint16_t mate_flags(const MateFields& m) {
  std::uint16_t flag = BAM_FPAIRED | (m.second ? BAM_FREAD2 : BAM_FREAD1);
  if (m.proper) flag |= BAM_FPROPER_PAIR;
  if (m.mate_unmapped) flag |= BAM_FMUNMAP;
  if (m.mate_reverse) flag |= BAM_FMREVERSE;
  return flag;
}

// "*" for an unmapped mate's empty CIGAR.
void cigar_text(const std::vector<std::uint32_t>& cigar, std::string& out) {
  out.clear();
  if (cigar.empty()) out.push_back('*');
  for (std::uint32_t entry : cigar) {
    char text[16];
    char* end = std::to_chars(text, text + sizeof text, entry >> BAM_CIGAR_SHIFT).ptr;
    out.append(text, end);
    out.push_back(BAM_CIGAR_STR[entry & BAM_CIGAR_MASK]);
  }
}

// MC and MQ of a mate's record; room for them was asked for with the record.
// MQ first: the order in which tools that fix mate fields write them.
void add_mate_tags(const MateFields& m, RecordWork& work, bam1_t* b) {
  if (m.mate_mapq >= 0) {
    // A mapping quality fits one byte; appended, as the record has no MQ yet.
    const auto mapq = static_cast<std::uint8_t>(m.mate_mapq);
    check(bam_aux_append(b, "MQ", 'C', 1, &mapq));
  }
  if (m.mate_cigar) {
    cigar_text(*m.mate_cigar, work.mate_cigar);
    check(bam_aux_append(b, "MC", 'Z', static_cast<int>(work.mate_cigar.size() + 1),
                         reinterpret_cast<const std::uint8_t*>(work.mate_cigar.c_str())));
  }
}

std::size_t mate_tag_room(const MateFields* m) {
  return m && m->mate_cigar ? 4 + 11 * m->mate_cigar->size() + 1 + 7 : 0;
}

}  // namespace

void build_mapped_record(const DatasetRead& read, const Hit& hit, const Placement& placement,
                         const HitNumbering& numbering, RecordWork& work, bam1_t* b,
                         const MateFields* mate) {
  phred_values(read.quality, placement.reverse, work.quality);
  std::uint16_t flag = placement.reverse ? BAM_FREVERSE : 0;
  if (numbering.hit_index > 1) flag |= BAM_FSECONDARY;
  if (mate) flag |= mate_flags(*mate);
  // Room for NH, HI, NM, AS (at most 7 bytes each), MD and XS, and MC and MQ.
  const std::size_t aux = 4 * 7 + placement.md.size() + 4 + 4 + mate_tag_room(mate);
  check(bam_set1(b, read.name.size(), read.name.data(), flag, numbering.tid, placement.position,
                 static_cast<std::uint8_t>(numbering.mapq), placement.cigar.size(),
                 placement.cigar.data(), mate ? mate->mate_tid : -1, mate ? mate->mate_pos : -1,
                 mate ? mate->template_length : 0, placement.sequence.size(),
                 placement.sequence.data(), work.quality.data(), aux));
  check(bam_aux_update_int(b, "NH", numbering.hit_count));
  check(bam_aux_update_int(b, "HI", numbering.hit_index));
  check(bam_aux_update_int(b, "NM", placement.edit_distance));
  check(bam_aux_append(b, "MD", 'Z', static_cast<int>(placement.md.size() + 1),
                       reinterpret_cast<const std::uint8_t*>(placement.md.c_str())));
  check(bam_aux_update_int(
      b, "AS",
      numbering.score == kScoreOfAlignment ? alignment_score(placement) : numbering.score));
  if (hit.spliced()) {
    // The splice-signal family tells the transcript's strand.
    const std::uint8_t strand = hit.strand == 'F' ? '+' : '-';
    check(bam_aux_append(b, "XS", 'A', 1, &strand));
  }
  if (mate && mate->rescued_kind) add_rescue_tag(*mate->rescued_kind, b);
  if (mate) add_mate_tags(*mate, work, b);
}

void build_unmapped_record(const DatasetRead& read, RecordWork& work, bam1_t* b,
                           const MateFields* mate) {
  phred_values(read.quality, false, work.quality);
  const std::uint16_t flag = BAM_FUNMAP | (mate ? mate_flags(*mate) : 0);
  // Placed where its mate is, if that is mapped.
  const std::int32_t tid = mate && !mate->mate_unmapped ? mate->mate_tid : -1;
  const std::int64_t pos = mate && !mate->mate_unmapped ? mate->mate_pos : -1;
  check(bam_set1(b, read.name.size(), read.name.data(), flag, tid, pos, 0, 0, nullptr, tid, pos, 0,
                 read.sequence.size(), read.sequence.data(), work.quality.data(),
                 mate_tag_room(mate)));
  if (mate) add_mate_tags(*mate, work, b);
}

void add_rescue_tag(const std::string& kind, bam1_t* b) {
  check(bam_aux_append(b, "XR", 'Z', static_cast<int>(kind.size() + 1),
                       reinterpret_cast<const std::uint8_t*>(kind.c_str())));
}

void add_read_group(const std::string& id, bam1_t* b) {
  check(bam_aux_append(b, "RG", 'Z', static_cast<int>(id.size() + 1),
                       reinterpret_cast<const std::uint8_t*>(id.c_str())));
}

}  // namespace quilm::sam
