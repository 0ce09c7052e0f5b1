#include "sam/sam_output.hpp"

#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <string_view>

#include "common/errors.hpp"
#include "common/paths.hpp"
#include "common/version.hpp"
#include "sam/stored_records.hpp"

namespace quilm::sam {

namespace {

// Tabs and line ends would break the header line.
std::string header_safe(std::string text) {
  for (char& c : text)
    if (c == '\t' || c == '\n' || c == '\r') c = ' ';
  return text;
}

void rename_or_throw(const std::string& from, const std::string& to) {
  if (std::rename(from.c_str(), to.c_str()) != 0) throw_io_error("cannot create", to);
}

// ID first, then the fields in the order given (checked with the options).
std::string read_group_line(const ReadGroup& group) {
  if (group.id.empty()) return {};
  std::string line = "@RG\tID:" + group.id;
  for (const std::string& field : group.fields) line += "\t" + field;
  return line + "\n";
}

const char* open_mode(OutputFormat format) {
  switch (format) {
    case OutputFormat::kBam:
      return "wb";
    case OutputFormat::kCram:
      return "wc";
    default:
      return "w";
  }
}

// The CRAM is encoded against the run's reference; htslib writes its path
// (UR) and checksums (M5) into the @SQ lines, so readers find it. NM and MD
// are stored as written rather than recomputed on reading, so that the CRAM
// holds the same records, tags in the same order, as the BAM.
void use_reference(SamOutput& out, const std::string& reference) {
  htsFile* f = out.file.get();
  if (hts_set_fai_filename(f, reference.c_str()) != 0 ||
      hts_set_opt(f, CRAM_OPT_STORE_MD, 1) != 0 || hts_set_opt(f, CRAM_OPT_STORE_NM, 1) != 0)
    throw InputError("-R: cannot encode '" + out.path + "' against the reference '" + reference +
                     "'");
}

void write_header(SamOutput& out) {
  errno = 0;
  if (sam_hdr_write(out.file.get(), out.header.get()) < 0)
    throw_hts_error("cannot write", out.path, out.file.get());
}

}  // namespace

HeaderPtr make_header(const ReferenceGenome& genome, const SamOptions& options,
                      const char* run_program) {
  // Unsorted output holds the reads in dataset order, each with all its hits.
  std::string text =
      options.sort ? "@HD\tVN:1.6\tSO:coordinate\n" : "@HD\tVN:1.6\tSO:unsorted\tGO:query\n";
  for (const Chromosome& chr : genome.chromosomes)
    text += "@SQ\tSN:" + chr.name + "\tLN:" + std::to_string(chr.length) + "\n";
  text += read_group_line(options.read_group);
  const std::string version = version_text();
  std::string previous;
  if (!options.run_command.empty()) {
    text += std::string("@PG\tID:") + run_program + "\tPN:" + run_program + "\tVN:" + version +
            "\tCL:" + header_safe(options.run_command) + "\n";
    previous = std::string("\tPP:") + run_program;
  }
  text += "@PG\tID:quilm2sam\tPN:quilm2sam" + previous + "\tVN:" + version +
          "\tCL:" + header_safe(options.command_line) + "\n";
  HeaderPtr header(sam_hdr_parse(text.size(), text.c_str()));
  if (!header) throw InputError("reference '" + genome.path + "' gives no valid SAM header");
  return header;
}

SamOutput open_output(const SamOptions& options, HeaderPtr header, hts_tpool* pool) {
  SamOutput out;
  out.path = options.output_path;
  out.header = std::move(header);
  const bool to_stdout = out.path == "-";
  out.part_path = to_stdout ? "-" : export_part_path(out.path, getpid());
  if (!to_stdout) out.part.paths.push_back(out.part_path);
  const OutputFormat format = output_format(options);
  out.file.reset(sam_open(out.part_path.c_str(), open_mode(format)));
  if (!out.file) throw_io_error("cannot create", out.part_path);
  if (format == OutputFormat::kCram) use_reference(out, options.reference_path);
  if (options.sort && format != OutputFormat::kSam)
    out.index_suffix = format == OutputFormat::kCram ? ".crai" : ".bai";
  share_pool(out.file.get(), pool, out.part_path);
  write_header(out);
  if (options.sort) {
    if (out.index_suffix) {
      out.part_index = out.part_path + out.index_suffix;
      out.part.paths.push_back(out.part_index);
    }
    const auto limit = static_cast<std::size_t>(options.sort_memory_mib) << 20;
    out.sorter =
        std::make_unique<CoordinateSorter>(make_sorter(out.part_path + ".run", limit, pool));
  }
  return out;
}

void write_stored_records(SamOutput& out, const std::vector<std::uint8_t>& bytes) {
  for (std::size_t at = 0; at < bytes.size(); ++out.records) {
    const bam1_t view = stored_record(bytes.data() + at);
    errno = 0;
    if (sam_write1(out.file.get(), out.header.get(), &view) < 0)
      throw_hts_error("cannot write", out.path, out.file.get());
    at += stored_size(&view);
  }
}

void add_sorted_block(SamOutput& out, SortBlock&& block) {
  out.records += static_cast<long>(block.entries.size());
  sorter_add(*out.sorter, out.header.get(), std::move(block));
}

namespace {

// Every name under which a reader may look for an index of `path`: beside
// it with each index suffix, and for BAM and CRAM in place of its suffix.
std::vector<std::string> index_names(const std::string& path) {
  std::vector<std::string> names;
  for (const char* suffix : {".bai", ".csi", ".crai"}) names.push_back(path + suffix);
  const auto stem = [&](std::size_t length) { return path.substr(0, path.size() - length); };
  if (path.size() > 4 && path.ends_with(".bam")) {
    names.push_back(stem(4) + ".bai");
    names.push_back(stem(4) + ".csi");
  } else if (path.size() > 5 && path.ends_with(".cram")) {
    names.push_back(stem(5) + ".crai");
  }
  return names;
}

// An index of an earlier file under this name no longer describes it, and
// a reader may prefer it to the new one's own. Removed before the new file
// is put in place, so that a stop at any point never leaves the new file
// beside an old index (at worst without one); an index that cannot be
// removed keeps the new file from being put in place.
void remove_earlier_indexes(const std::string& path) {
  for (const std::string& name : index_names(path))
    if (::unlink(name.c_str()) != 0 && errno != ENOENT)
      throw IoError(describe_errno("cannot remove the index", name, errno) + " of an earlier '" +
                    path + "', which would describe the new file wrongly; '" + path +
                    "' is left as it was");
}

}  // namespace

void finish_output(SamOutput& out, ProgressDisplay* progress) {
  const bool indexed = out.index_suffix != nullptr;
  if (out.sorter) {
    // The index grows as the sorted records are written: no second pass.
    errno = 0;
    if (indexed && sam_idx_init(out.file.get(), out.header.get(), 0, out.part_index.c_str()) < 0)
      throw_hts_error("cannot index", out.path, out.file.get());
    sorter_finish(*out.sorter, out.header.get(), out.file.get(), out.path, progress);
    out.sorter.reset();
    errno = 0;
    if (indexed && sam_idx_save(out.file.get()) < 0)
      throw_hts_error("cannot index", out.path, out.file.get());
  }
  close_or_throw(out.file, out.path);
  if (out.path == "-") return;
  remove_earlier_indexes(out.path);
  rename_or_throw(out.part_path, out.path);
  if (indexed) rename_or_throw(out.part_index, out.path + out.index_suffix);
  out.part.paths.clear();
}

}  // namespace quilm::sam
