# Writes the header that holds the program's version text: VERSION, with the
# commit id when SOURCE_DIR is a git checkout ("1.0.0 (a1b2c3d)"), plain in a
# source tree without git (a tarball). The header is rewritten only when its
# text changes, so a build of the same commit recompiles nothing.
#   cmake -DSOURCE_DIR=... -DVERSION=1.0.0 -DOUT=.../ProgramVersionText.h -P WriteProgramVersion.cmake
set(text "${VERSION}")
if(EXISTS "${SOURCE_DIR}/.git")
  find_package(Git QUIET)
  if(GIT_FOUND)
    execute_process(COMMAND "${GIT_EXECUTABLE}" -C "${SOURCE_DIR}" rev-parse --short=7 HEAD
                    OUTPUT_VARIABLE commit RESULT_VARIABLE failed OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    if(NOT failed AND commit MATCHES "^[0-9a-f]+$")
      set(text "${VERSION} (${commit})")
    endif()
  endif()
endif()
set(content "// Written by the build (cmake/WriteProgramVersion.cmake).\n#define VZ_PROGRAM_VERSION_NUMBER \"${VERSION}\"\n#define VZ_PROGRAM_VERSION_TEXT \"${text}\"\n")
set(old "")
if(EXISTS "${OUT}")
  file(READ "${OUT}" old)
endif()
if(NOT old STREQUAL content)
  file(WRITE "${OUT}" "${content}")
endif()
