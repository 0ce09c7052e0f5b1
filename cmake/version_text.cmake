# Writes the C++ source that holds the programs' version text: the project
# version and, when the sources are a git checkout, "(commit <hash>)", with
# "-dirty" when tracked files differ from that commit. The build runs this on
# every build so the text follows new commits; the file is rewritten only
# when its text changes, so an unchanged version recompiles nothing.
#
# Variables: VERSION (project version), ROOT (source tree), GIT (git program,
# may be empty), OUTPUT (the source file to write).

set(text "${VERSION}")
if(text STREQUAL "")
  set(text "unknown")
endif()

if(GIT AND EXISTS "${ROOT}/.git")
  execute_process(COMMAND "${GIT}" -C "${ROOT}" rev-parse --short=7 HEAD
                  OUTPUT_VARIABLE commit RESULT_VARIABLE failed
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT failed AND NOT commit STREQUAL "")
    # Untracked files (a build folder, say) do not make a tree dirty.
    execute_process(COMMAND "${GIT}" -C "${ROOT}" --no-optional-locks status --porcelain
                            --untracked-files=no
                    OUTPUT_VARIABLE changes RESULT_VARIABLE failed ERROR_QUIET)
    if(NOT failed AND NOT changes STREQUAL "")
      string(APPEND commit "-dirty")
    endif()
    string(APPEND text " (commit ${commit})")
  endif()
endif()

set(content "// Written by cmake/version_text.cmake at build time; not kept in git.
#include \"common/version.hpp\"

namespace quilm {

const char* version_text() { return \"${text}\"; }

}  // namespace quilm
")

set(old "")
if(EXISTS "${OUTPUT}")
  file(READ "${OUTPUT}" old)
endif()
if(NOT old STREQUAL content)
  file(WRITE "${OUTPUT}" "${content}")
endif()
