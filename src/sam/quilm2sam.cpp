#include "sam/quilm2sam.hpp"

#include <cstdio>
#include <filesystem>

#include "common/cram_reference.hpp"
#include "common/errors.hpp"
#include "common/input_file.hpp"
#include "sam/dataset_reader.hpp"
#include "sam/read_placement.hpp"
#include "sam/run_hits.hpp"
#include "sam/sam_options.hpp"
#include "sam/sam_output.hpp"
#include "sam/sam_records.hpp"

namespace quilm::sam {

namespace {

using HitIterator = std::vector<Hit>::const_iterator;

// Work areas of the conversion, reused from read to read.
struct Conversion {
  const RunHits& run;
  const ReferenceGenome& genome;
  SamOutput& out;
  const std::string& read_group;  // RG:Z of every record; empty: none
  DatasetRead read;
  PlacementWork placement_work;
  Placement placement;
  RecordWork record_work;
  RecordPtr record = make_record();
  long mapped_reads = 0;
  long unmapped_reads = 0;
  long renamed_reads = 0;  // written under a name changed to be a valid QNAME
};

void write_built_record(Conversion& c) {
  if (!c.read_group.empty()) add_read_group(c.read_group, c.record.get());
  write_record(c.out, c.record.get());
}

void name_read(Conversion& c) {
  if (make_valid_qname(c.read.name)) ++c.renamed_reads;
}

void place(Conversion& c, const Hit& hit) {
  const Chromosome& chromosome = c.genome.chromosomes[hit.chromosome];
  if (hit.spliced()) {
    place_splice_hit(hit, c.read.sequence, chromosome, c.placement_work, c.placement);
  } else if (!place_mapping_hit(hit, c.read.sequence, chromosome, c.placement_work, c.placement)) {
    throw InputError(describe_hit(c.run, hit) + " places the read outside chromosome '" +
                     chromosome.name + "'");
  }
  describe_against_reference(chromosome, c.placement_work, c.placement);
}

void write_hits(Conversion& c, HitIterator first, HitIterator last, const std::string& dataset) {
  const auto count = static_cast<int>(last - first);
  const std::uint32_t hash = sequence_hash(c.read.sequence);
  for (auto hit = first; hit != last; ++hit) {
    if (hit->sequence_hash != hash || hit->length != c.read.sequence.size())
      throw InputError(describe_hit(c.run, *hit) + " holds a sequence that differs from read " +
                       std::to_string(hit->read_number) + " of the dataset '" + dataset +
                       "': is it the run's dataset?");
    place(c, *hit);
    const HitNumbering numbering{hit->chromosome, mapping_quality(*hit, count), count,
                                 static_cast<int>(hit - first) + 1};
    build_mapped_record(c.read, *hit, c.placement, numbering, c.record_work, c.record.get());
    write_built_record(c);
  }
  ++c.mapped_reads;
}

void convert_reads(Conversion& c, DatasetReader& dataset, bool unmapped) {
  auto next = c.run.hits.cbegin();
  const auto end = c.run.hits.cend();
  while ((next != end || unmapped) && dataset.next(c.read)) {
    const long number = dataset.count();
    auto last = next;
    while (last != end && last->read_number == number) ++last;
    if (last != next) {
      name_read(c);
      write_hits(c, next, last, dataset.path());
      next = last;
    } else if (unmapped) {
      name_read(c);
      build_unmapped_record(c.read, c.record_work, c.record.get());
      write_built_record(c);
      ++c.unmapped_reads;
    }
  }
  if (next != end)
    throw InputError(describe_hit(c.run, *next) + " names read " +
                     std::to_string(next->read_number) + ", but the dataset '" + dataset.path() +
                     "' holds " + std::to_string(dataset.count()) + " reads");
}

void report_renamed_reads(long count) {
  if (count == 0) return;
  std::fprintf(stderr,
               "quilm2sam: %ld read %s not %s and %s changed (invalid characters replaced by "
               "'_', cut to %zu characters)\n",
               count, count == 1 ? "name was" : "names were",
               count == 1 ? "a valid SAM name" : "valid SAM names", count == 1 ? "was" : "were",
               kMaxQnameLength);
}

int usage_error(const UsageError& e) {
  std::fflush(stdout);
  std::fprintf(stderr, "quilm2sam: error: %s\n%s", e.what(), sam_usage());
  return 1;
}

}  // namespace

int run_quilm2sam(int argc, const char* const* argv) {
  SamOptions options;
  try {
    options = parse_sam_options(argc, argv);
  } catch (const UsageError& e) {
    return usage_error(e);
  }
  if (options.help) {
    std::fputs(sam_usage(), stdout);
    return 0;
  }
  refuse_one_pass_input(options.reference_path, "-R", "reference");
  if (output_format(options) == OutputFormat::kCram)
    check_cram_reference(options.reference_path, "-R");
  const ReferenceGenome genome = load_reference(options.reference_path);
  const bool six_files = options.run_kind == RunKind::kFound
                             ? std::filesystem::exists(options.run_path + "-quilm2high")
                             : options.run_kind == RunKind::kSplice;
  const RunHits run = load_run_hits(options.run_path, six_files, genome);
  DatasetReader dataset(options.dataset_path);
  const char* run_program = run.six_files ? "quilm2splice" : "quilm2";
  SamOutput out = open_output(options, make_header(genome, options, run_program));
  const std::string& read_group = options.read_group.id;
  Conversion conversion{run, genome, out, read_group, {}, {}, {}, {}, make_record(), 0, 0, 0};
  convert_reads(conversion, dataset, options.unmapped);
  finish_output(out);
  std::fprintf(stderr,
               "quilm2sam: %ld records written to %s: %zu hits of %ld reads, %ld unmapped\n",
               out.records, options.output_path.c_str(), run.hits.size(), conversion.mapped_reads,
               conversion.unmapped_reads);
  report_renamed_reads(conversion.renamed_reads);
  return 0;
}

}  // namespace quilm::sam
