// quilm2sam: the hits of a finished run as SAM or BAM.
#pragma once

namespace quilm::sam {

// The whole program; returns the exit status. Usage errors print the usage
// on stderr and give 1; other errors throw.
int run_quilm2sam(int argc, const char* const* argv);

}  // namespace quilm::sam
