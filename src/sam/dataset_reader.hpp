// The FASTQ dataset of a run, record by record with name and qualities. The
// records are counted exactly as the run numbered its reads, so that the k-th
// record returned is read number k.
#pragma once

#include <memory>
#include <string>
#include <string_view>

#include "common/input_file.hpp"
#include "common/text_scanner.hpp"

namespace quilm::sam {

struct DatasetRead {
  std::string name;      // the header's first word without '@'
  std::string sequence;  // as in the file, but in upper case
  std::string quality;   // Phred + 33 characters, one per base
};

class DatasetReader {
 public:
  // "-" reads standard input.
  explicit DatasetReader(const std::string& path) : in_(path), scan_(in_) {}
  const std::string& path() const { return in_.path(); }
  long count() const { return count_; }
  // The share of the file read so far; -1 for a pipe (see InputFile).
  double share_read() const { return in_.share_read(); }
  // After next() returned false: the file ended inside a record.
  bool cut_short() const { return cut_short_; }

  // The next read; false at the end of the file or at a last record cut
  // short (which the run did not count either). A read of length 0 comes
  // with an empty sequence and quality. Throws InputError naming the file
  // and record when the quality does not fit the sequence.
  bool next(DatasetRead& read);

 private:
  // Counts the read, names it and checks its qualities.
  void finish(std::string_view header, DatasetRead& read);

  InputFile in_;
  TextScanner scan_;
  std::string header_;
  std::string separator_;
  long count_ = 0;
  bool cut_short_ = false;
};

// The reads of a run in its numbering: the dataset alone, or with a mate
// file both interleaved, read 2k-1 being record k of the dataset (mate 1)
// and read 2k record k of the mate file (mate 2).
class RunReads {
 public:
  // An empty `mates` reads single reads.
  RunReads(const std::string& dataset, const std::string& mates, bool name_check);
  bool paired() const { return mates_ != nullptr; }
  // The dataset's path, or both paths for messages about paired reads.
  const std::string& path() const { return path_; }
  long count() const { return count_; }
  // The share of the dataset read so far (the mates go along with it); -1
  // for a pipe.
  double share_read() const { return first_.share_read(); }

  // The next read. Both mates of a pair carry the name of the pair: mate
  // 1's name without a trailing "/1" or "/2". Throws InputError when the
  // two files end at different records, when a last record is cut short
  // (half a pair), or, with the name check, when the names of two mates
  // differ.
  bool next(DatasetRead& read);

 private:
  bool next_pair(DatasetRead& read);
  bool next_mate(DatasetRead& read);

  DatasetReader first_;
  std::unique_ptr<DatasetReader> mates_;
  bool name_check_ = true;
  std::string path_;
  std::string pair_name_;
  long count_ = 0;
};

}  // namespace quilm::sam
