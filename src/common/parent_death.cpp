#include "common/parent_death.hpp"

#include <pthread.h>
#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <string_view>
#include <thread>

#include "common/paths.hpp"
#include "common/whole_number.hpp"

namespace quilm {

void end_with_parent() {
  ::prctl(PR_SET_PDEATHSIG, SIGTERM);
}

std::string end_with_parent_entry() {
  return std::string(kEndWithParentVariable) + "=" + std::to_string(::getpid());
}

bool end_with_parent_if_asked(const char* value) {
  if (!value) return false;
  const std::string_view text(value);
  long parent = 0;
  if (!parse_whole_number(text, parent) || parent <= 0) return false;
  end_with_parent();
  // A parent that ended before the request leaves this process to another.
  if (::getppid() != static_cast<pid_t>(parent)) ::raise(SIGTERM);
  return true;
}

void remove_when_terminated(const std::string& prefix) {
  sigset_t terminate;
  sigemptyset(&terminate);
  sigaddset(&terminate, SIGTERM);
  if (::pthread_sigmask(SIG_BLOCK, &terminate, nullptr) != 0) return;
  std::thread([terminate, prefix] {
    int signal = 0;
    while (::sigwait(&terminate, &signal) != 0) {
    }
    remove_files_starting_with(prefix);
    // Ends as the signal would have, so that whoever waits sees the signal.
    ::signal(SIGTERM, SIG_DFL);
    ::pthread_sigmask(SIG_UNBLOCK, &terminate, nullptr);
    ::raise(SIGTERM);
  }).detach();
}

}  // namespace quilm
