// quilm_x <seed length> [<process number>]: the seed-mapping worker.
#include "common/command_line.hpp"
#include "common/parent_death.hpp"
#include "worker/quilm_x_worker.hpp"

int main(int argc, char** argv) {
  quilm::end_with_parent();
  return quilm::run_program("quilm_x", quilm::kQuilmXHelp, argc, argv,
                            [&] { return quilm::quilm_x_main(argc, argv); });
}
