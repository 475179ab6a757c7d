# Packs FILES, each at the top, into ZIP: cmake -DZIP_PROGRAM=zip -DZIP=...
# -DSOURCE_DIR=... -DFILES=a;b -P zip.cmake, from the build folder. Every
# file gets the release's time (release_time.cmake), and zip -X leaves out the
# owner and the access and change times, so two builds of one commit give the
# same zip.
include(${CMAKE_CURRENT_LIST_DIR}/release_time.cmake)
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
