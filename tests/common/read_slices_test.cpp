// Reading a numbered read file: its records, and its slices, cut at line
// starts only, so that the slices of one count hold every record exactly
// once, in file order.
#include <zlib.h>

#include <cstdint>

#include "common/errors.hpp"
#include "common/numbered_reads.hpp"
#include "support/test_support.hpp"

namespace quilm {
namespace {

using test::spit;

class ReadSlicesTest : public test::TempDirTest {
 protected:
  std::vector<std::string> records(const std::string& name, ReadSlice slice) {
    NumberedReadReader reader(path(name), slice);
    std::vector<std::string> out;
    for (NumberedRead r; reader.next(r);)
      out.push_back(std::to_string(r.number) + ":" + r.sequence);
    return out;
  }
};

// The slice of each record by the rule itself: the one whose nominal range
// [j * size / m, (j + 1) * size / m) holds the start of the record's line.
std::vector<std::vector<std::string>> expected_slices(const std::string& text, int m) {
  std::vector<std::vector<std::string>> slices(m);
  const std::uint64_t size = text.size();
  std::size_t at = 0;
  while (at < text.size()) {
    std::size_t end = text.find('\n', at);
    if (end == std::string::npos) end = text.size();
    const std::string line = text.substr(at, end - at);
    const std::size_t tab = line.find('\t');
    if (tab != std::string::npos) {
      std::size_t first = line.find_first_not_of(" ");
      int j = m - 1;
      while (j > 0 && at < size * j / m) --j;
      std::string seq = line.substr(tab + 1);
      if (!seq.empty() && seq.back() == '\r') seq.pop_back();
      slices[j].push_back(line.substr(first, tab - first) + ":" + seq);
    }
    at = end + 1;
  }
  return slices;
}

TEST_F(ReadSlicesTest, EveryRecordLiesInTheSliceWhereItsLineStarts) {
  const std::vector<std::string> files = {
      "",
      "1\tA\n",
      "1\tACGT\n2\tAC\n3\tACGTACGTAC\n4\tA\n5\tACG\n",
      // Equal lines of 8 bytes: with 2, 4 or 8 slices every cut falls
      // exactly on a line start.
      "1\tACGTA\n2\tCCGTA\n3\tGCGTA\n4\tTCGTA\n5\tACGTT\n6\tACGTG\n7\tACGTC\n8\tAAAAA\n",
      "1\tACGT\n2\tAC\n3\tACGTACGTAC",  // no line feed at the end
      "\n\n1\tACGT\r\n\n 2\tAC\n\n3\tACGTACGT\n\n",
  };
  for (std::size_t f = 0; f < files.size(); ++f) {
    spit(path("reads"), files[f]);
    const std::vector<std::string> whole = records("reads", {});
    for (int m = 1; m <= 12; ++m) {
      const auto expected = expected_slices(files[f], m);
      std::vector<std::string> joined;
      for (int j = 0; j < m; ++j) {
        const std::vector<std::string> got = records("reads", {j, m});
        EXPECT_EQ(got, expected[j]) << "file " << f << ", slice " << j << " of " << m;
        joined.insert(joined.end(), got.begin(), got.end());
      }
      EXPECT_EQ(joined, whole) << "file " << f << ", " << m << " slices";
    }
  }
}

TEST_F(ReadSlicesTest, CompressedFilesAreStillCutIntoDisjointSlices) {
  std::string text;
  for (int i = 1; i <= 300; ++i) text += std::to_string(i) + "\tACGTACGTTGCA\n";
  gzFile gz = gzopen(path("reads.gz").c_str(), "wb");
  ASSERT_NE(gz, nullptr);
  gzwrite(gz, text.data(), static_cast<unsigned>(text.size()));
  gzclose(gz);
  const std::vector<std::string> whole = records("reads.gz", {});
  ASSERT_EQ(whole.size(), 300u);
  for (int m : {2, 3, 7}) {
    std::vector<std::string> joined;
    for (int j = 0; j < m; ++j) {
      auto got = records("reads.gz", {j, m});
      joined.insert(joined.end(), got.begin(), got.end());
    }
    EXPECT_EQ(joined, whole) << m;
  }
}

TEST_F(ReadSlicesTest, BadRecordsAndSlicesAreReported) {
  spit(path("reads"), "1\tACGT\n2\tAC\n4\tA\nthree\tACGT\n");
  EXPECT_THROW(records("reads", {3, 3}), UsageError);
  EXPECT_THROW(records("reads", {0, 0}), UsageError);
  EXPECT_THROW(records("missing", {0, 2}), IoError);
  try {
    records("reads", {1, 2});
    FAIL() << "no error";
  } catch (const InputError& e) {
    EXPECT_NE(std::string(e.what()).find("slice 2 of 2"), std::string::npos) << e.what();
  }
}

TEST_F(ReadSlicesTest, NumberedReadsSkipBlanksAndRejectGarbage) {
  test::spit(path("r.fastq"), "1\tACGT\n2\tNNNN\n\n3\tacgt");
  NumberedReadReader reader(path("r.fastq"));
  NumberedRead r;
  std::vector<std::string> seqs;
  while (reader.next(r)) seqs.push_back(std::to_string(r.number) + ":" + r.sequence);
  EXPECT_EQ(seqs, (std::vector<std::string>{"1:ACGT", "2:NNNN", "3:acgt"}));

  test::spit(path("bad.fastq"), "1\tACGT\nx\tAC\n");
  NumberedReadReader bad(path("bad.fastq"));
  ASSERT_TRUE(bad.next(r));
  EXPECT_THROW(bad.next(r), InputError);
}

}  // namespace
}  // namespace quilm
