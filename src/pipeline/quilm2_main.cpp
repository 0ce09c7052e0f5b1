#include "common/command_line.hpp"
#include "pipeline/drivers.hpp"
#include "pipeline/options.hpp"

// quilm2 knows the splice driver's options too, so that it can say which of
// them belong there instead of calling them unknown.
int main(int argc, char** argv) {
  using quilm::DriverKind;
  return quilm::run_program(
      "quilm2", quilm::driver_help(DriverKind::kMappingOnly), argc, argv,
      [&] { return quilm::run_quilm2(argc, argv); },
      quilm::driver_help(DriverKind::kMappingOnly) + quilm::driver_help(DriverKind::kSplice));
}
