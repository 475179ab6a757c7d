# Packs FILES, each at the top, into ZIP: cmake -DZIP_PROGRAM=zip -DZIP=...
# -DSOURCE_DIR=... -DFILES=a;b -P zip.cmake, from the build folder. Every
# file gets the time SOURCE_DATE_EPOCH gives (seconds since 1970) when it is
# set at build time, else the time of the last commit, and zip -X leaves out
# the owner and the access and change times, so two builds of one commit give
# the same zip.
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
file(REMOVE_RECURSE package ${ZIP})
file(COPY ${FILES} DESTINATION package FILE_PERMISSIONS OWNER_READ OWNER_WRITE GROUP_READ WORLD_READ)
set(names)
foreach(file IN LISTS FILES)
  get_filename_component(name ${file} NAME)
  list(APPEND names ${name})
endforeach()
execute_process(COMMAND touch -d @${time} ${names} WORKING_DIRECTORY package COMMAND_ERROR_IS_FATAL ANY)
execute_process(COMMAND ${CMAKE_COMMAND} -E env TZ=UTC ${ZIP_PROGRAM} -X -q ${ZIP} ${names}
                WORKING_DIRECTORY package COMMAND_ERROR_IS_FATAL ANY)
