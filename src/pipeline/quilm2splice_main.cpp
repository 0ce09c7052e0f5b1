#include "common/command_line.hpp"
#include "pipeline/drivers.hpp"
#include "pipeline/options.hpp"

int main(int argc, char** argv) {
  return quilm::run_program("quilm2splice", quilm::driver_help(quilm::DriverKind::kSplice), argc,
                            argv, [&] { return quilm::run_quilm2splice(argc, argv); });
}
