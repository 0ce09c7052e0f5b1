// The reads without any alignment, back to FASTQ (--unmapped-fastq=<prefix>):
// single reads into "<prefix>.fq", pairs whose mates both lack one into
// "<prefix>_1.fq" and "<prefix>_2.fq". A prefix ending in ".gz" writes
// gzip files, the ".gz" moving to the end ("un.gz" gives "un.fq.gz"). The
// reads keep the names the records would carry, their bases and qualities.
#pragma once

#include <htslib/bgzf.h>

#include <memory>
#include <string>
#include <vector>

#include "common/output_file.hpp"
#include "sam/dataset_reader.hpp"

namespace quilm::sam {

// The files the prefix names: one for single reads, two for pairs.
std::vector<std::string> unmapped_fastq_paths(const std::string& prefix, bool paired);

// One FASTQ file, plain or gzip; every write and the close are checked.
class FastqSink {
 public:
  explicit FastqSink(const std::string& path);
  ~FastqSink();
  FastqSink(const FastqSink&) = delete;
  FastqSink& operator=(const FastqSink&) = delete;

  // "@name", the bases, "+", the qualities; the name made a valid QNAME.
  void write(const DatasetRead& read);
  // Throws IoError naming the file when a write or the close failed.
  void close();

 private:
  void write_text(const std::string& text);

  std::string path_;
  std::unique_ptr<OutputFile> plain_;
  BGZF* gzip_ = nullptr;
  std::string record_;
};

class UnmappedFastq {
 public:
  // Creates the files (truncating earlier ones); an empty prefix writes none.
  UnmappedFastq(const std::string& prefix, bool paired);
  bool enabled() const { return !sinks_.empty(); }
  void write_single(const DatasetRead& read);
  void write_pair(const DatasetRead& mate1, const DatasetRead& mate2);
  void close();

 private:
  std::vector<std::unique_ptr<FastqSink>> sinks_;
};

}  // namespace quilm::sam
