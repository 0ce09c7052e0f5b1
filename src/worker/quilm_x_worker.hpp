// The seed-mapping worker program: configuration, task table, the
// read file of the cycle, one result file per assigned segment.
#pragma once

namespace quilm {

// The whole program body; returns the exit status, throws on errors (the
// caller reports them). Reads config.txt from the current directory.
int quilm_x_main(int argc, char** argv);

}  // namespace quilm
