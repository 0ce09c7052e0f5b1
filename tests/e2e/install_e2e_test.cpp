// The installed programs: `cmake --install` from the build tree into a
// fresh prefix, the bundled example run from another folder through PATH
// (workers found in <prefix>/libexec/quilm2, also by an MPI launcher), and a
// manual page for every program that names every option of its --help; the
// Debian package of the same files, unpacked into a folder and run there.
#include <filesystem>
#include <regex>
#include <sstream>

#include "support/test_support.hpp"

namespace quilm {
namespace {

const std::vector<std::string> kUserPrograms = {"quilm2splice", "quilm2",  "quilm2sam",
                                                "annoprep",     "refjunc", "tailfetch"};
const std::vector<std::string> kWorkers = {"quilm_x", "junctor", "quilm_rescue"};
const char* const kOutputs[] = {"-quilm2high",  "-quilm2low",  "-quilm2mutil",
                                "-splice-high", "-splice-low", "-splice-mutil"};

// The options an --help text lists: the first word of each option line
// ("-R<FASTA>" gives "-R", "--mates=<file>" gives "--mates", "-o <output>"
// gives "-o").
std::vector<std::string> help_options(const std::string& help) {
  std::vector<std::string> options;
  std::istringstream in(help);
  const std::regex option_line(R"(^  (--?[A-Za-z][A-Za-z0-9-]*))");
  std::smatch m;
  for (std::string line; std::getline(in, line);) {
    if (!std::regex_search(line, m, option_line)) continue;
    std::string name = m[1];
    if (!name.starts_with("--")) name = name.substr(0, 2);
    options.push_back(name);
  }
  return options;
}

// What a reader of the page sees as a dash is written "\-" in it.
std::string as_roff(const std::string& text) {
  std::string out;
  for (char c : text) out += c == '-' ? std::string("\\-") : std::string(1, c);
  return out;
}

class Installed : public test::TempDirTest {
 protected:
  std::string prefix() const { return path("prefix"); }
  void install() {
    const test::RunResult r = test::run_program_in(
        dir(), QUILM_CMAKE_COMMAND, {"--install", QUILM_BUILD_DIR, "--prefix", prefix()});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
  }
  // Runs a shell command in `folder` with only the prefix's bin and the
  // system's folders on PATH.
  test::RunResult shell(const std::string& folder, const std::string& command) {
    const std::string script = path("run.sh");
    test::write_script(script,
                       "PATH='" + prefix() + "/bin':/usr/bin:/bin\nexport PATH\n" + command + "\n");
    return test::run_program_in(folder, script, {});
  }
};

TEST_F(Installed, ProgramsPagesAndDocumentsLandInTheirFolders) {
  install();
  for (const auto& p : kUserPrograms) {
    EXPECT_TRUE(test::file_exists(prefix() + "/bin/" + p)) << p;
    EXPECT_TRUE(test::file_exists(prefix() + "/share/man/man1/" + p + ".1")) << p;
  }
  for (const auto& p : kWorkers) {
    EXPECT_TRUE(test::file_exists(prefix() + "/libexec/quilm2/" + p)) << p;
    EXPECT_FALSE(test::file_exists(prefix() + "/bin/" + p)) << p;
    EXPECT_TRUE(test::file_exists(prefix() + "/share/man/man1/" + p + ".1")) << p;
  }
  for (const char* doc : {"README.md", "LICENSE", "CHANGELOG.md", "docs/outputs.md"})
    EXPECT_TRUE(test::file_exists(prefix() + "/share/doc/quilm2/" + doc)) << doc;
}

TEST_F(Installed, EveryManualPageNamesEveryOptionOfItsHelp) {
  install();
  std::vector<std::pair<std::string, std::string>> programs;
  for (const auto& p : kUserPrograms) programs.emplace_back(p, prefix() + "/bin/" + p);
  for (const auto& p : kWorkers) programs.emplace_back(p, prefix() + "/libexec/quilm2/" + p);
  for (const auto& [name, program] : programs) {
    const test::RunResult help = test::run_program_in(dir(), program, {"--help"});
    ASSERT_EQ(help.status, 0) << name;
    const std::string page = test::slurp(prefix() + "/share/man/man1/" + name + ".1");
    for (const char* section :
         {".SH NAME\n", ".SH SYNOPSIS\n", ".SH DESCRIPTION\n", ".SH OPTIONS\n"})
      EXPECT_NE(page.find(section), std::string::npos) << name << " " << section;
    EXPECT_NE(page.find(".SH NAME\n" + as_roff(name) + " \\- "), std::string::npos) << name;
    const auto options = help_options(help.out);
    EXPECT_GE(options.size(), 2u) << name;  // --help and --version at least
    for (const std::string& option : options)
      EXPECT_NE(page.find(".B " + as_roff(option)), std::string::npos) << name << " " << option;
  }
}

TEST_F(Installed, TheExampleRunsThroughPathFromAnotherFolderAsInTheBuildTree) {
  install();
  const std::string ref = test::source_path("examples/genome.fa");
  const std::string reads = test::source_path("examples/reads.fq.gz");
  const std::string args = " -R'" + ref + "' -D'" + reads + "' -Oresult -Wwork -C2";
  std::filesystem::create_directories(path("elsewhere"));
  const test::RunResult installed =
      shell(path("elsewhere"), "quilm2splice" + args + " --bam=result.bam");
  ASSERT_EQ(installed.status, 0) << installed.err;
  EXPECT_TRUE(test::file_exists(path("elsewhere/result.bam")));
  EXPECT_TRUE(test::file_exists(path("elsewhere/result.bam.bai")));

  std::filesystem::create_directories(path("tree"));
  const test::RunResult tree =
      test::run_program_in(path("tree"), test::program_path("quilm2splice"),
                           {"-R" + ref, "-D" + reads, "-Oresult", "-Wwork", "-C2"});
  ASSERT_EQ(tree.status, 0) << tree.err;
  for (const char* suffix : kOutputs)
    EXPECT_EQ(test::slurp(path(std::string("elsewhere/result") + suffix)),
              test::slurp(path(std::string("tree/result") + suffix)))
        << suffix;
}

// A launcher named in mpipathway.txt is handed the installed workers' paths;
// this one records its arguments and runs the ranks one after the other.
TEST_F(Installed, AnMpiLauncherIsGivenTheInstalledWorkers) {
  install();
  std::filesystem::create_directories(path("mpi"));
  test::write_script(path("mpi/launcher.sh"),
                     "echo \"$*\" >> launcher.log\n"
                     "n=$2; shift 2; rank=0\n"
                     "while [ $rank -lt $n ]; do\n"
                     "  OMPI_COMM_WORLD_RANK=$rank \"$@\" || exit 1\n"
                     "  rank=$((rank + 1))\n"
                     "done\n");
  test::spit(path("mpi/mpipathway.txt"), path("mpi/launcher.sh") + "\n");
  const test::RunResult r =
      shell(path("mpi"), "quilm2 -R'" + test::source_path("examples/genome.fa") + "' -D'" +
                             test::source_path("examples/reads.fq.gz") + "' -Ohits -Wwork -C2");
  ASSERT_EQ(r.status, 0) << r.err;
  const std::string log = test::slurp(path("mpi/launcher.log"));
  EXPECT_NE(log.find("-n 2 " + prefix() + "/libexec/quilm2/quilm_x 14"), std::string::npos) << log;
}

// The package is unpacked rather than installed, so the test needs no root
// and leaves the machine as it was; the programs are relocatable, so the
// unpacked /usr works as the installed one does.
TEST_F(Installed, TheDebianPackageNamesItsLibrariesAndItsExampleRunsUnpacked) {
  if (!test::on_path("dpkg-deb")) GTEST_SKIP() << "dpkg-deb is not on the PATH";
  const test::RunResult pack =
      test::run_program_in(dir(), QUILM_CPACK_COMMAND,
                           {"--config", std::string(QUILM_BUILD_DIR) + "/CPackConfig.cmake", "-G",
                            "DEB", "-B", path("package")});
  ASSERT_EQ(pack.status, 0) << pack.out << pack.err;
  std::string deb;
  for (const auto& entry : std::filesystem::directory_iterator(path("package")))
    if (entry.path().extension() == ".deb") deb = entry.path();
  ASSERT_FALSE(deb.empty()) << pack.out;

  const test::RunResult fields = test::run_program_in(dir(), "/usr/bin/dpkg-deb", {"-f", deb});
  ASSERT_EQ(fields.status, 0) << fields.err;
  for (const char* library : {"libhts", "zlib1g", "libssl", "libstdc++6"})
    EXPECT_NE(fields.out.find(library), std::string::npos) << library << "\n" << fields.out;

  const test::RunResult unpack =
      test::run_program_in(dir(), "/usr/bin/dpkg-deb", {"-x", deb, prefix()});
  ASSERT_EQ(unpack.status, 0) << unpack.err;
  const std::string usr = prefix() + "/usr";
  EXPECT_TRUE(test::file_exists(usr + "/libexec/quilm2/quilm_rescue"));
  EXPECT_TRUE(test::file_exists(usr + "/share/man/man1/quilm2splice.1"));
  const std::string examples = usr + "/share/doc/quilm2/examples/";
  std::filesystem::create_directories(path("run"));
  const std::string script = path("run.sh");
  test::write_script(
      script, "PATH='" + usr + "/bin':/usr/bin:/bin\nexport PATH\n" + "quilm2splice -R'" +
                  examples + "genome.fa' -D'" + examples +
                  "reads.fq.gz' -Oresult -Wwork -C2 --bam=result.bam --annotation='" + examples +
                  "genes.gtf' --gene-counts=genes.tsv\n");
  const test::RunResult run = test::run_program_in(path("run"), script, {});
  ASSERT_EQ(run.status, 0) << run.err;
  EXPECT_TRUE(test::file_exists(path("run/result.bam.bai")));
  EXPECT_TRUE(test::file_exists(path("run/genes.tsv")));
}

}  // namespace
}  // namespace quilm
