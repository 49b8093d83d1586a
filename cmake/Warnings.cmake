# Project-wide warnings; applied per target through vz_warnings().
function(vz_warnings target)
  target_compile_options(${target} PRIVATE -Wall -Wextra -Wshadow=local -Wno-unused-parameter)
endfunction()
