#include "common/command_line.hpp"
#include "sam/quilm2sam.hpp"
#include "sam/sam_options.hpp"

int main(int argc, char** argv) {
  return quilm::run_program("quilm2sam", quilm::sam::sam_usage(), argc, argv,
                            [&] { return quilm::sam::run_quilm2sam(argc, argv); });
}
