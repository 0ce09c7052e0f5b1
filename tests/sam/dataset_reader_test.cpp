#include "sam/dataset_reader.hpp"

#include <string>

#include "common/errors.hpp"
#include "support/test_support.hpp"

namespace quilm::sam {
namespace {

class DatasetReaderTest : public test::TempDirTest {};

TEST_F(DatasetReaderTest, DatasetBasesComeInUpperCaseAsTheRunMappedThem) {
  test::spit(path("r.fq"), "@a\nacgtn\n+\nIIIII\n@b\r\nAcGt.\r\n+\r\nIIIII\r\n");
  DatasetReader reader(path("r.fq"));
  DatasetRead read;
  ASSERT_TRUE(reader.next(read));
  EXPECT_EQ(read.sequence, "ACGTN");
  ASSERT_TRUE(reader.next(read));
  EXPECT_EQ(read.sequence, "ACGT.");
}

TEST_F(DatasetReaderTest, DatasetRecordsAreCountedAsTheRunCountsThem) {
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

}  // namespace
}  // namespace quilm::sam
