#include <zlib.h>

#include <filesystem>
#include <random>
#include <utility>

#include "common/errors.hpp"
#include "common/fastq_record.hpp"
#include "common/input_file.hpp"
#include "common/paths.hpp"
#include "pipeline/read_preparation.hpp"
#include "pipeline/reference_memo.hpp"
#include "pipeline/segmentation.hpp"
#include "pipeline/task_assignment.hpp"
#include "support/test_support.hpp"

namespace quilm {
namespace {

using test::slurp;
using test::spit;

class Segmentation : public test::TempDirTest {
 protected:
  // Segments of 10 characters plus an overlap of 3: full at 13.
  int split(const std::string& fasta, int masked_toggle = 1) {
    spit(path("ref.fa"), fasta);
    return splitfasta(path("ref.fa"), dir(), 3, 10, masked_toggle);
  }
  std::string index() { return slurp(path("fast_index.txt")); }
  std::string tasks() { return slurp(path("task.txt")); }
  std::string segment(int k) { return slurp(path(std::to_string(k) + ".txt")); }
};

TEST_F(Segmentation, FullSegmentCarriesTheOverlapOfItsChromosome) {
  testing::internal::CaptureStdout();
  EXPECT_EQ(split(">c1 first one\nACGTACGTAC\r\nGTAC\n>c2\nGGGG\n"), 2);
  // Only full segments have their path printed.
  EXPECT_EQ(testing::internal::GetCapturedStdout(), path("1.txt") + "\n");
  EXPECT_EQ(segment(1), "ACGTACGTACGTA");
  EXPECT_EQ(segment(2), "GTACNGGGG");
  EXPECT_EQ(index(), "1 0 0 1 c1\n1 13 13 1 c1\n2 0 10 1 c1\n2 5 0 2 c2\n2 9 4 2 c2\n");
  EXPECT_EQ(tasks(), "1 13 13\n2 9 9\n");
}

TEST_F(Segmentation, ChromosomeBoundaryInsideTheOverlap) {
  testing::internal::CaptureStdout();
  EXPECT_EQ(split(">c1\nAAAAAAAAAAA\n>c2\nCCCCC\n"), 2);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(segment(1), "AAAAAAAAAAANC");
  EXPECT_EQ(segment(2), "CCCCC");
  EXPECT_EQ(index(), "1 0 0 1 c1\n1 12 0 2 c2\n1 13 1 2 c2\n2 0 0 2 c2\n2 5 5 2 c2\n");
}

TEST_F(Segmentation, InputEndingAsASegmentFillsGivesAnOverlapOnlySegment) {
  testing::internal::CaptureStdout();
  EXPECT_EQ(split(">c1\nACGTACGTACGTA\n"), 2);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(segment(2), "GTA");
  EXPECT_EQ(index(), "1 0 0 1 c1\n1 13 13 1 c1\n2 0 10 1 c1\n2 3 13 1 c1\n");
  EXPECT_EQ(tasks(), "1 13 13\n2 3 3\n");
}

TEST_F(Segmentation, SeparatorTakingTheLastPlace) {
  testing::internal::CaptureStdout();
  // A base follows the separator: the segment holds one character more.
  EXPECT_EQ(split(">c1\nAAAAAAAAAAAA\n>c2\nG\n"), 2);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(segment(1), "AAAAAAAAAAAANG");
  EXPECT_EQ(segment(2), "G");
  EXPECT_EQ(index(), "1 0 0 1 c1\n1 13 0 2 c2\n1 14 1 2 c2\n2 0 0 2 c2\n2 1 1 2 c2\n");

  // No base follows: the segment is still written, so c1 is not lost.
  EXPECT_EQ(split(">c1\nAAAAAAAAAAAA\n>c2\n"), 1);
  EXPECT_EQ(segment(1), "AAAAAAAAAAAAN");
  EXPECT_EQ(index(), "1 0 0 1 c1\n1 13 0 2 c2\n1 13 0 2 c2\n");
  EXPECT_EQ(tasks(), "1 13 13\n");
}

TEST_F(Segmentation, MaskedCountsAndCaseKept) {
  EXPECT_EQ(split(">c\nacgtNNAC\n", 1), 1);
  EXPECT_EQ(segment(1), "acgtNNAC");
  EXPECT_EQ(tasks(), "1 8 2\n");
  EXPECT_EQ(split(">c\nacgtNNAC\n", 0), 1);
  EXPECT_EQ(tasks(), "1 8 6\n");
  // After a full segment the carried masked count is estimated from the last byte.
  testing::internal::CaptureStdout();
  EXPECT_EQ(split(">c\nAAAAAAAAAAaaaCC\n", 1), 2);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(tasks(), "1 13 10\n2 5 2\n");
}

TEST_F(Segmentation, MaskedCountsOfLongLinesMatchACountByCharacter) {
  // Lines far longer than the counting pieces, with every byte class: upper
  // and lower case, 'N', the characters around 'Z' and bytes above 127.
  std::string seq;
  for (int i = 0; i < 1300; ++i) seq += "ACGTNacgtnZ[`{\x7f\x80\xc3"[(i * 7 + i / 13) % 17];
  for (int toggle = 0; toggle <= 1; ++toggle) {
    long long masked = 0;
    for (unsigned char b : seq) masked += b == 'N' || (toggle == 1 && b > 'Z' && b < 128);
    spit(path("ref.fa"), ">c\n" + seq.substr(0, 700) + "\n" + seq.substr(700) + "\n");
    EXPECT_EQ(splitfasta(path("ref.fa"), dir(), 100, 1 << 20, toggle), 1);
    EXPECT_EQ(tasks(), "1 1300 " + std::to_string(1300 - masked) + "\n");
    EXPECT_EQ(segment(1), seq);
  }
}

TEST_F(Segmentation, LargeSegmentsWrittenInBlocksKeepEveryCharacter) {
  // Segments far larger than the write blocks, so that the carried overlap
  // and the chromosome boundary fall between blocks.
  std::mt19937 rng(11);
  const auto bases = [&](std::size_t n) {
    std::string s(n, 'A');
    for (char& c : s) c = "ACGTacgtN"[rng() % 9];
    return s;
  };
  const std::string c1 = bases(700000), c2 = bases(900000);
  std::string fasta = ">c1\n";
  for (std::size_t i = 0; i < c1.size(); i += 70) fasta += c1.substr(i, 70) + "\n";
  fasta += ">c2\n";
  for (std::size_t i = 0; i < c2.size(); i += 61) fasta += c2.substr(i, 61) + "\n";
  spit(path("ref.fa"), fasta);
  testing::internal::CaptureStdout();
  ASSERT_EQ(splitfasta(path("ref.fa"), dir(), 100, 500000, 0), 4);
  testing::internal::GetCapturedStdout();
  const std::string expected[] = {c1.substr(0, 500100),
                                  c1.substr(500000) + "N" + c2.substr(0, 300099),
                                  c2.substr(299999, 500100), c2.substr(799999)};
  for (int k = 0; k < 4; ++k) EXPECT_EQ(segment(k + 1), expected[k]) << "segment " << k + 1;
  EXPECT_EQ(index(),
            "1 0 0 1 c1\n1 500100 500100 1 c1\n2 0 500000 1 c1\n2 200001 0 2 c2\n"
            "2 500100 300099 2 c2\n3 0 299999 2 c2\n3 500100 800099 2 c2\n"
            "4 0 799999 2 c2\n4 100001 900000 2 c2\n");
}

TEST_F(Segmentation, ARerunKeepsTheSegmentFilesAlreadyInPlace) {
  const std::string first = ">c1\nACGTACGTACGTACGTACGTAC\n>c2\nGGGGCCCC\n";
  const auto cut = [&](const std::string& fasta, const std::string& folder) {
    spit(path("ref.fa"), fasta);
    testing::internal::CaptureStdout();
    const SegmentFiles files = segment_reference(path("ref.fa"), folder, 3, 10, 1);
    testing::internal::GetCapturedStdout();
    std::string all = slurp(folder + "/fast_index.txt");
    for (int k = 1; k <= files.segments; ++k) all += slurp(numbered_path(folder, k, ".txt")) + "|";
    return std::make_pair(files, all);
  };
  const auto [fresh, bytes] = cut(first, dir());
  EXPECT_EQ(fresh.segments, 3);
  EXPECT_EQ(fresh.kept, 0);
  const auto [again, same] = cut(first, dir());
  EXPECT_EQ(again.kept, 3);
  EXPECT_EQ(same, bytes);
  // One base changed in the second segment and a longer last one: those two
  // are written again, the first is kept, and all equal a cut in a new folder.
  std::string edited = first;
  edited[4 + 14] = 'T';
  edited += "TT\n";
  const auto [changed, written] = cut(edited, dir());
  EXPECT_EQ(changed.kept, 1);
  std::filesystem::create_directory(path("new"));
  EXPECT_EQ(written, cut(edited, path("new")).second);
  EXPECT_NE(written, bytes);
}

TEST_F(Segmentation, HeaderNameIsItsFirstWordAndLongLinesWork) {
  const std::string long_name(300, 'x');
  const std::string seq(5000, 'A');
  EXPECT_EQ(splitfasta(
                [&] {
                  spit(path("ref.fa"), ">" + long_name + " described\there\n" + seq + "\n");
                  return path("ref.fa");
                }(),
                dir(), 100, 1 << 20, 1),
            1);
  EXPECT_EQ(index(), "1 0 0 1 " + long_name + "\n1 5000 5000 1 " + long_name + "\n");
}

TEST_F(Segmentation, UnusableReferencesAreRefusedByName) {
  spit(path("ok.fa"), "\n\n>c\n\nA\n");
  EXPECT_NO_THROW(check_fasta(path("ok.fa")));
  const std::pair<const char*, const char*> refused[] = {
      {"", "is empty"},
      {"ACGT\n", "does not start with '>'"},
      {">c1\n>c2\n\n", "holds no sequence"},
      {">\nACGT\n", "without a name (line 1)"},
      // A name is the first word, as hits are labelled with it.
      {"\n>c1 x\nAC\n>c2\nGT>c3\n>c1\tother\nAA\n", "'c1' on line 6 repeats the name on line 2"},
      {">c1\nACGT\n>\t\nACGT\n", "without a name (line 3)"},
      {">c1\nACGT\n> \r\nACGT\n", "without a name (line 3)"}};
  for (const auto& [text, words] : refused) {
    spit(path("bad.fa"), text);
    try {
      check_fasta(path("bad.fa"));
      ADD_FAILURE() << "accepted: " << text;
    } catch (const InputError& e) {
      EXPECT_NE(std::string(e.what()).find(path("bad.fa")), std::string::npos) << e.what();
      EXPECT_NE(std::string(e.what()).find(words), std::string::npos) << e.what();
    }
  }
  EXPECT_THROW(check_fasta(path("absent.fa")), IoError);
}

TEST_F(Segmentation, CheckCountsLettersAndLinesAcrossReadBlocks) {
  // Far more than one read block, with headers, CR LF lines and a '>' inside
  // a line; the repeated name lies in the last block.
  std::mt19937 random(7);
  std::string text;
  long lines = 0, lower = 0, letters = 0;
  for (int chromosome = 0; chromosome < 40; ++chromosome) {
    text += ">c" + std::to_string(chromosome) + " soft\r\n";
    ++lines;
    for (int l = 0; l < 300; ++l) {
      for (int k = 0; k < 61; ++k) {
        const char c = "acgtnACGTN-*"[random() % 12];
        text += c;
        lower += c >= 'a' && c <= 'z';
        letters += (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z');
      }
      text += l % 2 ? "\n" : "\r\n";
      ++lines;
    }
  }
  spit(path("ref.fa"), text);
  const FastaSummary summary = check_fasta(path("ref.fa"));
  EXPECT_EQ(summary.letters, letters);
  EXPECT_EQ(summary.lower_case, lower);
  spit(path("ref.fa"), text + "ACGT>c7\n");
  try {
    check_fasta(path("ref.fa"));
    ADD_FAILURE() << "a repeated name was accepted";
  } catch (const InputError& e) {
    const std::string where = "on line " + std::to_string(lines + 1) +
                              " repeats the name on line " + std::to_string(7 * 301 + 1);
    EXPECT_NE(std::string(e.what()).find(where), std::string::npos) << e.what();
  }
}

// Blanks and tabs in sequence lines are layout, as CR and LF are: trailing
// ones, one inside a line and a tab give the segments, index and sizes of the
// clean file, on the block path and across a segment's end; the check counts
// them and measures each sequence by its bases.
TEST_F(Segmentation, BlanksAndTabsInSequenceLinesAreSkippedAndCounted) {
  const std::string clean = ">c1 x y\nACGTACGTAC\nGTAC\n>c2\nGGGGTTTTCC\nAA\n";
  const std::string blank = ">c1 x y\nACGTA CGTAC \r\nGTAC \n \n>c2\nGGGG\tTTTTCC \nAA\t\n";
  testing::internal::CaptureStdout();
  const int segments = split(clean);
  const std::string files[] = {segment(1), segment(2), index(), tasks()};
  EXPECT_EQ(split(blank), segments);
  testing::internal::GetCapturedStdout();
  EXPECT_EQ(segment(1), files[0]);
  EXPECT_EQ(segment(2), files[1]);
  EXPECT_EQ(index(), files[2]);
  EXPECT_EQ(tasks(), files[3]);

  spit(path("ref.fa"), blank);
  const FastaSummary summary = check_fasta(path("ref.fa"));
  EXPECT_EQ(summary.blanks, 7);
  EXPECT_EQ(summary.letters, 26);
  ASSERT_EQ(summary.sequences.size(), 2u);
  EXPECT_EQ(summary.sequences[0].name + " " + std::to_string(summary.sequences[0].line) + " " +
                std::to_string(summary.sequences[0].length),
            "c1 1 14");
  EXPECT_EQ(summary.sequences[1].name + " " + std::to_string(summary.sequences[1].line) + " " +
                std::to_string(summary.sequences[1].length),
            "c2 5 12");
  spit(path("ref.fa"), ">c1\n  \t\n");
  EXPECT_THROW(check_fasta(path("ref.fa")), InputError);  // blanks alone are no sequence
}

TEST_F(Segmentation, NamesThatSamForbidsAreFoundWithTheirLineAndRule) {
  const std::pair<std::string, std::string> forbidden[] = {
      {"*", "is '*'"},
      {"=chr1", "begins with '='"},
      {"*chr1", "begins with '*'"},
      {"chr1,2", "holds ','"},
      {"chr{1}", "holds '{'"},
      {"chr\x01", "byte 0x01"},
      {"chr\xc3\xa9", "byte 0xC3"},
  };
  for (const auto& [name, rule] : forbidden) {
    spit(path("ref.fa"), ">ok\nACGT\n>" + name + " text\nACGT\n");
    const std::string problem = forbidden_sam_name(path("ref.fa"), check_fasta(path("ref.fa")));
    EXPECT_NE(problem.find(rule), std::string::npos) << name << ": " << problem;
    EXPECT_NE(problem.find("(line 3)"), std::string::npos) << problem;
    EXPECT_NE(problem.find(path("ref.fa")), std::string::npos) << problem;
    EXPECT_EQ(problem.find('\x01'), std::string::npos) << "a control byte in the message";
  }
  // Allowed: '*' and '=' after the first byte, the other punctuation of the rule.
  spit(path("ref.fa"), ">c*1=\nAC\n>!#$%&+./:;?@^_|~-\nAC\n>*\n\n");
  EXPECT_EQ(forbidden_sam_name(path("ref.fa"), check_fasta(path("ref.fa"))), "");
}

TEST_F(Segmentation, ReferenceMemoKeepsTheSummaryAndRefusesAnyDamage) {
  ReferenceMemo memo;
  memo.reference = {7, 4000000000, 1700000000123456789, 1700000000987654321};
  memo.summary = {4000000000, 12, 3, {{"chr1", 1, 3000000000}, {"x|y:1-2", 9, 1}}};
  memo.cut = {100, std::int64_t{100} << 20, 1};
  memo.segments = 2;
  memo.files = {{1, 2, 3, 4}, {5, 6, 7, 8}, {9, 10, 11, 12}, {13, 14, 15, 16}};
  write_reference_memo(dir(), memo);
  ASSERT_TRUE(read_reference_memo(dir()));
  EXPECT_FALSE(read_reference_memo(dir())->content);
  memo.content = ContentHash{"00112233445566ff", 4000000451};
  write_reference_memo(dir(), memo);
  const auto back = read_reference_memo(dir());
  ASSERT_TRUE(back);
  EXPECT_EQ(back->reference, memo.reference);
  EXPECT_EQ(back->summary.letters, memo.summary.letters);
  EXPECT_EQ(back->summary.blanks, 3);
  ASSERT_EQ(back->summary.sequences.size(), 2u);
  EXPECT_EQ(back->summary.sequences[1].name, "x|y:1-2");
  EXPECT_EQ(back->summary.sequences[0].length, 3000000000);
  EXPECT_EQ(back->cut, memo.cut);
  EXPECT_EQ(back->files, memo.files);
  EXPECT_EQ(back->content, memo.content);
  // The files it names are not there: nothing is in place.
  EXPECT_FALSE(cut_files_in_place(dir(), *back));

  // Cut short, one line damaged, or more after its end: no memo at all.
  const std::string text = slurp(path("reference_memo.txt"));
  for (const std::string& damaged :
       {text.substr(0, text.size() / 2), text.substr(0, text.size() - 4),
        std::string(text).replace(text.find("sequence 9"), 10, "sequence ?"),
        std::string(text).replace(text.find("66ff"), 4, "66f"), text + "file 1\n"}) {
    spit(path("reference_memo.txt"), damaged);
    EXPECT_FALSE(read_reference_memo(dir())) << damaged;
  }
  forget_reference_memo(dir());
  EXPECT_FALSE(read_reference_memo(dir()));
}

TEST(TaskAssignment, GreedyLargestFirstToLeastLoaded) {
  EXPECT_EQ(assign_segments({0, 1.0, 1.0, 0.5}, 2), (std::vector<int>{0, 1, 0}));
  // Ties: equal weights go in segment order, equal loads to the lowest process.
  EXPECT_EQ(assign_segments({0, 0.5, 1.0, 0.5, 0.5}, 2), (std::vector<int>{1, 0, 1, 0}));
  // More processes than segments; a weightless segment goes to nobody.
  EXPECT_EQ(assign_segments({0, 1.0, 0.0, 1.0}, 5), (std::vector<int>{0, -1, 1}));
  EXPECT_EQ(assign_segments({0}, 3), std::vector<int>{});
}

class TaskFiles : public test::TempDirTest {};

TEST_F(TaskFiles, WeightsMeasureTheLastSegmentAgainstAFullOne) {
  spit(path("task.txt"), "1 13 13\n2 5 5\n");
  std::vector<double> w = segment_weights(dir(), 2);
  EXPECT_DOUBLE_EQ(w[1], 1.0);
  EXPECT_DOUBLE_EQ(w[2], 5.0 / 13.0);
  spit(path("task.txt"), "1 8 2\n");
  EXPECT_DOUBLE_EQ(segment_weights(dir(), 1)[1], 0.25);
  spit(path("task.txt"), "1 0 0\n");
  EXPECT_EQ(segment_weights(dir(), 1)[1], 0.0);
  task_fenpei(dir(), 1, 2);
  EXPECT_EQ(slurp(path("taskmpi.txt")), "-1 ");
  task_fenpei(dir(), 0, 2);
  EXPECT_EQ(slurp(path("taskmpi.txt")), "");
}

class ReadNumbering : public test::TempDirTest {
 protected:
  ReadPreparation number(const std::string& name, int max_read_length = 10000) {
    InputFile in(path(name));
    return chang_fastqfile(in, dir(), max_read_length);
  }
  int count(const std::string& name) { return number(name).read_count; }
};

TEST_F(ReadNumbering, NumbersReadsAndTakesTheirBasesInUpperCase) {
  // Lower-case bases are letters, not masking: on the plain path, on the
  // word-by-word one (CR LF) and in a read longer than a piece of the scan.
  const std::string long_read(5000, 'g');
  spit(path("r.fq"), "@r1 with blanks\tand tabs\nACGT\n+\nIIII\n@r2\nNNac\n+r2\n!!!!\n@r3\n" +
                         long_read + "\n+\n" + std::string(5000, 'I') +
                         "\n@r4\r\nacgt.n\r\n+\r\nIIIIII\r\n");
  EXPECT_EQ(count("r.fq"), 4);
  EXPECT_EQ(slurp(path("0.fastq")),
            "1\tACGT\n2\tNNAC\n3\t" + std::string(5000, 'G') + "\n4\tACGT.N\n");
}

TEST_F(ReadNumbering, IrregularRecordsReadTheSameAsPlainOnes) {
  // CR LF line ends, blank lines between records and trailing blanks take the
  // word-by-word path; the plain records around them do not.
  spit(path("r.fq"),
       "@a\nACGT\n+\nIIII\n@b\r\nCCCC\r\n+\r\nIIII\r\n\n\n@c\nGGTT \n+\nIIII\n"
       "@d\nAAAA\n+\nIIII\n");
  EXPECT_EQ(count("r.fq"), 4);
  EXPECT_EQ(slurp(path("0.fastq")), "1\tACGT\n2\tCCCC\n3\tGGTT\n4\tAAAA\n");
}

TEST_F(ReadNumbering, EmptyCutShortAndCompressedDatasets) {
  spit(path("empty.fq"), "");
  testing::internal::CaptureStderr();
  EXPECT_EQ(count("empty.fq"), 0);
  EXPECT_NE(
      testing::internal::GetCapturedStderr().find("'" + path("empty.fq") + "' holds no reads"),
      std::string::npos);
  EXPECT_EQ(slurp(path("0.fastq")), "");

  spit(path("cut.fq"), "@r1\nACGT\n+\nIIII\n@r2\nACGT\n");
  testing::internal::CaptureStderr();
  EXPECT_EQ(count("cut.fq"), 1);
  EXPECT_NE(testing::internal::GetCapturedStderr().find("cut.fq"), std::string::npos);

  const std::string text = "@a\nACGT\n+\nIIII\n@b\nTTTT\n+\nIIII\n";
  gzFile gz = gzopen(path("r.fq.gz").c_str(), "wb");
  gzwrite(gz, text.data(), static_cast<unsigned>(text.size()));
  gzclose(gz);
  EXPECT_EQ(count("r.fq.gz"), 2);
  EXPECT_EQ(slurp(path("0.fastq")), "1\tACGT\n2\tTTTT\n");
}

TEST_F(ReadNumbering, ReadsOfLengthZeroKeepTheirNumbersButStayOutOfTheReadFile) {
  // Between plain records, with CR LF, and last in the file without its
  // empty quality line.
  spit(path("r.fq"),
       "@a\nACGT\n+\nIIII\n@e1\n\n+\n\n@b\nCC\n+\nII\n@e2\r\n\r\n+e2\r\n\r\n"
       "@c\nGG\n+\nII\n@e3\n\n+\n");
  const ReadPreparation reads = number("r.fq");
  EXPECT_EQ(reads.read_count, 6);
  EXPECT_EQ(reads.empty_reads, 3);
  EXPECT_EQ(slurp(path("0.fastq")), "1\tACGT\n3\tCC\n5\tGG\n");
}

TEST_F(ReadNumbering, QualityThatDoesNotFitTheSequenceNamesTheRecord) {
  const std::pair<std::string, std::string> cases[] = {
      {"@a\nACGT\n+\nIIII\n@b\nACGT\n+\nIII\n@c\nA\n+\nI\n", "record 2 has 3 quality values for 4"},
      {"@a\r\nACGT\r\n+\r\nIIIII\r\n", "record 1 has 5 quality values for 4"},
      {"@a\nA\n+\nI\n@e\n\n+\nII\n@b\nA\n+\nI\n", "record 2 has 2 quality values for 0"},
  };
  for (const auto& [text, words] : cases) {
    spit(path("r.fq"), text);
    try {
      number("r.fq");
      ADD_FAILURE() << "no error for " << text;
    } catch (const InputError& e) {
      EXPECT_NE(std::string(e.what()).find("r.fq': FASTQ " + words), std::string::npos) << e.what();
    }
  }
}

TEST_F(ReadNumbering, ReadsLongerThanTheMaximumAreCountedAndNamed) {
  spit(path("r.fq"), "@a\n" + std::string(100, 'A') + "\n+\n" + std::string(100, 'I') + "\n@b\n" +
                         std::string(150, 'C') + "\n+\n" + std::string(150, 'I') + "\n@c\n" +
                         std::string(101, 'G') + "\n+\n" + std::string(101, 'I') + "\n");
  testing::internal::CaptureStderr();
  const ReadPreparation reads = number("r.fq", 100);
  const std::string err = testing::internal::GetCapturedStderr();
  EXPECT_EQ(reads.long_reads, 2);
  EXPECT_EQ(reads.longest, 150);
  EXPECT_NE(err.find("2 reads of '" + path("r.fq") +
                     "' are longer than -L100 (the longest has 150 "
                     "bases)"),
            std::string::npos)
      << err;
  EXPECT_NE(err.find("use -L150"), std::string::npos) << err;
  testing::internal::CaptureStderr();
  EXPECT_EQ(number("r.fq", 150).long_reads, 0);
  EXPECT_EQ(testing::internal::GetCapturedStderr(), "");
}

class MateNumbering : public test::TempDirTest {
 protected:
  // Numbers "1.fq" with "2.fq" as its mates; the error text, or "" when none.
  std::string number(const std::string& first, const std::string& second, bool check = true) {
    spit(path("1.fq"), first);
    spit(path("2.fq"), second);
    InputFile in(path("1.fq"));
    InputFile mates(path("2.fq"));
    try {
      chang_fastqfile(in, dir(), 100, {&mates, check});
    } catch (const InputError& e) {
      return e.what();
    }
    return "";
  }
};

TEST_F(MateNumbering, MatesAreNumberedInterleavedWithTheirNamesCompared) {
  // Names agree without /1 and /2 and without their comments; a mate of
  // length 0 keeps its number; plain and irregular records mix.
  EXPECT_EQ(number("@p1/1 a\nAAAA\n+\nIIII\n@p2/1\r\nCCCC\r\n+\r\nIIII\r\n@p3\n\n+\n\n",
                   "@p1/2 b\nTTTT\n+\nIIII\n@p2/2\nGGGG\n+\nIIII\n@p3\nACGT\n+\nIIII\n"),
            "");
  EXPECT_EQ(slurp(path("0.fastq")), "1\tAAAA\n2\tTTTT\n3\tCCCC\n4\tGGGG\n6\tACGT\n");
  EXPECT_EQ(mate_name("@read7/1 comment"), "read7");
  EXPECT_EQ(mate_name("@read7/3"), "read7/3");
}

TEST_F(MateNumbering, MatesThatDoNotPairAreRefusedNamingThePair) {
  const std::string one = "@a/1\nAAAA\n+\nIIII\n";
  const std::string two = one + "@b/1\nCCCC\n+\nIIII\n";
  const std::string mate_a = "@a/2\nTTTT\n+\nIIII\n";
  EXPECT_NE(number(two, mate_a)
                .find("different numbers of reads: '" + path("2.fq") + "' ends after 1 records, '" +
                      path("1.fq") + "' holds more"),
            std::string::npos);
  EXPECT_NE(
      number(one, mate_a + "@b/2\nTTTT\n+\nIIII\n").find("'" + path("1.fq") + "' ends after 1"),
      std::string::npos);
  // A last record cut short in one file would drop half a pair.
  EXPECT_NE(number(two, mate_a + "@b/2\nTTTT\n")
                .find("'" + path("2.fq") + "': the last record (record 2) is cut short"),
            std::string::npos);
  const std::string renamed = "@x/2\nTTTT\n+\nIIII\n";
  EXPECT_NE(number(one, renamed).find("mates of pair 1 have different names: 'a' in"),
            std::string::npos);
  EXPECT_EQ(number(one, renamed, false), "");
  EXPECT_EQ(slurp(path("0.fastq")), "1\tAAAA\n2\tTTTT\n");
}

}  // namespace
}  // namespace quilm
