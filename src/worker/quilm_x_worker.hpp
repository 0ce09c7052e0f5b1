// The seed-mapping worker program: configuration, task table, the
// read file of the cycle, one result file per assigned segment (or one part
// file per slice of the reads of a shared segment).
#pragma once

#include "common/run_config.hpp"
#include "worker/read_mapping.hpp"

namespace quilm {

// The text of --help.
extern const char* const kQuilmXHelp;

// The mapping settings of a run for a cycle of `seed_length` (the index
// store is the stage's, see stage_jobs).
MapSettings map_settings(const RunConfig& config, int seed_length);

// The whole program body; returns the exit status, throws on errors (the
// caller reports them). Reads config.txt from the current directory.
int quilm_x_main(int argc, char** argv);

}  // namespace quilm
