#include "sam/dataset_reader.hpp"

#include "common/errors.hpp"
#include "common/fastq_record.hpp"

namespace quilm::sam {

namespace {

// The first word of the header line, without the leading '@'.
void header_name(std::string_view header, std::string& name) {
  std::size_t begin = 0;
  while (begin < header.size() && is_space(static_cast<unsigned char>(header[begin]))) ++begin;
  if (begin < header.size() && header[begin] == '@') ++begin;
  std::size_t end = begin;
  while (end < header.size() && !is_space(static_cast<unsigned char>(header[end]))) ++end;
  name.assign(header.substr(begin, end - begin));
}

}  // namespace

bool DatasetReader::next(DatasetRead& read) {
  PlainFastqRecord plain;
  if (take_plain_fastq_record(in_, plain)) {
    // The views point into the input buffer: use them before reading on.
    read.sequence.assign(plain.sequence);
    read.quality.assign(plain.quality);
    finish(plain.header, read);
    scan_.skip_space();
    return true;
  }
  // The same steps as the run's numbering: the header to its line end (an
  // empty line matches nothing), then three words, or the separator of a
  // read of length 0.
  if (scan_.read_to_line_end(header_) == Scan::kEof) return false;
  if (!read_fastq_words(scan_, read.sequence, separator_, read.quality)) {
    cut_short_ = true;
    return false;
  }
  scan_.skip_space();
  finish(header_, read);
  return true;
}

void DatasetReader::finish(std::string_view header, DatasetRead& read) {
  ++count_;
  // In upper case, as the run numbered and mapped them.
  upper_case_bases(read.sequence);
  header_name(header, read.name);
  if (read.name.empty()) read.name = std::to_string(count_);
  const auto where = [&] { return "'" + path() + "': FASTQ record " + std::to_string(count_); };
  if (read.quality.size() != read.sequence.size())
    throw InputError(where() + " has " + std::to_string(read.quality.size()) +
                     " quality values for " + std::to_string(read.sequence.size()) + " bases");
  unsigned char out_of_range = 0;  // '!' to '~', checked without an early exit
  for (char q : read.quality)
    out_of_range |= static_cast<unsigned char>(static_cast<unsigned char>(q - '!') > '~' - '!');
  if (out_of_range) throw InputError(where() + " has a quality character out of range");
}

RunReads::RunReads(const std::string& dataset, const std::string& mates, bool name_check)
    : first_(dataset), name_check_(name_check), path_(dataset) {
  if (mates.empty()) return;
  mates_ = std::make_unique<DatasetReader>(mates);
  path_ = dataset + "' and '" + mates;
}

bool RunReads::next(DatasetRead& read) {
  if (!mates_) {
    if (!first_.next(read)) return false;
    ++count_;
    return true;
  }
  return count_ % 2 == 0 ? next_pair(read) : next_mate(read);
}

namespace {

[[noreturn]] void cut_short(const DatasetReader& file) {
  throw InputError("'" + file.path() + "': the last record (record " +
                   std::to_string(file.count() + 1) +
                   ") is cut short; the pair it belongs to cannot be written");
}

[[noreturn]] void different_lengths(const DatasetReader& shorter, const DatasetReader& longer) {
  throw InputError("the mate files hold different numbers of reads: '" + shorter.path() +
                   "' ends after " + std::to_string(shorter.count()) + " records, '" +
                   longer.path() + "' holds more");
}

}  // namespace

// Mate 1 of the next pair; at the end of the dataset the mate file must end too.
bool RunReads::next_pair(DatasetRead& read) {
  if (first_.next(read)) {
    pair_name_.assign(without_mate_suffix(read.name));
    if (pair_name_.empty()) pair_name_ = std::to_string(first_.count());  // a name "/1"
    read.name = pair_name_;
    ++count_;
    return true;
  }
  if (first_.cut_short()) cut_short(first_);
  if (mates_->next(read)) different_lengths(first_, *mates_);
  if (mates_->cut_short()) cut_short(*mates_);
  return false;
}

bool RunReads::next_mate(DatasetRead& read) {
  if (!mates_->next(read)) {
    if (mates_->cut_short()) cut_short(*mates_);
    different_lengths(*mates_, first_);
  }
  if (name_check_ && without_mate_suffix(read.name) != pair_name_)
    throw InputError("the mates of pair " + std::to_string(first_.count()) +
                     " have different names: '" + pair_name_ + "' in '" + first_.path() +
                     "' and '" + std::string(without_mate_suffix(read.name)) + "' in '" +
                     mates_->path() +
                     "' (give --no-name-check when the files name their mates differently)");
  read.name = pair_name_;
  ++count_;
  return true;
}

}  // namespace quilm::sam
