#include "tools/refjunc/genome_scan.hpp"

#include <cstring>

#include "common/errors.hpp"
#include "common/fasta_text.hpp"
#include "common/text_scanner.hpp"

namespace quilm::refjunc {
namespace {

std::string first_word(const std::string& line) {
  std::size_t begin = 0;
  while (begin < line.size() && is_space(static_cast<unsigned char>(line[begin]))) ++begin;
  std::size_t end = begin;
  while (end < line.size() && !is_space(static_cast<unsigned char>(line[end]))) ++end;
  return line.substr(begin, end - begin);
}

}  // namespace

void skip_to_first_header(InputFile& genome) {
  for (;;) {
    if (genome.available() == 0 && !genome.refill())
      throw InputError("'" + genome.path() + "': no FASTA header line ('>') found");
    const char* p = genome.data();
    const void* mark = std::memchr(p, '>', genome.available());
    if (mark) {
      genome.consume(static_cast<std::size_t>(static_cast<const char*>(mark) - p) + 1);
      return;
    }
    genome.consume(genome.available());
  }
}

bool chrname_size(InputFile& genome, std::string& name, long long& length, long long& blanks) {
  std::string header;
  genome.read_line(header);
  name = first_word(header);
  length = 0;
  for (;;) {
    if (genome.available() == 0 && !genome.refill()) return false;
    const char* p = genome.data();
    std::size_t n = genome.available();
    const void* mark = std::memchr(p, '>', n);
    std::size_t take = mark ? static_cast<std::size_t>(static_cast<const char*>(mark) - p) : n;
    length += static_cast<long long>(take);
    for (std::size_t i = 0; i < take; ++i) {
      length -= is_layout_byte(p[i]);
      blanks += is_line_blank(p[i]);
    }
    genome.consume(mark ? take + 1 : take);
    if (mark) return true;
  }
}

}  // namespace quilm::refjunc
