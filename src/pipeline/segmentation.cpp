#include "pipeline/segmentation.hpp"

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <memory>
#include <optional>
#include <unordered_map>

#include "common/errors.hpp"
#include "common/fasta_text.hpp"
#include "common/input_file.hpp"
#include "common/output_file.hpp"
#include "common/paths.hpp"
#include "common/replacing_file.hpp"
#include "common/segment_index.hpp"
#include "common/text_scanner.hpp"
#include "common/work_files.hpp"
#include "pipeline/segment_sizes.hpp"

namespace quilm {

namespace {

// Masked characters in a run: 'N', and with soft masking also the bytes
// above 'Z' below 128. Byte-wide branch-free sums over pieces of at most 255
// bytes, so that the loops vectorise.
std::int64_t count_masked(const char* p, std::size_t n, bool soft) {
  std::int64_t count = 0;
  while (n > 0) {
    const std::size_t m = n < 255 ? n : 255;
    unsigned char piece = 0;
    if (soft) {
      for (std::size_t i = 0; i < m; ++i) {
        const auto b = static_cast<unsigned char>(p[i]);
        piece += static_cast<unsigned char>((b == 'N') | (static_cast<unsigned char>(b - 91) < 37));
      }
    } else {
      for (std::size_t i = 0; i < m; ++i) piece += static_cast<unsigned char>(p[i] == 'N');
    }
    count += piece;
    p += m;
    n -= m;
  }
  return count;
}

// True when a line holds a header start, a carriage return, a blank or a
// tab, which the byte-by-byte path handles.
bool needs_bytewise(const char* p, std::size_t n) {
  unsigned char found = 0;
  for (std::size_t i = 0; i < n; ++i)
    found |=
        static_cast<unsigned char>((p[i] == '>') | (p[i] == '\r') | (p[i] == ' ') | (p[i] == '\t'));
  return found != 0;
}

// State of one pass over the FASTA. A segment is written as it fills, in
// blocks that are still in the cache; the buffer holds the unwritten bytes
// and at least the last `overlap` characters, which the next segment repeats.
class Segmenter {
 public:
  Segmenter(const std::string& work_folder, int overlap, std::int64_t segment_size,
            int masked_toggle)
      : folder_(work_folder),
        overlap_(overlap),
        capacity_(segment_size + overlap),
        masked_toggle_(masked_toggle),
        buffer_size_(static_cast<std::size_t>(overlap) + kCacheBlock),
        buffer_(new char[buffer_size_]),
        index_(join_path(work_folder, kSegmentIndexFile), OutputFile::Mode::kTruncate, 1 << 16),
        tasks_(join_path(work_folder, kSegmentSizeFile), OutputFile::Mode::kTruncate, 1 << 16) {}

  void start_chromosome(const std::string& header_line);
  void add_base(char c) {
    put(c);
    const bool masked = is_masked(c);
    masked_ += masked;
    ++chromosome_position_;
    if (fill_ >= capacity_) segment_full(masked);
  }
  // A run of bytes without line breaks and headers, added as add_base would
  // add them one by one, but copied in blocks up to the next full segment.
  void add_bases(const char* p, std::size_t n);
  SegmentFiles finish();

 private:
  bool is_masked(char c) const {
    const auto byte = static_cast<unsigned char>(c);
    return c == 'N' || (masked_toggle_ == 1 && byte > 'Z' && byte < 128);
  }
  void put(char c) {
    if (held_ == buffer_size_) spill();
    buffer_[held_++] = c;
    ++fill_;
  }
  void spill();
  void write_pending();
  void segment_full(bool last_byte_masked);
  void write_segment(bool print_path);
  void index_line(std::int64_t offset, std::int64_t position);

  std::string folder_;
  std::int64_t overlap_;
  std::int64_t capacity_;  // sequence characters a segment holds when full
  int masked_toggle_;
  std::size_t buffer_size_;
  std::unique_ptr<char[]> buffer_;
  // Opened at the first write; bytes already in place are kept, not rewritten.
  std::optional<ReplacingFile> segment_file_;
  OutputFile index_;
  OutputFile tasks_;
  std::int64_t fill_ = 0;    // characters in the current segment
  std::size_t held_ = 0;     // of which the last `held_` are in the buffer,
  std::size_t written_ = 0;  // and the buffer's first `written_` are in the file
  std::int64_t masked_ = 0;
  std::int64_t chromosome_position_ = 0;
  int segment_ = 1;
  int kept_ = 0;  // segment files that already held their bytes
  int ordinal_ = 0;
  std::string name_;
};

void Segmenter::index_line(std::int64_t offset, std::int64_t position) {
  write_segment_index_line(index_, {segment_, offset, position, ordinal_, name_});
}

void Segmenter::write_pending() {
  if (!segment_file_) segment_file_.emplace(numbered_path(folder_, segment_, kSegmentSuffix));
  segment_file_->write_block(buffer_.get() + written_, held_ - written_);
  written_ = held_;
}

// Writes what the buffer holds and keeps the last `overlap` characters.
void Segmenter::spill() {
  write_pending();
  const std::size_t keep = std::min(held_, static_cast<std::size_t>(overlap_));
  std::memmove(buffer_.get(), buffer_.get() + held_ - keep, keep);
  held_ = keep;
  written_ = keep;
}

void Segmenter::add_bases(const char* p, std::size_t n) {
  while (n > 0) {
    if (held_ == buffer_size_) spill();
    // A separator may have taken the last place: one base then still goes
    // in before the segment counts as full.
    const std::size_t room = fill_ < capacity_ ? static_cast<std::size_t>(capacity_ - fill_) : 1;
    const std::size_t take = std::min({n, room, buffer_size_ - held_});
    std::memcpy(buffer_.get() + held_, p, take);
    masked_ += count_masked(p, take, masked_toggle_ == 1);
    held_ += take;
    fill_ += static_cast<std::int64_t>(take);
    chromosome_position_ += static_cast<std::int64_t>(take);
    p += take;
    n -= take;
    if (fill_ >= capacity_) segment_full(is_masked(p[-1]));
  }
}

void Segmenter::start_chromosome(const std::string& header_line) {
  // The separator joins chromosomes; it is not masked and never fills a segment.
  if (ordinal_ != 0) put('N');
  ++ordinal_;
  chromosome_position_ = 0;
  name_ = chromosome_name(header_line);
  index_line(fill_, 0);
}

void Segmenter::write_segment(bool print_path) {
  write_pending();
  const std::string path = segment_file_->path();
  segment_file_->close();
  kept_ += segment_file_->unchanged();
  segment_file_.reset();
  if (print_path) std::puts(path.c_str());
  index_line(fill_, chromosome_position_);
  write_segment_size(tasks_, segment_,
                     {static_cast<long long>(fill_), static_cast<long long>(fill_ - masked_)});
}

void Segmenter::segment_full(bool last_byte_masked) {
  write_segment(true);
  ++segment_;
  // The next segment repeats the last `overlap` characters, but only those
  // of the current chromosome; the buffer still holds them.
  const std::int64_t k = chromosome_position_ < overlap_ ? chromosome_position_ : overlap_;
  index_line(0, chromosome_position_ - k);
  const auto carried = static_cast<std::size_t>(k);
  std::memmove(buffer_.get(), buffer_.get() + held_ - carried, carried);
  held_ = carried;
  written_ = 0;
  fill_ = k;
  // The masked share of the carried characters is estimated from the last byte.
  masked_ = last_byte_masked ? k : 0;
}

SegmentFiles Segmenter::finish() {
  // The last segment is always written, also when an empty chromosome at the
  // end of the file let its separator fill the buffer's last place: the bases
  // before that separator are in no other segment.
  write_segment(false);
  index_.close();
  tasks_.close();
  return {segment_, kept_};
}

}  // namespace

SegmentFiles segment_reference(const std::string& ref_path, const std::string& work_folder,
                               int overlap, std::int64_t segment_size, int masked_toggle) {
  InputFile in(ref_path, kCacheBlock);
  Segmenter seg(work_folder, overlap, segment_size, masked_toggle);
  bool in_chromosome = false;
  std::string header;
  for (;;) {
    if (in.available() == 0 && !in.refill()) break;
    const char* p = in.data();
    const std::size_t n = in.available();
    std::size_t i = 0;
    while (i < n) {
      const char* nl = static_cast<const char*>(std::memchr(p + i, '\n', n - i));
      const std::size_t end = nl ? static_cast<std::size_t>(nl - p) : n;
      const std::size_t len = end - i;
      // Sequence lines go in one block; a line holding '>', '\r', a blank or a
      // tab byte by byte.
      if (in_chromosome && !needs_bytewise(p + i, len)) {
        seg.add_bases(p + i, len);
        i = end + (nl ? 1 : 0);
        continue;
      }
      for (; i < end; ++i) {
        const char c = p[i];
        if (c == '>') break;
        // Bytes before the first header belong to no chromosome.
        if (c != '\r' && !is_line_blank(c) && in_chromosome) seg.add_base(c);
      }
      if (i < end) break;  // a header starts here
      i = end + (nl ? 1 : 0);
    }
    in.consume(i);
    if (i < n) {  // a header line
      in.consume(1);
      in.read_line(header);
      seg.start_chromosome(header);
      in_chromosome = true;
    }
  }
  return seg.finish();
}

int splitfasta(const std::string& ref_path, const std::string& work_folder, int overlap,
               std::int64_t segment_size, int masked_toggle) {
  return segment_reference(ref_path, work_folder, overlap, segment_size, masked_toggle).segments;
}

}  // namespace quilm
