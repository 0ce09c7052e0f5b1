#include "tools/annoprep/genome_reading.hpp"

#include <cstring>
#include <string_view>

#include "common/fasta_text.hpp"
#include "common/output_file.hpp"

namespace quilm::annoprep {

std::string first_word(std::string_view header) {
  std::size_t begin = header.find_first_not_of(' ');
  if (begin == std::string_view::npos) return std::string();
  std::size_t end = header.find(' ', begin);
  return std::string(header.substr(begin, end == std::string_view::npos ? end : end - begin));
}

namespace {

// The rest of a header line after its ">", without CR and LF; consumes the LF.
std::string read_header_rest(InputFile& in) {
  std::string line;
  in.read_line(line);
  while (!line.empty() && line.back() == '\r') line.pop_back();
  return line;
}

// Counts the bytes other than LF, CR, blank and tab up to the next ">" (left
// unread) or the end; adds the blanks and tabs to `blanks`.
long count_until_header(InputFile& in, std::int64_t& blanks) {
  long count = 0;
  for (;;) {
    const char* data = in.data();
    std::size_t size = in.available();
    if (size == 0) return count;
    const char* stop = static_cast<const char*>(std::memchr(data, '>', size));
    std::size_t span = stop ? static_cast<std::size_t>(stop - data) : size;
    for (std::size_t i = 0; i < span; ++i) {
      count += !is_layout_byte(data[i]);
      blanks += is_line_blank(data[i]);
    }
    in.consume(span);
    if (stop) return count;
  }
}

}  // namespace

GenomeSizes fasta_info(const std::string& genome_path, const std::string& info_path) {
  InputFile in(genome_path);
  OutputFile out(info_path);
  GenomeSizes sizes;
  if (in.peek() < 0) {
    out.write("0\n");
    out.close();
    return sizes;
  }
  // Bytes before the first ">" count like sequence; a record without any
  // sequence byte gets no length, so its name shares the line of the next.
  long count = count_until_header(in, sizes.blanks);
  while (in.get() == '>') {
    if (count > 0) {
      out.write_int(count);
      out.put('\n');
    }
    out.write(first_word(read_header_rest(in)));
    out.put('\t');
    count = count_until_header(in, sizes.blanks);
    sizes.lengths.push_back(count);
  }
  out.write_int(count);
  out.put('\n');
  out.close();
  return sizes;
}

bool skip_to_first_record(InputFile& genome) {
  for (;;) {
    const char* data = genome.data();
    std::size_t size = genome.available();
    if (size == 0) return false;
    const char* stop = static_cast<const char*>(std::memchr(data, '>', size));
    if (stop) {
      genome.consume(static_cast<std::size_t>(stop - data) + 1);
      return true;
    }
    genome.consume(size);
  }
}

bool fasta_read(InputFile& genome, std::string& name, std::string& sequence) {
  std::string header = read_header_rest(genome);
  name = first_word(std::string_view(header).substr(0, header.find('>')));
  sequence.clear();
  for (;;) {
    const char* data = genome.data();
    std::size_t size = genome.available();
    if (size == 0) return false;
    const char* stop = static_cast<const char*>(std::memchr(data, '>', size));
    std::size_t span = stop ? static_cast<std::size_t>(stop - data) : size;
    // Copy runs between layout bytes: LF, CR, blanks and tabs are never part
    // of the sequence.
    std::size_t start = 0;
    for (std::size_t i = 0; i < span; ++i) {
      if (is_layout_byte(data[i])) {
        sequence.append(data + start, i - start);
        start = i + 1;
      }
    }
    sequence.append(data + start, span - start);
    if (stop) {
      genome.consume(span + 1);
      return true;
    }
    genome.consume(span);
  }
}

}  // namespace quilm::annoprep
