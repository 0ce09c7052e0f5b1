#include "sam/unmapped_fastq.hpp"

#include "common/errors.hpp"
#include "sam/sam_records.hpp"

namespace quilm::sam {

namespace {

constexpr std::string_view kGzip = ".gz";

bool compressed(const std::string& path) {
  return path.size() > kGzip.size() && path.ends_with(kGzip);
}

}  // namespace

std::vector<std::string> unmapped_fastq_paths(const std::string& prefix, bool paired) {
  const bool gzip = compressed(prefix);
  const std::string base = gzip ? prefix.substr(0, prefix.size() - kGzip.size()) : prefix;
  const std::string ending = gzip ? ".fq.gz" : ".fq";
  if (!paired) return {base + ending};
  return {base + "_1" + ending, base + "_2" + ending};
}

FastqSink::FastqSink(const std::string& path) : path_(path) {
  if (!compressed(path)) {
    plain_ = std::make_unique<OutputFile>(path);
    return;
  }
  gzip_ = bgzf_open(path.c_str(), "w");
  if (!gzip_) throw IoError("cannot write '" + path + "'");
}

FastqSink::~FastqSink() {
  if (gzip_) bgzf_close(gzip_);
}

void FastqSink::write_text(const std::string& text) {
  if (plain_) {
    plain_->write(text);
  } else if (bgzf_write(gzip_, text.data(), text.size()) != static_cast<ssize_t>(text.size())) {
    throw IoError("cannot write '" + path_ + "'");
  }
}

void FastqSink::write(const DatasetRead& read) {
  std::string name = read.name;
  make_valid_qname(name);
  record_.clear();
  record_.append("@").append(name).append("\n");
  record_.append(read.sequence).append("\n+\n").append(read.quality).append("\n");
  write_text(record_);
}

void FastqSink::close() {
  if (plain_) {
    plain_->close();
    return;
  }
  BGZF* file = gzip_;
  gzip_ = nullptr;
  if (file && bgzf_close(file) < 0) throw IoError("cannot write '" + path_ + "'");
}

UnmappedFastq::UnmappedFastq(const std::string& prefix, bool paired) {
  if (prefix.empty()) return;
  for (const std::string& path : unmapped_fastq_paths(prefix, paired))
    sinks_.push_back(std::make_unique<FastqSink>(path));
}

void UnmappedFastq::write_single(const DatasetRead& read) {
  if (enabled()) sinks_[0]->write(read);
}

void UnmappedFastq::write_pair(const DatasetRead& mate1, const DatasetRead& mate2) {
  if (!enabled()) return;
  sinks_[0]->write(mate1);
  sinks_[1]->write(mate2);
}

void UnmappedFastq::close() {
  for (auto& sink : sinks_) sink->close();
}

}  // namespace quilm::sam
