#include "common/errors.hpp"
#include "sam/quilm2sam.hpp"

int main(int argc, char** argv) {
  return quilm::run_program("quilm2sam", [&] { return quilm::sam::run_quilm2sam(argc, argv); });
}
