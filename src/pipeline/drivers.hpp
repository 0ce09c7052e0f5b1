// The main routines of the two drivers.
#pragma once

namespace quilm {

// The whole splice pipeline; returns the exit status.
int run_quilm2splice(int argc, const char* const* argv);

// Preparation and the mapping cascade into one output file.
int run_quilm2(int argc, const char* const* argv);

}  // namespace quilm
