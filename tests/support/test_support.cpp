#include "support/test_support.hpp"

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/wait.h>
#include <termios.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <sstream>

namespace quilm::test {

std::string program_path(const std::string& name) {
  return std::string(QUILM_BIN_DIR) + "/" + name;
}

std::string source_path(const std::string& relative) {
  return std::string(QUILM_SOURCE_DIR) + "/" + relative;
}

std::string slurp(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  if (!in) ADD_FAILURE() << "cannot read " << path;
  std::ostringstream text;
  text << in.rdbuf();
  return text.str();
}

void spit(const std::string& path, const std::string& text) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  out << text;
  if (!out) ADD_FAILURE() << "cannot write " << path;
}

bool file_exists(const std::string& path) {
  return std::filesystem::exists(path);
}

std::string without_times(const std::string& config) {
  std::istringstream in(config);
  std::string out;
  for (std::string l; std::getline(in, l);)
    out += (l.find("Time") == std::string::npos ? l : l.substr(0, l.rfind(':'))) + "\n";
  return out;
}

namespace {

// Forks a child that runs the program in the folder with the given standard
// output and error (stdin from /dev/null); returns its pid.
pid_t spawn_in(const std::string& folder, const std::string& program,
               const std::vector<std::string>& args, int out_fd, int err_fd) {
  pid_t pid = fork();
  if (pid == 0) {
    int null_fd = open("/dev/null", O_RDWR);
    dup2(null_fd, 0);
    dup2(out_fd < 0 ? null_fd : out_fd, 1);
    dup2(err_fd < 0 ? null_fd : err_fd, 2);
    if (chdir(folder.c_str()) != 0) _exit(126);
    std::vector<char*> argv;
    argv.push_back(const_cast<char*>(program.c_str()));
    for (const auto& a : args) argv.push_back(const_cast<char*>(a.c_str()));
    argv.push_back(nullptr);
    execv(program.c_str(), argv.data());
    _exit(127);
  }
  return pid;
}

}  // namespace

RunResult run_program_in(const std::string& folder, const std::string& program,
                         const std::vector<std::string>& args) {
  char out_name[] = "/tmp/quilm-out-XXXXXX";
  char err_name[] = "/tmp/quilm-err-XXXXXX";
  int out_fd = mkstemp(out_name);
  int err_fd = mkstemp(err_name);
  RunResult result;
  result.status = wait_program(spawn_in(folder, program, args, out_fd, err_fd));
  close(out_fd);
  close(err_fd);
  result.out = slurp(out_name);
  result.err = slurp(err_name);
  unlink(out_name);
  unlink(err_name);
  return result;
}

namespace {

// In the child: the terminal's end on stderr (and stdout), raw, so that the
// bytes arrive as written; then the shell.
[[noreturn]] void exec_on_terminal(const std::string& folder, const std::string& command, int fd,
                                   int out_fd, bool stdout_on_terminal) {
  termios mode{};
  if (tcgetattr(fd, &mode) != 0 || chdir(folder.c_str()) != 0) _exit(127);
  cfmakeraw(&mode);
  tcsetattr(fd, TCSANOW, &mode);
  dup2(fd, 2);
  dup2(stdout_on_terminal ? fd : out_fd, 1);
  close(fd);
  execl("/bin/sh", "sh", "-c", command.c_str(), static_cast<char*>(nullptr));
  _exit(127);
}

}  // namespace

RunResult run_shell_on_terminal(const std::string& folder, const std::string& command,
                                bool stdout_on_terminal) {
  RunResult result;
  const int master = posix_openpt(O_RDWR | O_NOCTTY);
  if (master < 0 || grantpt(master) != 0 || unlockpt(master) != 0) {
    ADD_FAILURE() << "no pseudo-terminal: " << std::strerror(errno);
    if (master >= 0) close(master);
    return result;
  }
  // Held open here until the child has it, so that the terminal is not hung
  // up before the command starts.
  const int terminal = open(ptsname(master), O_RDWR | O_NOCTTY);
  char out_name[] = "/tmp/quilm-out-XXXXXX";
  const int out_fd = mkstemp(out_name);
  const pid_t pid = fork();
  if (pid == 0) {
    close(master);
    exec_on_terminal(folder, command, terminal, out_fd, stdout_on_terminal);
  }
  close(terminal);
  close(out_fd);
  // Read while the command runs; the read fails (EIO) once every holder of
  // the terminal's other end has closed it.
  char buffer[4096];
  for (ssize_t n; (n = read(master, buffer, sizeof buffer)) != 0;) {
    if (n > 0)
      result.err.append(buffer, static_cast<std::size_t>(n));
    else if (errno != EINTR)
      break;
  }
  close(master);
  result.status = wait_program(pid);
  result.out = slurp(out_name);
  unlink(out_name);
  return result;
}

int start_program_in(const std::string& folder, const std::string& program,
                     const std::vector<std::string>& args) {
  return spawn_in(folder, program, args, -1, -1);
}

int wait_program(int pid) {
  int status = 0;
  waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : 128 + WTERMSIG(status);
}

void write_script(const std::string& path, const std::string& body) {
  spit(path, "#!/bin/sh\n" + body);
  std::filesystem::permissions(path, std::filesystem::perms::owner_all |
                                         std::filesystem::perms::group_read |
                                         std::filesystem::perms::group_exec);
}

bool on_path(const std::string& program) {
  return std::system(("command -v '" + program + "' > /dev/null 2>&1").c_str()) == 0;
}

void TempDirTest::SetUp() {
  const auto* info = ::testing::UnitTest::GetInstance()->current_test_info();
  std::string label = std::string(info->test_suite_name()) + "-" + info->name();
  for (char& c : label)
    if (c == '/') c = '_';  // parameterised test names hold slashes
  std::string pattern =
      std::filesystem::temp_directory_path().string() + "/quilm-" + label + "-XXXXXX";
  std::vector<char> name(pattern.begin(), pattern.end());
  name.push_back('\0');
  char* made = mkdtemp(name.data());
  ASSERT_NE(made, nullptr);
  dir_ = made;
}

SmallDisk::SmallDisk(const std::string& folder, std::size_t bytes) : folder_(folder) {
  std::filesystem::create_directories(folder_);
  if (::geteuid() != 0) return;
  const std::string options = "size=" + std::to_string(bytes);
  mounted_ = ::mount("tmpfs", folder_.c_str(), "tmpfs", 0, options.c_str()) == 0;
}

SmallDisk::~SmallDisk() {
  if (mounted_) ::umount2(folder_.c_str(), MNT_DETACH);
}

void SmallDisk::fill() {
  const int fd = ::open((folder_ + "/.filler").c_str(), O_WRONLY | O_CREAT | O_APPEND, 0600);
  if (fd < 0) return;
  const std::string block(4096, 'x');
  while (::write(fd, block.data(), block.size()) > 0) {
  }
  while (::write(fd, block.data(), 1) > 0) {
  }
  ::close(fd);
}

void SmallDisk::empty() {
  std::filesystem::remove(folder_ + "/.filler");
}

void TempDirTest::TearDown() {
  if (!HasFailure() && !dir_.empty()) std::filesystem::remove_all(dir_);
}

}  // namespace quilm::test
