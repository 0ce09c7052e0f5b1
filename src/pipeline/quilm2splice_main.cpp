#include "common/errors.hpp"
#include "pipeline/drivers.hpp"

int main(int argc, char** argv) {
  return quilm::run_program("quilm2splice", [&] { return quilm::run_quilm2splice(argc, argv); });
}
