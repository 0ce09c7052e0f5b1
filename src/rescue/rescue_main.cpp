// quilm_rescue <seed length> [<process number>]: the rescue worker.
#include "common/command_line.hpp"
#include "common/parent_death.hpp"
#include "common/worker_args.hpp"
#include "rescue/rescue_task.hpp"

int main(int argc, char** argv) {
  quilm::end_with_parent();
  return quilm::run_program("quilm_rescue", quilm::kRescueHelp, argc, argv, [&] {
    quilm::run_rescue_worker(quilm::parse_worker_args(argc, argv));
    return 0;
  });
}
