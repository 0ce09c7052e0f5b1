#include "common/command_line.hpp"
#include "pipeline/drivers.hpp"
#include "pipeline/options.hpp"

int main(int argc, char** argv) {
  return quilm::run_program("quilm2", quilm::driver_help(quilm::DriverKind::kMappingOnly), argc,
                            argv, [&] { return quilm::run_quilm2(argc, argv); });
}
