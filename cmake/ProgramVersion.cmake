# The program's version text, from project(VERSION) and the commit, in a
# header every build step refreshes: vz_program_version_header(TARGET) lets
# the target's sources include "app/run/ProgramVersionText.h".
set(VZ_GENERATED_DIR "${CMAKE_BINARY_DIR}/generated")
set(VZ_VERSION_HEADER "${VZ_GENERATED_DIR}/app/run/ProgramVersionText.h")
add_custom_target(vz_program_version
  COMMAND "${CMAKE_COMMAND}" -DSOURCE_DIR=${CMAKE_SOURCE_DIR} -DVERSION=${PROJECT_VERSION}
          -DOUT=${VZ_VERSION_HEADER} -P "${CMAKE_CURRENT_LIST_DIR}/WriteProgramVersion.cmake"
  BYPRODUCTS "${VZ_VERSION_HEADER}"
  VERBATIM)

function(vz_program_version_header target)
  target_include_directories(${target} PUBLIC "${VZ_GENERATED_DIR}")
  add_dependencies(${target} vz_program_version)
endfunction()
