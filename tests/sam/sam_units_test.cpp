#include <htslib/sam.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <memory>
#include <tuple>
#include <utility>
#include <vector>

#include "common/errors.hpp"
#include "common/progress_display.hpp"
#include "sam/coordinate_sort.hpp"
#include "sam/dataset_reader.hpp"
#include "sam/hts_handles.hpp"
#include "sam/packed_bases.hpp"
#include "sam/read_placement.hpp"
#include "sam/reference_genome.hpp"
#include "sam/sam_records.hpp"
#include "sam/sam_test_data.hpp"
#include "sam/stored_records.hpp"
#include "support/test_support.hpp"

namespace quilm::sam {
namespace {

using test::reverse_complement_of;

std::string cigar_text(const Placement& p) {
  std::string text;
  for (std::uint32_t c : p.cigar)
    text += std::to_string(bam_cigar_oplen(c)) + std::string(1, bam_cigar_opchr(c));
  return text;
}

Hit mapping_hit(std::int64_t position, char strand, int errors, std::size_t length) {
  Hit hit;
  hit.first = position;
  hit.strand = strand;
  hit.errors = errors;
  hit.length = static_cast<std::uint32_t>(length);
  return hit;
}

class PlacementTest : public ::testing::Test {
 protected:
  std::string bases = test::congruential_bases(600, 3);
  ReferenceGenome genome = [this] {
    ReferenceGenome g;
    add_chromosome(g, "chrA", bases);
    return g;
  }();
  const Chromosome& chr = genome.chromosomes[0];
  PlacementWork work;
  Placement out;

  std::string place(const Hit& hit, const std::string& read) {
    EXPECT_TRUE(place_mapping_hit(hit, read, chr, work, out));
    describe_against_reference(chr, work, out);
    return std::to_string(out.position) + " " + cigar_text(out) + " NM" +
           std::to_string(out.edit_distance) + " " + out.md;
  }
};

TEST_F(PlacementTest, UngappedHitsKeepTheirPosition) {
  std::string read = bases.substr(50, 40);
  EXPECT_EQ(place(mapping_hit(50, 'F', 0, 40), read), "50 40M NM0 40");
  // Lower case in the read and in the reference compares as upper case.
  std::transform(read.begin(), read.end(), read.begin(), ::tolower);
  EXPECT_EQ(place(mapping_hit(50, 'F', 0, 40), read), "50 40M NM0 40");
  EXPECT_EQ(out.sequence, bases.substr(50, 40));
  EXPECT_EQ(place(mapping_hit(50, 'R', 0, 40), reverse_complement_of(bases.substr(50, 40))),
            "50 40M NM0 40");
  EXPECT_TRUE(out.reverse);
}

TEST_F(PlacementTest, IndelHitsAreAlignedAroundTheCandidateStart) {
  const std::string& g = bases;
  // Deletion of three bases, candidate start three bases late.
  const std::string deleted = g.substr(200, 15) + g.substr(218, 45);
  EXPECT_EQ(place(mapping_hit(203, 'F', 1, 60), deleted),
            "200 15M3D45M NM3 15^" + g.substr(215, 3) + "45");
  // Two inserted bases that cannot slide along the reference.
  const std::string extra = {g[325] == 'A' ? 'C' : 'A', g[324] == 'G' ? 'T' : 'G'};
  EXPECT_EQ(place(mapping_hit(300, 'F', 2, 52), g.substr(300, 25) + extra + g.substr(325, 25)),
            "300 25M2I25M NM2 50");
  // A deletion next to a mismatch: MD puts a zero between them.
  std::string both = g.substr(400, 20) + g.substr(422, 30);
  for (char c : {'A', 'C', 'G', 'T'})
    if (c != g[420] && c != g[421] && c != g[422]) both[20] = c;
  EXPECT_EQ(place(mapping_hit(400, 'F', 2, 50), both),
            "400 20M2D30M NM3 20^" + g.substr(420, 2) + "0" + g.substr(422, 1) + "29");
}

TEST_F(PlacementTest, UngappedWinsATieAndNoAlignmentOutsideTheChromosome) {
  // More mismatches than the record says, but no gap helps: stays ungapped.
  std::string read = bases.substr(100, 30);
  read[15] = read[15] == 'A' ? 'C' : 'A';
  EXPECT_EQ(place(mapping_hit(100, 'F', 0, 30), read).substr(0, 7), "100 30M");
  // Near the end the alignment may not run past the last base.
  place(mapping_hit(590, 'F', 2, 15), bases.substr(590, 10) + "ACGTA");
  EXPECT_LE(out.position + bam_cigar2rlen(static_cast<int>(out.cigar.size()), out.cigar.data()),
            600);
}

TEST_F(PlacementTest, SplicedOrientationComesFromTheBases) {
  const std::string matched = bases.substr(100, 30) + bases.substr(300, 40);
  Hit hit = mapping_hit(100, 'R', 0, 70);
  hit.split = 29;
  hit.second = 270;
  for (bool reverse : {false, true}) {
    place_splice_hit(hit, reverse ? reverse_complement_of(matched) : matched, chr, work, out);
    describe_against_reference(chr, work, out);
    EXPECT_EQ(out.reverse, reverse);
    EXPECT_EQ(cigar_text(out) + " " + out.md, "30M170N40M 70");
    EXPECT_EQ(out.sequence, matched);
  }
}

TEST(MappingQualityTest, ByFileAndHitCount) {
  Hit hit = mapping_hit(0, 'F', 0, 36);
  EXPECT_EQ(mapping_quality(hit, 1), 60);
  hit.hit_class = HitClass::kLow;
  EXPECT_EQ(mapping_quality(hit, 1), kLowQualityMapq);
  hit.hit_class = HitClass::kMulti;
  EXPECT_EQ(mapping_quality(hit, 2), 3);
  EXPECT_EQ(mapping_quality(hit, 4), 1);
  EXPECT_EQ(mapping_quality(hit, 5), 0);
  // The mapping-only file: 36 bases are high quality up to 3 errors.
  hit.hit_class = HitClass::kUnclassified;
  hit.errors = 3;
  EXPECT_EQ(mapping_quality(hit, 1), 60);
  hit.errors = 4;
  EXPECT_EQ(mapping_quality(hit, 1), kLowQualityMapq);
  EXPECT_EQ(mapping_quality(hit, 3), 1);
}

TEST(PackedBasesTest, EveryByteReadsBackUpperCasedInAnyWindow) {
  // Long N runs, IUPAC codes, other bytes and lower case between the bases,
  // appended in pieces that do not line up with the packed words.
  std::string bytes = test::congruential_bases(3000, 7);
  for (int i = 0; i < 3000; i += 97) bytes[i] = "acgtRYn-*\x80"[i % 10];
  bytes.replace(500, 300, std::string(300, 'N'));
  bytes[800] = 'n';  // continues the run of N
  bytes[801] = 'R';
  PackedBases packed;
  for (std::size_t at = 0, piece = 1; at < bytes.size(); at += piece, piece = piece * 3 % 71 + 1)
    packed.append(bytes.data() + at, std::min(piece, bytes.size() - at));
  ASSERT_EQ(packed.size(), 3000);
  std::string upper = bytes;
  for (char& c : upper)
    if (c >= 'a' && c <= 'z') c = static_cast<char>(c - 'a' + 'A');
  std::string out;
  for (std::int64_t start = 0; start < 3000; start += 37) {
    for (std::size_t n : {std::size_t{0}, std::size_t{1}, std::size_t{33}, std::size_t{400}}) {
      const std::size_t m = std::min<std::size_t>(n, 3000 - start);
      out.assign(m, '?');
      packed.fetch(start, m, out.data());
      ASSERT_EQ(out, upper.substr(start, m)) << start << " " << m;
    }
  }
}

class SamInputsTest : public test::TempDirTest {};

TEST_F(SamInputsTest, ReferenceNamesAndLengthsFollowTheRun) {
  // Every CR is dropped, as the run's segmentation drops it.
  test::spit(path("ref.fa"), ">c1 some text\r\nac\rgT\r\nNN\n>empty\n>c2\nGG\n");
  const ReferenceGenome g = load_reference(path("ref.fa"));
  ASSERT_EQ(g.chromosomes.size(), 2u);
  std::string buffer;
  EXPECT_EQ(g.chromosomes[0].name + "=" + std::string(g.chromosomes[0].fetch(0, 6, buffer)),
            "c1=ACGTNN");
  EXPECT_EQ(g.chromosomes[1].length, 2);
  EXPECT_EQ(find_chromosome(g, "c2"), 1);
  EXPECT_EQ(find_chromosome(g, "empty"), -1);
  test::spit(path("twice.fa"), ">c1\nAC\n>c1 again\nGT\n");
  EXPECT_THROW(load_reference(path("twice.fa")), InputError);
}

TEST_F(SamInputsTest, BlanksInSequenceLinesAreSkippedWithOneWarning) {
  test::spit(path("ref.fa"), ">c1\nAC GT \r\nA\tC \n>c2\n GG\n");
  testing::internal::CaptureStderr();
  const ReferenceGenome g = load_reference(path("ref.fa"));
  const std::string err = testing::internal::GetCapturedStderr();
  ASSERT_EQ(g.chromosomes.size(), 2u);
  std::string buffer;
  EXPECT_EQ(g.chromosomes[0].length, 6);
  EXPECT_EQ(std::string(g.chromosomes[0].fetch(0, 6, buffer)), "ACGTAC");
  EXPECT_EQ(std::string(g.chromosomes[1].fetch(0, 2, buffer)), "GG");
  EXPECT_EQ(err, "quilm2sam: warning: reference '" + path("ref.fa") +
                     "': 5 blanks and tabs in sequence lines skipped; they are not bases\n");
  test::spit(path("clean.fa"), ">c1\nACGT\n");
  testing::internal::CaptureStderr();
  load_reference(path("clean.fa"));
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

TEST_F(SamInputsTest, ChromosomeNamesThatSamForbidsAreRefused) {
  test::spit(path("ref.fa"), ">c1\nACGT\n>*\n\n>c,2\nACGT\n");
  const ReferenceGenome g = load_reference(path("ref.fa"));
  try {
    check_sam_names(g);
    FAIL() << "accepted";
  } catch (const InputError& e) {
    // The '*' without bases is left out of the genome, so it is not named.
    EXPECT_NE(std::string(e.what()).find("'" + path("ref.fa") + "': sequence name 'c,2' holds ','"),
              std::string::npos)
        << e.what();
  }
  test::spit(path("ok.fa"), ">c1\nACGT\n>*\n\n");
  EXPECT_NO_THROW(check_sam_names(load_reference(path("ok.fa"))));
}

TEST_F(SamInputsTest, DatasetBasesComeInUpperCaseAsTheRunMappedThem) {
  test::spit(path("r.fq"), "@a\nacgtn\n+\nIIIII\n@b\r\nAcGt.\r\n+\r\nIIIII\r\n");
  DatasetReader reader(path("r.fq"));
  DatasetRead read;
  ASSERT_TRUE(reader.next(read));
  EXPECT_EQ(read.sequence, "ACGTN");
  ASSERT_TRUE(reader.next(read));
  EXPECT_EQ(read.sequence, "ACGT.");
}

TEST_F(SamInputsTest, DatasetRecordsAreCountedAsTheRunCountsThem) {
  test::spit(path("r.fq"), "@a b\nACGT\n+a\nIIII\n@e\n\n+\n\n@\nAC\n+\n#(\n@cut\nACGT\n+\n");
  DatasetReader reader(path("r.fq"));
  DatasetRead read;
  ASSERT_TRUE(reader.next(read));
  EXPECT_EQ(read.name + " " + read.sequence + " " + read.quality, "a ACGT IIII");
  ASSERT_TRUE(reader.next(read));  // a read of length 0 is counted too
  EXPECT_EQ(read.name + "|" + read.sequence + "|" + read.quality, "e||");
  ASSERT_TRUE(reader.next(read));
  EXPECT_EQ(read.name, "3");  // no name: the read number stands in
  EXPECT_FALSE(reader.next(read));
  EXPECT_EQ(reader.count(), 3);
  test::spit(path("bad.fq"), "@a\nACGT\n+\nIII\n");
  DatasetReader bad(path("bad.fq"));
  try {
    bad.next(read);
    FAIL() << "no error";
  } catch (const InputError& e) {
    EXPECT_NE(std::string(e.what()).find("bad.fq': FASTQ record 1 has 3 quality"),
              std::string::npos)
        << e.what();
  }
}

struct SortedRecord {
  std::uint32_t tid;
  long pos;
  int arrival;
  bool operator==(const SortedRecord&) const = default;
};

// `count` records, many at the same positions, through a sorter with the
// given memory (bytes) and threads, in sorted blocks of 70 records, the
// writing shown on `progress`; the records as written, and the runs spilled.
std::pair<std::vector<SortedRecord>, std::size_t> sort_records(
    const std::string& dir, std::size_t memory, int threads, int count = 3000,
    ProgressDisplay* progress = nullptr) {
  const std::string text = "@HD\tVN:1.6\tSO:coordinate\n@SQ\tSN:a\tLN:100000\n@SQ\tSN:b\tLN:9\n";
  HeaderPtr header(sam_hdr_parse(text.size(), text.c_str()));
  const ThreadPoolPtr pool = make_thread_pool(threads);
  auto sorter = std::make_unique<CoordinateSorter>(make_sorter(dir + "/run", memory, pool.get()));
  RecordPtr b = make_record();
  const std::string seq(60, 'A'), qual(60, 10);
  const std::uint32_t cigar = 60u << BAM_CIGAR_SHIFT | BAM_CMATCH;
  SortBlock block;
  std::uint64_t blocks = 0;
  for (int i = 0; i < count; ++i) {
    const int tid = i % 7 == 0 ? -1 : i % 5 == 0 ? 1 : 0;
    const long pos = tid < 0 ? -1 : tid == 1 ? 0 : (i * 7919L) % 990;
    std::string name = std::to_string(i);
    name.insert(name.begin(), 'r');  // not "r" + ...: a false -Wrestrict of GCC 12
    const std::uint16_t flag = tid < 0 ? BAM_FUNMAP : i % 3 == 0 ? BAM_FREVERSE : 0;
    EXPECT_GE(bam_set1(b.get(), name.size(), name.c_str(), flag, tid, pos, 0, tid < 0 ? 0 : 1,
                       &cigar, -1, -1, 0, 60, seq.c_str(), qual.c_str(), 0),
              0);
    append_record(block.records, b.get());
    if (i % 70 == 69 || i == count - 1) {
      sort_block(block, blocks++);
      sorter_add(*sorter, header.get(), std::move(block));
      block = {};
    }
  }
  const std::size_t runs = sorter->runs.paths.size();
  {
    HtsFilePtr out(sam_open((dir + "/sorted.bam").c_str(), "wb"));
    EXPECT_EQ(sam_hdr_write(out.get(), header.get()), 0);
    sorter_finish(*sorter, header.get(), out.get(), dir + "/sorted.bam", progress);
  }
  sorter.reset();  // the runs' files go with the sorter
  EXPECT_EQ(std::distance(std::filesystem::directory_iterator(dir), {}), 1);
  HtsFilePtr in(sam_open((dir + "/sorted.bam").c_str(), "rb"));
  HeaderPtr read_header(sam_hdr_read(in.get()));
  std::vector<SortedRecord> records;
  while (sam_read1(in.get(), read_header.get(), b.get()) >= 0)
    records.push_back({static_cast<std::uint32_t>(b->core.tid), b->core.pos,
                       std::stoi(bam_get_qname(b.get()) + 1) * (bam_is_rev(b.get()) ? -1 : 1)});
  return {records, runs};
}

// By position, forward before reverse, then in arrival order; the same
// records whether sorted in memory or in spilled runs, on one thread or in
// the pool.
TEST_F(SamInputsTest, SortSpillsRunsAndMergesThemInOrder) {
  const auto [in_memory, no_runs] = sort_records(dir(), 16 << 20, 1);
  EXPECT_EQ(no_runs, 0u);
  ASSERT_EQ(in_memory.size(), 3000u);
  const auto after = [](const SortedRecord& a, const SortedRecord& b) {
    if (a.tid != b.tid || a.pos != b.pos) return std::pair(a.tid, a.pos) > std::pair(b.tid, b.pos);
    if ((a.arrival < 0) != (b.arrival < 0)) return a.arrival < 0;
    return std::abs(a.arrival) > std::abs(b.arrival);
  };
  EXPECT_EQ(std::adjacent_find(in_memory.begin(), in_memory.end(), after), in_memory.end());
  for (int threads : {1, 2, 3}) {
    SCOPED_TRACE(threads);
    const auto [spilled, runs] = sort_records(dir(), 64 << 10, threads);
    EXPECT_GT(runs, 2u);
    EXPECT_TRUE(spilled == in_memory);
    EXPECT_TRUE(sort_records(dir(), 16 << 20, threads).first == in_memory);
  }
}

// The sorted records are shown as they are written, of all the sorter took
// in, whether they come from memory or from spilled runs (whose own writing
// is not shown); the records are the same as without the display.
TEST_F(SamInputsTest, SortedWritingShowsTheRecordsWritten) {
  const std::string sorting = path("sorting");
  std::filesystem::create_directory(sorting);
  const auto plain = sort_records(sorting, 16 << 20, 1, 10000).first;
  for (const std::size_t memory : {std::size_t{16} << 20, std::size_t{256} << 10}) {
    SCOPED_TRACE(memory);
    std::FILE* out = std::fopen(path("shown").c_str(), "w");
    ASSERT_NE(out, nullptr);
    double now = 0;
    std::vector<SortedRecord> records;
    std::size_t runs = 0;
    {
      ProgressDisplay display(
          "quilm2sam: sorted output", out, false, [&now] { return now += 60; }, "records");
      std::tie(records, runs) = sort_records(sorting, memory, 1, 10000, &display);
    }
    std::fclose(out);
    EXPECT_EQ(runs > 0, memory < (1u << 20));
    EXPECT_TRUE(records == plain);
    const std::string shown = test::slurp(path("shown"));
    EXPECT_EQ(shown.rfind("quilm2sam: sorted output: 4096 of 10000 records (41.0%), 68 records/s, "
                          "0:01:26 left\n",
                          0),
              0u)
        << shown;
    EXPECT_NE(shown.find("\nquilm2sam: sorted output: 8192 of 10000 records (81.9%)"),
              std::string::npos)
        << shown;
    EXPECT_EQ(std::count(shown.begin(), shown.end(), '\n'), 2) << shown;
  }
}

}  // namespace
}  // namespace quilm::sam
