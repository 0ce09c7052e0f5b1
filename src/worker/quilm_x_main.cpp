// quilm_x <seed length> [<process number>]: the seed-mapping worker.
#include "common/errors.hpp"
#include "worker/quilm_x_worker.hpp"

int main(int argc, char** argv) {
  return quilm::run_program("quilm_x", [&] { return quilm::quilm_x_main(argc, argv); });
}
