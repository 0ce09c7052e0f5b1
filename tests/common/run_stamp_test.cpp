#include "common/run_stamp.hpp"

#include <zlib.h>

#include "common/errors.hpp"
#include "support/test_support.hpp"

namespace quilm {
namespace {

using test::slurp;
using test::spit;

class RunStampTest : public test::TempDirTest {
 protected:
  void write_gzip(const std::string& name, const std::string& text) {
    gzFile gz = gzopen(path(name).c_str(), "wb");
    ASSERT_NE(gz, nullptr);
    ASSERT_EQ(gzwrite(gz, text.data(), static_cast<unsigned>(text.size())),
              static_cast<int>(text.size()));
    gzclose(gz);
  }
};

// Contents, not files, are hashed: one byte anywhere (also in the tail that
// fills no whole block, and across block reads) tells them apart, a gzip
// copy does not.
TEST_F(RunStampTest, ContentHashTellsContentsApartAndSeesThroughGzip) {
  std::string text;
  for (int i = 0; i < 100000; ++i) text += "ACGT"[(i * 7 + i / 13) % 4];
  spit(path("a.fa"), text);
  write_gzip("a.fa.gz", text);
  const ContentHash plain = content_hash(path("a.fa"));
  EXPECT_EQ(plain.bytes, 100000);
  EXPECT_EQ(plain.hex.size(), 16u);
  EXPECT_EQ(content_hash(path("a.fa.gz")), plain);
  EXPECT_EQ(content_hash_of_bytes(text), plain);
  for (const std::size_t at :
       {std::size_t{0}, std::size_t{31}, std::size_t{50000}, text.size() - 1}) {
    std::string other = text;
    other[at] = other[at] == 'A' ? 'C' : 'A';
    EXPECT_NE(content_hash_of_bytes(other).hex, plain.hex) << at;
  }
  // Padding the tail with zeros is not the same content.
  EXPECT_NE(content_hash_of_bytes(std::string("AC")).hex,
            content_hash_of_bytes(std::string("AC\0", 3)).hex);
  EXPECT_THROW(content_hash(path("missing.fa")), IoError);
}

TEST_F(RunStampTest, StampRoundTripsAndRefusesAChangedOrMalformedFile) {
  spit(path("ref.fa"), ">c\nACGT\n");
  spit(path("reads.fq"), "@r\nACGT\n+\nIIII\n");
  RunConfig config;
  config.read_count = 1;
  RunStamp stamp =
      make_run_stamp(path("ref.fa"), path("reads.fq"), "", 1, stamped_parameters(config));
  EXPECT_EQ(stamp.reference.hash, content_hash(path("ref.fa")));
  EXPECT_FALSE(stamp.mates);
  write_run_stamp(path("out-run"), stamp);
  const std::optional<RunStamp> back = read_run_stamp(path("out-run"));
  ASSERT_TRUE(back);
  EXPECT_EQ(run_number(*back), run_number(stamp));
  EXPECT_EQ(back->dataset.path, path("reads.fq"));
  EXPECT_EQ(back->reads, 1);

  EXPECT_FALSE(read_run_stamp(path("none-run")));
  std::string text = slurp(path("out-run"));
  text.replace(text.find("reads\t1"), 7, "reads\t2");
  spit(path("changed-run"), text);
  EXPECT_THROW(read_run_stamp(path("changed-run")), InputError);
  spit(path("bad-run"), "run\t0123456789abcdef\nsomething\telse\n");
  EXPECT_THROW(read_run_stamp(path("bad-run")), InputError);
}

// The process count and the paths change no result, so they leave the
// run number alone; every value that shapes the results changes it.
TEST_F(RunStampTest, ParametersLeaveOutProcessesAndPaths) {
  RunConfig a;
  RunConfig b = a;
  b.cpu_cores = 7;
  b.work_folder = "elsewhere";
  b.output_path = "other";
  b.ref_path = "copy.fa";
  EXPECT_EQ(stamped_parameters(a), stamped_parameters(b));
  b.max_errors = 3;
  EXPECT_NE(stamped_parameters(a), stamped_parameters(b));
  RunConfig c = a;
  c.splice_seed_length = 12;
  EXPECT_NE(stamped_parameters(a), stamped_parameters(c));
}

}  // namespace
}  // namespace quilm
