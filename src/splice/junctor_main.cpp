// junctor <seed length> [<process number>]: the splice-junction worker.
#include "common/command_line.hpp"
#include "common/parent_death.hpp"
#include "common/worker_args.hpp"
#include "splice/junctor_task.hpp"

int main(int argc, char** argv) {
  quilm::end_with_parent();
  return quilm::run_program("junctor", quilm::kJunctorHelp, argc, argv, [&] {
    quilm::run_junctor(quilm::parse_worker_args(argc, argv));
    return 0;
  });
}
