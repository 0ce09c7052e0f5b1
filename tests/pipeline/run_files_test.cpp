#include "pipeline/run_files.hpp"

#include <sys/stat.h>
#include <unistd.h>

#include <filesystem>

#include "common/errors.hpp"
#include "support/test_support.hpp"

namespace quilm {
namespace {

using test::spit;

TEST(WorkFileNames, EveryNumberedAndFixedNameTheRunWrites) {
  for (const char* name : {"0.fastq",          "14.fastq",
                           "6.fastq",          "1.txt",
                           "123.txt",          "7.r",
                           "3.r.part0",        "3.r.part12",
                           "splice0.fastq",    "fast_index.txt",
                           "task.txt",         "taskmpi.txt",
                           "sliceplan.txt",    "index_store.txt",
                           "quilm2.tmp",       "splice.tmp",
                           "pairs.txt",        "rescue0.fastq",
                           "rescue_hints.txt", "rescue_junctions.txt",
                           "run.lock",         "reference_memo.txt"})
    EXPECT_TRUE(is_work_file_name(name)) << name;
  for (const char* name : {"reads.fastq", "1.txt.gz", "x1.txt", ".txt", "1.fq", "1.r.part",
                           "1.r.partx", "1.r.part2x", "-1.txt", "genome.fa", "index", "0.fastq~"})
    EXPECT_FALSE(is_work_file_name(name)) << name;
  EXPECT_TRUE(is_index_store_file_name("seg-00ff-L14-full-m1.idx"));
  EXPECT_TRUE(is_index_store_file_name("segment-12-m1.sha256"));
  EXPECT_FALSE(is_index_store_file_name("reads.fq"));
}

class RunFilesTest : public test::TempDirTest {
 protected:
  void SetUp() override {
    TempDirTest::SetUp();
    std::filesystem::create_directory(path("work"));
    spit(path("ref.fa"), ">c\nACGT\n");
    spit(path("reads.fq"), "@r\nACGT\n+\nIIII\n");
    o_.config.ref_path = path("ref.fa");
    o_.dataset_path = path("reads.fq");
    o_.config.output_path = path("run");
    o_.config.work_folder = path("work");
  }
  std::string refusal(DriverKind kind = DriverKind::kSplice) {
    try {
      refuse_inputs_the_run_writes(kind, o_);
    } catch (const UsageError& e) {
      return e.what();
    }
    return "";
  }
  DriverOptions o_;
};

TEST_F(RunFilesTest, InputsApartFromTheRunsFilesPass) {
  spit(path("work/reads.fq"), "@r\nACGT\n+\nIIII\n");
  spit(path("work/1.txt"), "an earlier segment\n");
  o_.dataset_path = path("work/reads.fq");
  EXPECT_EQ(refusal(), "");
  o_.dataset_path.assign(1, '-');  // standard input
  EXPECT_EQ(refusal(DriverKind::kMappingOnly), "");
}

TEST_F(RunFilesTest, AnInputNamedAsAWorkFileInTheWorkFolderIsRefused) {
  // Not there yet, or a pipe: the run would still write that name.
  ASSERT_EQ(::mkfifo(path("work/12.fastq").c_str(), 0600), 0);
  o_.dataset_path = path("work/12.fastq");
  EXPECT_EQ(refusal(), "option -W ('" + path("work") + "/12.fastq') names the file of -D ('" +
                           path("work/12.fastq") + "'), which the run would overwrite");
  // Through a link from outside the folder, and through another spelling.
  spit(path("work/3.txt"), ">c\nACGT\n");
  std::filesystem::create_symlink(path("work/3.txt"), path("seg.fa"));
  o_.dataset_path = path("reads.fq");
  o_.config.ref_path = path("seg.fa");
  EXPECT_NE(refusal().find("names the file of -R ('" + path("seg.fa") + "')"), std::string::npos);
  o_.config.ref_path = path("work/../work/3.txt");
  EXPECT_NE(refusal().find("names the file of -R"), std::string::npos);
}

TEST_F(RunFilesTest, AHardLinkInTheWorkFolderOrTheStoreIsRefused) {
  ASSERT_EQ(::link(path("reads.fq").c_str(), path("work/0.fastq").c_str()), 0);
  EXPECT_EQ(refusal(), "option -W ('" + path("work") + "/0.fastq') names the file of -D ('" +
                           path("reads.fq") + "'), which the run would overwrite");
  std::filesystem::remove(path("work/0.fastq"));
  std::filesystem::create_directory(path("store"));
  ASSERT_EQ(::link(path("ref.fa").c_str(), path("store/seg-ab-L14-full-m1.idx").c_str()), 0);
  o_.index_store = path("store");
  EXPECT_NE(refusal().find("option --index-store ('" + path("store") + "/seg-ab"),
            std::string::npos);
  o_.index_store_off = true;
  EXPECT_EQ(refusal(), "");
}

TEST_F(RunFilesTest, OutputsOfEitherDriverAgainstEveryInput) {
  spit(path("known.gtf"), "c\tx\texon\t1\t4\t.\t+\t.\ttranscript_id \"t\";\n");
  o_.mates_path = path("mates.fq");
  spit(path("mates.fq"), "@r\nACGT\n+\nIIII\n");
  o_.rescue.enabled = true;
  o_.rescue.junctions_path = path("known.gtf");
  EXPECT_EQ(refusal(), "");
  o_.bam_export.path = path("known.gtf");
  EXPECT_NE(
      refusal().find("option --bam ('" + path("known.gtf") + "') names the file of --junctions"),
      std::string::npos);
  // The export's index, or a stale one it removes.
  o_.bam_export.path = path("x.bam");
  ASSERT_EQ(::link(path("mates.fq").c_str(), path("x.bam.crai").c_str()), 0);
  EXPECT_NE(refusal().find("names the file of --mates"), std::string::npos);
  o_.bam_export.path.clear();
  o_.config.output_path = path("mates.fq");  // the mapping-only driver writes -O itself
  EXPECT_EQ(refusal(), "");
  EXPECT_NE(refusal(DriverKind::kMappingOnly).find("option -O ('" + path("mates.fq") + "')"),
            std::string::npos);
  o_.config.output_path = path("ref");
  std::filesystem::rename(path("ref.fa"), path("ref-rescue"));
  o_.config.ref_path = path("ref-rescue");
  EXPECT_NE(refusal().find("names the file of -R"), std::string::npos);
  // Without --rescue the run still removes an earlier run's rescue file.
  o_.rescue = {};
  EXPECT_NE(refusal().find("names the file of -R"), std::string::npos);
  std::filesystem::rename(path("ref-rescue"), path("ref-run"));
  o_.config.ref_path = path("ref-run");
  EXPECT_NE(refusal().find("option -O ('" + path("ref-run") + "')"), std::string::npos);
  std::filesystem::rename(path("ref-run"), path("ref.config"));
  o_.config.ref_path = path("ref.config");
  EXPECT_NE(refusal(DriverKind::kMappingOnly).find("option -O ('" + path("ref.config") + "')"),
            std::string::npos);
}

}  // namespace
}  // namespace quilm
