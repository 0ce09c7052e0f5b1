#include "sam/sam_records.hpp"

#include <cstdint>
#include <new>

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
      return hit_count <= 2 ? 3 : hit_count <= 4 ? 1 : 0;
  }
}

void build_mapped_record(const DatasetRead& read, const Hit& hit, const Placement& placement,
                         const HitNumbering& numbering, RecordWork& work, bam1_t* b) {
  phred_values(read.quality, placement.reverse, work.quality);
  std::uint16_t flag = placement.reverse ? BAM_FREVERSE : 0;
  if (numbering.hit_index > 1) flag |= BAM_FSECONDARY;
  // Room for NH, HI, NM (at most 7 bytes each), MD and XS.
  const std::size_t aux = 3 * 7 + placement.md.size() + 4 + 4;
  check(bam_set1(b, read.name.size(), read.name.data(), flag, numbering.tid, placement.position,
                 static_cast<std::uint8_t>(numbering.mapq), placement.cigar.size(),
                 placement.cigar.data(), -1, -1, 0, placement.sequence.size(),
                 placement.sequence.data(), work.quality.data(), aux));
  check(bam_aux_update_int(b, "NH", numbering.hit_count));
  check(bam_aux_update_int(b, "HI", numbering.hit_index));
  check(bam_aux_update_int(b, "NM", placement.edit_distance));
  check(bam_aux_append(b, "MD", 'Z', static_cast<int>(placement.md.size() + 1),
                       reinterpret_cast<const std::uint8_t*>(placement.md.c_str())));
  if (hit.spliced()) {
    // The splice-signal family tells the transcript's strand.
    const std::uint8_t strand = hit.strand == 'F' ? '+' : '-';
    check(bam_aux_append(b, "XS", 'A', 1, &strand));
  }
}

void build_unmapped_record(const DatasetRead& read, RecordWork& work, bam1_t* b) {
  phred_values(read.quality, false, work.quality);
  check(bam_set1(b, read.name.size(), read.name.data(), BAM_FUNMAP, -1, -1, 0, 0, nullptr, -1, -1,
                 0, read.sequence.size(), read.sequence.data(), work.quality.data(), 0));
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
