#include "common/errors.hpp"

#include <cerrno>
#include <cstdio>
#include <cstring>
#include <new>

namespace quilm {

std::string describe_errno(const std::string& what, const std::string& path, int err) {
  return what + " '" + path + "': " + std::strerror(err);
}

void throw_io_error(const std::string& what, const std::string& path) {
  throw IoError(describe_errno(what, path, errno));
}

int run_program(const char* program, const std::function<int()>& body) {
  try {
    return body();
  } catch (const std::bad_alloc&) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: error: out of memory\n", program);
  } catch (const std::exception& e) {
    std::fflush(stdout);
    std::fprintf(stderr, "%s: error: %s\n", program, e.what());
  }
  return 1;
}

}  // namespace quilm
