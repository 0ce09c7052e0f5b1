// The run configuration of a hand-made run, as the driver would write it.
#pragma once

#include <string>

#include "common/run_config.hpp"
#include "common/work_files.hpp"

namespace quilm::test {

// Writes the configuration that the programs started in `folder` read (the
// driver's config.txt, before any run log line).
inline void write_config(const std::string& folder, const RunConfig& config) {
  write_run_config(folder + "/" + kConfigFile, config);
}

}  // namespace quilm::test
