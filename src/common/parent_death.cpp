#include "common/parent_death.hpp"

#include <signal.h>
#include <sys/prctl.h>
#include <unistd.h>

namespace quilm {

void end_with_parent() {
  ::prctl(PR_SET_PDEATHSIG, SIGTERM);
}

}  // namespace quilm
