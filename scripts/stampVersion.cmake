# Writes the version header at every build, so that a program always names the commit it was built
# from (a hash taken once at configure time goes stale with the next commit). Run with cmake -P.
# Inputs: SOURCE_DIR, TEMPLATE, OUTPUT, PROJECT_VERSION.
execute_process(COMMAND git rev-parse --short HEAD WORKING_DIRECTORY ${SOURCE_DIR}
                OUTPUT_VARIABLE TARVO_GIT_HASH OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET
                RESULT_VARIABLE hashFailed)
if(hashFailed OR NOT TARVO_GIT_HASH)
  set(TARVO_GIT_HASH unknown)
else()
  # Changes to tracked files not yet committed: the commit alone does not describe this program.
  execute_process(COMMAND git diff --quiet HEAD -- WORKING_DIRECTORY ${SOURCE_DIR}
                  RESULT_VARIABLE modified ERROR_QUIET)
  if(modified EQUAL 1)
    string(APPEND TARVO_GIT_HASH "-modified")
  endif()
endif()
# configure_file leaves an unchanged header untouched, so nothing is recompiled for nothing.
configure_file(${TEMPLATE} ${OUTPUT} @ONLY)
