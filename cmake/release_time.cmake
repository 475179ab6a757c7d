# Sets time to the time of a release's files and signature, in seconds since
# 1970: SOURCE_DATE_EPOCH when it is set at build time, else the time of the
# last commit of SOURCE_DIR, so that two builds of one commit agree.
# Included by zip.cmake and sign.cmake.
if(NOT "$ENV{SOURCE_DATE_EPOCH}" STREQUAL "")
  set(time "$ENV{SOURCE_DATE_EPOCH}")
  if(NOT time MATCHES "^[0-9]+$")
    message(FATAL_ERROR "SOURCE_DATE_EPOCH must be a whole number of seconds, not '${time}'")
  endif()
else()
  execute_process(COMMAND git log -1 --format=%ct WORKING_DIRECTORY ${SOURCE_DIR} RESULT_VARIABLE failed
                  OUTPUT_VARIABLE time OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
  if(failed OR NOT time MATCHES "^[0-9]+$")
    set(time 946684800)  # 2000-01-01, where git cannot tell
  endif()
endif()
