#include "common/numbered_reads.hpp"

#include <filesystem>
#include <system_error>

#include "common/errors.hpp"

namespace quilm {

namespace {

// The first line start at or after `offset`: offset itself when the byte
// before it is a line feed, else the byte after the next line feed (or the
// end of the file).
std::uint64_t line_start_from(InputFile& in, std::uint64_t offset) {
  if (offset == 0) return 0;
  in.seek(offset - 1);
  for (;;) {
    if (in.available() == 0 && !in.refill()) return in.offset();
    const char* p = in.data();
    const std::size_t n = in.available();
    for (std::size_t i = 0; i < n; ++i) {
      if (p[i] == '\n') {
        in.consume(i + 1);
        return in.offset();
      }
    }
    in.consume(n);
  }
}

std::uint64_t nominal_cut(std::uint64_t size, int index, int count) {
  // size * index / count without overflow for any file size.
  const std::uint64_t c = static_cast<std::uint64_t>(count);
  const std::uint64_t i = static_cast<std::uint64_t>(index);
  return size / c * i + size % c * i / c;
}

}  // namespace

ByteRange slice_byte_range(const std::string& path, ReadSlice slice) {
  if (slice.count < 1 || slice.index < 0 || slice.index >= slice.count)
    throw UsageError("read slice " + std::to_string(slice.index) + " of " +
                     std::to_string(slice.count) + " does not exist");
  ByteRange range;
  if (slice.count == 1) return range;
  std::error_code ec;
  const std::uint64_t size = std::filesystem::file_size(path, ec);
  if (ec) throw IoError("cannot read the size of '" + path + "': " + ec.message());
  InputFile in(path, 1 << 16);
  range.begin = line_start_from(in, nominal_cut(size, slice.index, slice.count));
  if (slice.index + 1 < slice.count)
    range.end = line_start_from(in, nominal_cut(size, slice.index + 1, slice.count));
  return range;
}

NumberedReadReader::NumberedReadReader(const std::string& path, ReadSlice slice)
    : in_(path), scan_(in_) {
  const ByteRange range = slice_byte_range(path, slice);
  if (range.begin > 0) in_.seek(range.begin);
  end_ = range.end;
  if (slice.count > 1)
    where_ = " of slice " + std::to_string(slice.index + 1) + " of " + std::to_string(slice.count);
}

bool NumberedReadReader::next(NumberedRead& read) {
  // A record belongs to the slice in which its first byte lies.
  if (!scan_.skip_space() || in_.offset() >= end_) return false;
  Scan s = scan_.read_int(read.number);
  if (s == Scan::kEof) return false;
  ++record_;
  if (s == Scan::kOk) s = scan_.read_word(read.sequence);
  if (s != Scan::kOk)
    throw InputError("'" + path() + "': read record " + std::to_string(record_) + where_ +
                     " is not '<number>\\t<sequence>'");
  return true;
}

}  // namespace quilm
