#include "common/run_stamp.hpp"

#include <algorithm>
#include <array>
#include <cstdio>
#include <cstring>
#include <filesystem>
#include <string_view>
#include <vector>

#include "common/errors.hpp"
#include "common/input_file.hpp"
#include "common/output_file.hpp"
#include "common/whole_number.hpp"

namespace quilm {

namespace {

// Four independent lanes of multiply-and-fold over 8-byte words keep the
// multiplier busy, so hashing runs at memory speed; the lanes, the tail and
// the length are folded together at the end.
class ByteHash {
 public:
  void add(const char* data, std::size_t size) {
    total_ += size;
    if (pending_ > 0) {
      const std::size_t take = std::min(size, kBlock - pending_);
      std::memcpy(block_.data() + pending_, data, take);
      pending_ += take;
      data += take;
      size -= take;
      if (pending_ < kBlock) return;
      mix_block(block_.data());
      pending_ = 0;
    }
    for (; size >= kBlock; data += kBlock, size -= kBlock) mix_block(data);
    std::memcpy(block_.data(), data, size);
    pending_ = size;
  }

  std::uint64_t value() const {
    std::array<char, kBlock> tail{};
    std::memcpy(tail.data(), block_.data(), pending_);
    std::array<std::uint64_t, 4> lanes = lanes_;
    for (std::size_t k = 0; k < 4; ++k) lanes[k] = mix(lanes[k], word(tail.data() + 8 * k));
    std::uint64_t h = finish(total_);
    for (const std::uint64_t lane : lanes) h = finish(h ^ finish(lane));
    return h;
  }

  std::uint64_t total() const { return total_; }

 private:
  static constexpr std::size_t kBlock = 32;
  static constexpr std::uint64_t kOdd = 0x9e3779b97f4a7c15ULL;

  static std::uint64_t word(const char* p) {
    std::uint64_t w;
    std::memcpy(&w, p, sizeof w);
    return w;
  }
  static std::uint64_t mix(std::uint64_t lane, std::uint64_t w) {
    lane = (lane ^ w) * kOdd;
    return lane ^ (lane >> 29);
  }
  // A strong finaliser: every input bit reaches every output bit.
  static std::uint64_t finish(std::uint64_t x) {
    x ^= x >> 30;
    x *= 0xbf58476d1ce4e5b9ULL;
    x ^= x >> 27;
    x *= 0x94d049bb133111ebULL;
    return x ^ (x >> 31);
  }
  void mix_block(const char* p) {
    for (std::size_t k = 0; k < 4; ++k) lanes_[k] = mix(lanes_[k], word(p + 8 * k));
  }

  std::array<std::uint64_t, 4> lanes_{1, 2, 3, 4};
  std::array<char, kBlock> block_{};
  std::size_t pending_ = 0;
  std::uint64_t total_ = 0;
};

std::string hex16(std::uint64_t value) {
  char text[17];
  std::snprintf(text, sizeof text, "%016llx", static_cast<unsigned long long>(value));
  return text;
}

ContentHash hash_result(const ByteHash& h) {
  return {hex16(h.value()), static_cast<std::int64_t>(h.total())};
}

StampedInput stamped(const std::string& path) {
  StampedInput input;
  input.path = path;
  if (!is_one_pass_input(path)) input.hash = content_hash(path);
  return input;
}

void write_input(OutputFile& out, const char* field, const StampedInput& input) {
  const bool read_once = input.hash.hex.empty();
  out.write(std::string(field) + '\t' + (read_once ? "-" : input.hash.hex) + '\t' +
            (read_once ? "-" : std::to_string(input.hash.bytes)) + '\t' + input.path + '\n');
}

[[noreturn]] void bad_stamp(const std::string& path, long line, const std::string& why) {
  throw InputError("run stamp '" + path + "', line " + std::to_string(line) + ": " + why);
}

bool is_hash(std::string_view text) {
  return text.size() == 16 && text.find_first_not_of("0123456789abcdef") == std::string_view::npos;
}

// "<hash>\t<bytes>\t<path>"; the path may hold tabs.
StampedInput parse_input(const std::string& path, long line, std::string_view rest) {
  const std::size_t tab1 = rest.find('\t');
  const std::size_t tab2 = tab1 == std::string_view::npos ? tab1 : rest.find('\t', tab1 + 1);
  if (tab2 == std::string_view::npos) bad_stamp(path, line, "not <hash> <bytes> <path>");
  StampedInput input;
  const std::string_view hash = rest.substr(0, tab1);
  const std::string_view bytes = rest.substr(tab1 + 1, tab2 - tab1 - 1);
  input.path = std::string(rest.substr(tab2 + 1));
  if (hash == "-" && bytes == "-") return input;
  if (!is_hash(hash) || !parse_whole_number(bytes, input.hash.bytes) || input.hash.bytes < 0)
    bad_stamp(path, line, "not <hash> <bytes> <path>");
  input.hash.hex = std::string(hash);
  return input;
}

void take_line(const std::string& path, long line, std::string_view text, RunStamp& stamp,
               std::string& number) {
  const std::size_t tab = text.find('\t');
  const std::string_view field = text.substr(0, tab);
  const std::string_view rest = tab == std::string_view::npos ? "" : text.substr(tab + 1);
  if (field == "run" && is_hash(rest))
    number = std::string(rest);
  else if (field == "reference")
    stamp.reference = parse_input(path, line, rest);
  else if (field == "dataset")
    stamp.dataset = parse_input(path, line, rest);
  else if (field == "mates")
    stamp.mates = parse_input(path, line, rest);
  else if (field == "reads" && parse_whole_number(rest, stamp.reads) && stamp.reads >= 0)
    return;
  else if (field == "parameters" && is_hash(rest))
    stamp.parameters = std::string(rest);
  else
    bad_stamp(path, line, "not a field of a run stamp");
}

}  // namespace

ContentHash content_hash(const std::string& path) {
  InputFile in(path);
  ByteHash h;
  for (;;) {
    const char* data = in.data();
    const std::size_t size = in.available();
    if (size == 0) break;
    h.add(data, size);
    in.consume(size);
  }
  return hash_result(h);
}

ContentHash content_hash_of_bytes(const std::string& bytes) {
  ByteHash h;
  h.add(bytes.data(), bytes.size());
  return hash_result(h);
}

std::string stamped_parameters(const RunConfig& c) {
  std::string line;
  for (const int value :
       {c.segment_count, c.read_count, c.max_read_length, c.max_errors, c.indel_toggle,
        c.seed_length, c.masked_toggle, c.best_toggle, c.unidirectional_toggle,
        c.memory_reduction_toggle, c.export_all_toggle, c.has_splice_line ? 1 : 0,
        c.min_gap_distance, c.max_gap_distance, c.splice_seed_length})
    line += std::to_string(value) + ' ';
  return line;
}

std::string run_number(const RunStamp& stamp) {
  std::string fields = stamp.reference.hash.hex + ' ' + stamp.dataset.hash.hex + ' ' +
                       std::to_string(stamp.reads) + ' ' + stamp.parameters;
  if (stamp.mates) fields += ' ' + stamp.mates->hash.hex;
  return content_hash_of_bytes(fields).hex;
}

RunStamp make_run_stamp(const std::string& reference, const std::string& dataset,
                        const std::string& mates, std::int64_t reads, const std::string& parameters,
                        const std::optional<ContentHash>& reference_hash) {
  RunStamp stamp;
  stamp.reference = reference_hash ? StampedInput{*reference_hash, reference} : stamped(reference);
  stamp.dataset = stamped(dataset);
  if (!mates.empty()) stamp.mates = stamped(mates);
  stamp.reads = reads;
  stamp.parameters = content_hash_of_bytes(parameters).hex;
  return stamp;
}

std::string run_stamp_path(const std::string& output_path, bool six_files) {
  return output_path + (six_files ? "-run" : ".run");
}

void write_run_stamp(const std::string& path, const RunStamp& stamp) {
  OutputFile out(path);
  out.write("run\t" + run_number(stamp) + '\n');
  write_input(out, "reference", stamp.reference);
  write_input(out, "dataset", stamp.dataset);
  if (stamp.mates) write_input(out, "mates", *stamp.mates);
  out.write("reads\t" + std::to_string(stamp.reads) + '\n');
  out.write("parameters\t" + stamp.parameters + '\n');
  out.close();
}

std::optional<RunStamp> read_run_stamp(const std::string& path) {
  std::error_code ec;
  if (!std::filesystem::exists(path, ec)) return std::nullopt;
  InputFile in(path);
  RunStamp stamp;
  std::string number, text;
  long line = 0;
  while (in.read_line(text)) take_line(path, ++line, text, stamp, number);
  if (number.empty() || stamp.reference.path.empty() || stamp.parameters.empty())
    bad_stamp(path, line, "the run number, the reference or the parameters are missing");
  if (number != run_number(stamp))
    bad_stamp(path, 1, "the run number does not match the fields (the file was changed)");
  return stamp;
}

}  // namespace quilm
