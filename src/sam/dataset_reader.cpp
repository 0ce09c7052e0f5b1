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
  if (!read_fastq_words(scan_, read.sequence, separator_, read.quality)) return false;
  scan_.skip_space();
  finish(header_, read);
  return true;
}

void DatasetReader::finish(std::string_view header, DatasetRead& read) {
  ++count_;
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

}  // namespace quilm::sam
