// The identity of a run: the contents of its reference and dataset, its read
// count and its parameters. The drivers write it beside their outputs
// ("<output>-run" after a splice run, "<output>.run" after a mapping-only
// run) and its run number heads the rescue file, so that the export can
// refuse a reference, a dataset or a rescue file that is not the run's.
//
// The stamp file, one field per line, tab-separated:
//   run        <run number>
//   reference  <content hash>  <bytes>  <path>
//   dataset    <content hash>  <bytes>  <path>   ("-" "-" for a pipe)
//   mates      <content hash>  <bytes>  <path>   (only for paired reads)
//   reads      <numbered reads>
//   parameters <content hash of the parameters that shape the results>
// The run number is a hash of all the other fields except the paths, which
// are there for messages only. Hashes are 16 hexadecimal digits.
#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "common/run_config.hpp"

namespace quilm {

// A 64-bit hash of a file's bytes (decompressed when it is gzip), as 16
// hexadecimal digits, and their count. Not a cryptographic digest: it tells
// files apart that differ by mistake, not by design.
struct ContentHash {
  std::string hex;
  std::int64_t bytes = 0;
  bool operator==(const ContentHash&) const = default;
};

// Throws IoError naming the file when it cannot be read.
ContentHash content_hash(const std::string& path);

// The hash of a byte string, in the same form.
ContentHash content_hash_of_bytes(const std::string& bytes);

struct StampedInput {
  ContentHash hash;  // empty hex: a pipe or standard input, read once
  std::string path;
};

struct RunStamp {
  StampedInput reference;
  StampedInput dataset;
  std::optional<StampedInput> mates;
  std::int64_t reads = 0;
  std::string parameters;  // content hash of the run's parameters
};

// The stamp's run number: 16 hexadecimal digits.
std::string run_number(const RunStamp& stamp);

// The values of config.txt that shape the results, as one line: all but
// the paths (the inputs are known by their contents) and the number of
// processes (which changes no result).
std::string stamped_parameters(const RunConfig& config);

// Hashes what a run read: the reference, the dataset (not when it is a pipe)
// and the mates; `parameters` as stamped_parameters gives them. A reference
// whose hash is already known (from an earlier run on the unchanged file) is
// not read.
RunStamp make_run_stamp(const std::string& reference, const std::string& dataset,
                        const std::string& mates, std::int64_t reads, const std::string& parameters,
                        const std::optional<ContentHash>& reference_hash = std::nullopt);

// "<output>-run" for a splice run (six files), "<output>.run" for a
// mapping-only one.
std::string run_stamp_path(const std::string& output_path, bool six_files);

// Writes the file whole (throws IoError naming it).
void write_run_stamp(const std::string& path, const RunStamp& stamp);

// Nothing when there is no such file; throws InputError naming the file and
// line when it is malformed.
std::optional<RunStamp> read_run_stamp(const std::string& path);

// The first line of a rescue file: "#run\t<run number>".
inline constexpr const char* kRunNumberHeader = "#run\t";

}  // namespace quilm
