#include "common/junction_file.hpp"

#include <string_view>
#include <utility>

#include "common/input_file.hpp"
#include "common/output_file.hpp"
#include "common/text_fields.hpp"
#include "common/whole_number.hpp"

namespace quilm {

void write_junction_file(const std::string& path,
                         const std::vector<ChromosomeJunction>& junctions) {
  OutputFile out(path);
  for (const ChromosomeJunction& j : junctions) {
    out.write(j.chromosome);
    out.put('\t');
    out.write_int(j.first);
    out.put('\t');
    out.write_int(j.last);
    out.put('\t');
    out.put(j.strand);
    out.put('\n');
  }
  out.close();
}

std::vector<ChromosomeJunction> read_junction_file(const std::string& path) {
  InputFile in(path);
  std::vector<ChromosomeJunction> junctions;
  std::string line;
  std::vector<std::string_view> f;
  for (long number = 1; in.read_line(line); ++number) {
    split_fields(line, f);
    ChromosomeJunction j;
    if (f.size() != 4 || f[0].empty() || !parse_whole_number(f[1], j.first) ||
        !parse_whole_number(f[2], j.last) || !parse_strand(f[3], j.strand) || j.first > j.last)
      throw_bad_line(path, number, "not a junction line");
    j.chromosome.assign(f[0]);
    junctions.push_back(std::move(j));
  }
  return junctions;
}

}  // namespace quilm
