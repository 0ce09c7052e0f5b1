#include "tools/refjunc/splice_annotation.hpp"

#include <cstdio>
#include <utility>

#include "common/command_line.hpp"
#include "common/fasta_text.hpp"
#include "common/file_identity.hpp"
#include "common/input_file.hpp"
#include "common/output_records.hpp"
#include "common/paths.hpp"
#include "tools/refjunc/genome_scan.hpp"
#include "tools/refjunc/refflat_splice.hpp"
#include "tools/refjunc/splice_evidence_record.hpp"
#include "tools/refjunc/transcript_model.hpp"

namespace quilm::refjunc {
namespace {

std::string splice_high_path(const RefjuncOptions& o) {
  return o.output_base + "-splice-high";
}

bool selected(const SpliceOutputRecord& r, const ChromosomeStrand& where) {
  return r.strand == where.strand && r.chromosome == where.name;
}

JunctionEvidence evidence_of(const SpliceEvidenceRecord& record) {
  const SpliceOutputRecord& f = record.fields;
  JunctionEvidence e;
  e.donor = f.first;
  e.acceptor = f.second;
  e.left_anchor = f.split;
  e.right_anchor = static_cast<int>(f.sequence.size()) - f.split;
  e.errors = f.errors;
  e.weight = 1.0 / record.divisor;
  return e;
}

// Places one record; a deferred one is appended to `deferred`, renumbered by
// the running count of deferrals when `renumber` is set.
struct PassTally {
  long deferred = 0;
  long outside = 0;
};
void place_record(JunctionTable& table, SpliceEvidenceRecord& record, OutputFile& deferred,
                  bool renumber, PassTally& tally) {
  Placement placed = place_evidence(table, evidence_of(record));
  if (placed == Placement::kOutside) ++tally.outside;
  if (placed != Placement::kDeferred) return;
  ++tally.deferred;
  if (renumber) record.fields.read_number = tally.deferred;
  write_splice_evidence_record(deferred, record);
}

void warn_outside(const std::string& path, const ChromosomeStrand& where, long long size,
                  long count) {
  if (count == 0) return;
  std::fflush(stdout);
  std::fprintf(stderr,
               "refjunc: warning: '%s': %ld junction records of %s strand %c lie outside the "
               "junction table (coordinates 0 to %lld) and were skipped\n",
               path.c_str(), count, where.name.c_str(), where.strand, size - 1);
}

void place_split_reads(const RefjuncOptions& o, const ChromosomeStrand& where, OutputFile& deferred,
                       JunctionRun& run) {
  SpliceOutputReader reader(splice_high_path(o));
  SpliceEvidenceRecord record;
  SpliceOutputRecord& r = record.fields;
  PassTally tally;
  while (reader.next(r)) {
    if (!selected(r, where)) continue;
    const long long gap = r.second - r.first;
    if (gap < o.min_gap || gap > o.max_gap) continue;
    // Placements are 0-based and split indexes the first part's last base:
    // D is the 1-based last base before the junction, A the first after it.
    r.first += r.split + 1;
    r.second += r.split + 2;
    record.divisor = 1;
    place_record(run.table, record, deferred, false, tally);
  }
  warn_outside(reader.path(), where, run.table.size, tally.outside);
}

void place_transcript_reads(const RefjuncOptions& o, const ChromosomeStrand& where,
                            OutputFile& deferred, JunctionRun& run) {
  SpliceEvidenceReader reader(join_path(o.work_folder, "refFlat-splice"));
  SpliceEvidenceRecord record;
  PassTally tally;
  while (reader.next(record)) {
    if (!selected(record.fields, where)) continue;
    if (record.fields.second - record.fields.first < 2) continue;
    place_record(run.table, record, deferred, false, tally);
  }
  warn_outside(reader.path(), where, run.table.size, tally.outside);
}

}  // namespace

void spliceresultcheck(const RefjuncOptions& options, const ChromosomeStrand& where,
                       JunctionRun& run) {
  reset_junction_table(run.table, where.length);
  OutputFile deferred(join_path(options.work_folder, "temp0"), OutputFile::Mode::kAppend);
  place_split_reads(options, where, deferred, run);
  place_transcript_reads(options, where, deferred, run);
  write_junctions(run.table, where.name, where.strand, run.junction_number, run.junctions);
  deferred.close();
}

long splicetempcheck(const ChromosomeStrand& where, const std::string& deferred_in,
                     const std::string& deferred_out, JunctionRun& run) {
  reset_junction_table(run.table, where.length);
  SpliceEvidenceReader reader(deferred_in);
  OutputFile deferred(deferred_out, OutputFile::Mode::kAppend);
  SpliceEvidenceRecord record;
  PassTally tally;
  while (reader.next(record))
    if (selected(record.fields, where)) place_record(run.table, record, deferred, true, tally);
  warn_outside(reader.path(), where, run.table.size, tally.outside);
  write_junctions(run.table, where.name, where.strand, run.junction_number, run.junctions);
  deferred.close();
  return tally.deferred;
}

void annotate_chromosome(const RefjuncOptions& options, const std::string& name, long long length,
                         JunctionRun& run) {
  std::string deferred_in = join_path(options.work_folder, "temp0");
  std::string deferred_out = join_path(options.work_folder, "temp1");
  create_empty_file(deferred_in);
  create_empty_file(deferred_out);
  const ChromosomeStrand forward{name, length, 'F'};
  const ChromosomeStrand reverse{name, length, 'R'};
  spliceresultcheck(options, forward, run);
  spliceresultcheck(options, reverse, run);
  // Every pass founds a junction with the first record of a strand, so the
  // number of deferred records falls with every pass.
  bool forward_pending = true;
  bool reverse_pending = true;
  for (;;) {
    if (forward_pending)
      forward_pending = splicetempcheck(forward, deferred_in, deferred_out, run) > 0;
    if (reverse_pending)
      reverse_pending = splicetempcheck(reverse, deferred_in, deferred_out, run) > 0;
    if (!forward_pending && !reverse_pending) break;
    std::swap(deferred_in, deferred_out);
    create_empty_file(deferred_out);
  }
}

namespace {

// The four files of the work folder are written in place, so none may be an input.
void refuse_overwritten_inputs(const RefjuncOptions& o) {
  std::vector<NamedFile> outputs;
  for (const char* name : {"refFlat-splice", "junction", "temp0", "temp1"})
    outputs.push_back({"option -W", join_path(o.work_folder, name)});
  quilm::refuse_overwritten_inputs(outputs, {{"-C", o.genome_path},
                                             {"-R", o.exon_table_path},
                                             {"-F", o.transcript_hits},
                                             {"-O", splice_high_path(o)}});
}

}  // namespace

void run_refjunc(const RefjuncOptions& options) {
  refuse_overwritten_inputs(options);
  // Every input is opened before anything is written.
  InputFile genome(options.genome_path);
  skip_to_first_header(genome);
  { InputFile split_reads(splice_high_path(options), 16); }
  TranscriptTable transcripts = stackAS(options.exon_table_path);
  refFlattosplice(transcripts, options.transcript_hits,
                  join_path(options.work_folder, "refFlat-splice"));
  transcripts.clear();
  // Started anew, so that junction numbers are unique within the file.
  OutputFile junctions(join_path(options.work_folder, "junction"));
  JunctionRun run{JunctionTable{}, junctions};
  std::string name;
  long long length = 0;
  long long blanks = 0;
  for (bool more = true; more;) {
    more = chrname_size(genome, name, length, blanks);
    annotate_chromosome(options, name, length, run);
  }
  junctions.close();
  if (blanks > 0) print_warning("refjunc", skipped_blanks_warning(options.genome_path, blanks));
}

}  // namespace quilm::refjunc
