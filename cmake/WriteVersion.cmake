# Writes OUT, the one place every program takes its --version from: the
# project's version and, where the sources are a git checkout, what
# `git describe` says about them.  Without git, outside a checkout, or in a
# clone with no tags and no history, the project's version stands alone.
# Rewritten only when the text changes, so an unchanged tree relinks nothing.
# SOURCE_DIR, VERSION and OUT come from the build rule.
set(text "${VERSION}")
find_program(GIT git)
if(GIT AND EXISTS "${SOURCE_DIR}/.git")
  execute_process(COMMAND "${GIT}" -C "${SOURCE_DIR}" describe --tags --always --dirty
                  OUTPUT_VARIABLE described RESULT_VARIABLE failed
                  OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(NOT failed AND described MATCHES "^[A-Za-z0-9._+-]+$")
    set(text "${VERSION} (git ${described})")
  endif()
endif()
file(CONFIGURE OUTPUT "${OUT}" CONTENT "// Made by cmake/WriteVersion.cmake at build time.
#include \"Version.h\"

const char* halvorenVersion() { return \"${text}\"; }
" @ONLY)
