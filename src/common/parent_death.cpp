#include "common/parent_death.hpp"

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

#include <charconv>
#include <string_view>

namespace quilm {

void end_with_parent() {
  ::prctl(PR_SET_PDEATHSIG, SIGTERM);
}

std::string end_with_parent_entry() {
  return std::string(kEndWithParentVariable) + "=" + std::to_string(::getpid());
}

void end_with_parent_if_asked(const char* value) {
  if (!value) return;
  const std::string_view text(value);
  long parent = 0;
  const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), parent);
  if (ec != std::errc() || end != text.data() + text.size() || parent <= 0) return;
  end_with_parent();
  // A parent that ended before the request leaves this process to another.
  if (::getppid() != static_cast<pid_t>(parent)) ::raise(SIGTERM);
}

}  // namespace quilm
