# Fails when the shipped program contains the setter of the fault injection
# hook (platform/FileFaultHook.cpp): only test code may install a hook.
# The check that InjectedFileFault is there proves the symbol table was read.
execute_process(COMMAND ${NM} -C ${PROGRAM} OUTPUT_VARIABLE symbols RESULT_VARIABLE result)
if(NOT result EQUAL 0)
  message(FATAL_ERROR "cannot read the symbols of ${PROGRAM}")
endif()
string(FIND "${symbols}" "InjectedFileFault" asked)
if(asked EQUAL -1)
  message(FATAL_ERROR "${PROGRAM}: no InjectedFileFault in its symbols; the check reads nothing")
endif()
string(FIND "${symbols}" "SetFileFaultHookForTesting" setter)
if(NOT setter EQUAL -1)
  message(FATAL_ERROR "${PROGRAM} contains SetFileFaultHookForTesting: the shipped program could install a fault hook")
endif()
