// Workers end when the process that started them ends (a driver killed with
// SIGKILL or crashed), instead of running on and writing into its work
// folder.
#pragma once

namespace quilm {

// Asks the kernel for SIGTERM when the parent process ends.
void end_with_parent();

}  // namespace quilm
