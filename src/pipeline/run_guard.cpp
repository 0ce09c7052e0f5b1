#include "pipeline/run_guard.hpp"

#include <sys/wait.h>
#include <unistd.h>

#include <cerrno>
#include <chrono>
#include <cstdio>
#include <cstring>

#include "common/paths.hpp"

namespace quilm {

namespace {

constexpr int kStopSignals[] = {SIGINT, SIGTERM, SIGHUP};
constexpr auto kGrace = std::chrono::seconds(5);  // before SIGKILL
constexpr long kPollNanoseconds = 50'000'000;

bool ignored_at_start(int signal) {
  struct sigaction old {};
  return sigaction(signal, nullptr, &old) == 0 && old.sa_handler == SIG_IGN;
}

// True when the child has ended and been waited for (here or elsewhere).
bool child_gone(pid_t pid) {
  int status = 0;
  const pid_t r = waitpid(pid, &status, WNOHANG);
  return r == pid || (r < 0 && errno == ECHILD);
}

}  // namespace

RunGuard::RunGuard(const char* program) : program_(program) {
  sigemptyset(&watched_);
  for (int s : kStopSignals)
    if (!ignored_at_start(s)) sigaddset(&watched_, s);
  pthread_sigmask(SIG_BLOCK, &watched_, &old_mask_);
  watcher_ = std::thread([this] { watch(); });
}

RunGuard::~RunGuard() {
  done_ = true;
  watcher_.join();
  pthread_sigmask(SIG_SETMASK, &old_mask_, nullptr);
}

void RunGuard::watch() {
  const timespec poll{0, kPollNanoseconds};
  while (!done_) {
    siginfo_t info{};
    const int s = sigtimedwait(&watched_, &info, &poll);
    if (s > 0) stop(s);
  }
}

void RunGuard::stop(int signal) {
  std::lock_guard<std::mutex> lock(mutex_);
  stopping_ = true;
  const std::size_t workers = children_.size();
  for (const Child& c : children_) kill(c.group ? -c.pid : c.pid, SIGTERM);
  const auto deadline = std::chrono::steady_clock::now() + kGrace;
  bool killed = false;
  while (!children_.empty()) {
    std::erase_if(children_, [](const Child& c) { return child_gone(c.pid); });
    if (children_.empty()) break;
    if (!killed && std::chrono::steady_clock::now() > deadline) {
      for (const Child& c : children_) kill(c.group ? -c.pid : c.pid, SIGKILL);
      killed = true;
    }
    std::this_thread::sleep_for(std::chrono::milliseconds(10));
  }
  for (const std::string& t : temporaries_) ::unlink(t.c_str());
  for (const std::string& prefix : child_temporaries_) remove_files_starting_with(prefix);
  const bool removed = !temporaries_.empty() || !child_temporaries_.empty();
  std::fflush(stdout);
  std::fprintf(stderr, "%s: stopped by signal %d (%s); %zu running process%s stopped%s\n", program_,
               signal, strsignal(signal), workers, workers == 1 ? "" : "es",
               removed ? ", unfinished outputs removed" : "");
  std::fflush(stderr);
  _exit(128 + signal);
}

pid_t RunGuard::start_child(const std::function<pid_t()>& spawn, bool group,
                            const std::function<std::string(pid_t)>& temporaries) {
  std::lock_guard<std::mutex> lock(mutex_);
  const pid_t pid = spawn();
  children_.push_back({pid, group});
  if (temporaries) child_temporaries_.push_back(temporaries(pid));
  return pid;
}

void RunGuard::forget_temporaries(const std::string& prefix) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::erase(child_temporaries_, prefix);
}

void RunGuard::forget_child(pid_t pid) {
  std::lock_guard<std::mutex> lock(mutex_);
  std::erase_if(children_, [pid](const Child& c) { return c.pid == pid; });
}

void RunGuard::add_temporary(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  temporaries_.push_back(path);
}

int RunGuard::keep_temporary(const std::string& temporary, const std::string& final_path) {
  std::lock_guard<std::mutex> lock(mutex_);
  const int err = std::rename(temporary.c_str(), final_path.c_str()) == 0 ? 0 : errno;
  if (err == 0) std::erase(temporaries_, temporary);
  return err;
}

void RunGuard::drop_temporary(const std::string& path) {
  std::lock_guard<std::mutex> lock(mutex_);
  ::unlink(path.c_str());
  std::erase(temporaries_, path);
}

void RunGuard::hold_if_stopping() const {
  while (stopping_) std::this_thread::sleep_for(std::chrono::milliseconds(100));
}

}  // namespace quilm
