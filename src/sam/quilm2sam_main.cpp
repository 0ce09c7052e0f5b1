#include <cstdlib>

#include "common/command_line.hpp"
#include "common/parent_death.hpp"
#include "sam/quilm2sam.hpp"
#include "sam/sam_options.hpp"

int main(int argc, char** argv) {
  // Started by a driver: ends with it, before it publishes anything.
  const bool driven = quilm::end_with_parent_if_asked(std::getenv(quilm::kEndWithParentVariable));
  return quilm::run_program("quilm2sam", quilm::sam::sam_usage(), argc, argv,
                            [&] { return quilm::sam::run_quilm2sam(argc, argv, driven); });
}
