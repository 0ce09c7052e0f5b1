// quilm2sam: the hits of a finished run as SAM or BAM.
#pragma once

namespace quilm::sam {

// The whole program; returns the exit status. Usage errors print the usage
// on stderr and give 1; other errors throw. `driven`: started by a driver
// and ending with it, when a stop removes what the export has staged.
int run_quilm2sam(int argc, const char* const* argv, bool driven = false);

}  // namespace quilm::sam
