// Workers end when the process that started them ends (a driver killed with
// SIGKILL or crashed), instead of running on and writing into its work
// folder. The export, a program that users also run by hand, does so only
// when a driver started it: the driver names itself in its environment.
#pragma once

#include <string>

namespace quilm {

// Asks the kernel for SIGTERM when the parent process ends.
void end_with_parent();

// The environment entry that asks a program started by this process to end
// with it: "QUILM_END_WITH_PARENT=<this process's id>".
inline constexpr const char* kEndWithParentVariable = "QUILM_END_WITH_PARENT";
std::string end_with_parent_entry();

// When `value` (of the variable) names a process: asks for SIGTERM when the
// parent ends, and ends at once (SIGTERM) when the parent is no longer that
// process, having ended before the request was made. True when asked;
// nothing for null.
bool end_with_parent_if_asked(const char* value);

// From now on SIGTERM first removes the files whose names begin with
// `prefix` (what the process has staged and not yet put in place), then
// ends the process as the signal would have. Call before any thread
// starts: the signal is blocked in all threads but one that waits for it.
void remove_when_terminated(const std::string& prefix);

}  // namespace quilm
