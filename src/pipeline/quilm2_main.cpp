#include "common/errors.hpp"
#include "pipeline/drivers.hpp"

int main(int argc, char** argv) {
  return quilm::run_program("quilm2", [&] { return quilm::run_quilm2(argc, argv); });
}
