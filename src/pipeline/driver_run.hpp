// What both drivers do before their cascade: the preparation with its time
// line, the run lock, the launcher, and config.txt read back.
#pragma once

#include <memory>

#include "common/run_config.hpp"
#include "pipeline/cascade.hpp"
#include "pipeline/options.hpp"
#include "pipeline/run_guard.hpp"
#include "pipeline/run_lock.hpp"
#include "pipeline/run_publication.hpp"
#include "pipeline/run_report.hpp"
#include "pipeline/stopwatch.hpp"

namespace quilm {

struct DriverRun {
  explicit DriverRun(const char* program) : guard(program), report(program) {}
  RunGuard guard;   // first: signals are watched from the start
  Stopwatch clock;  // the whole run
  RunReport report;
  RunLock lock;
  RunConfig config;  // as read back from config.txt
  CascadeSetup setup;
  BamExport bam_export;        // no path: no export
  RescueRequest rescue;        // not enabled: no rescue stage
  RunPublication publication;  // the run's stamp and what it replaces
  bool remove_work = false;    // --remove-work
};

// Prepares the run and fills `run`; setup.merged_path is left to the driver.
void start_driver_run(DriverRun& run, DriverKind kind, int argc, const char* const* argv);

// The export of --bam=<file> once the run's outputs are in place, if asked,
// then, with --remove-work, the removal of the run's work files.
void finish_driver_run(DriverRun& run);

}  // namespace quilm
