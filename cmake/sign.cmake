# Signs EXE in place for the zip: cmake -DOSSLSIGNCODE=... -DEXE=... -DZIP=...
# -DPKCS12=... -DPASSWORD_FILE=... -DTIMESTAMP_URL=[url] -DSOURCE_DIR=...
# -DSTAMP=... -P sign.cmake, run by a zip target before zip.cmake.
# Authenticode with SHA-256, signed at the release's time (release_time.cmake),
# so that two builds of one commit give the same bytes. osslsigncode reads the
# password from its file: it is on no command line and in no output.
# The zip goes first, so a failed or interrupted signing leaves none. STAMP
# records the hash of the signed exe and what signed it: a build that did not
# link the exe again signs nothing. An exe signed otherwise (another certificate
# or time) gets the new signature in place of the old one, never beside it.
file(REMOVE ${ZIP})
get_filename_component(name ${EXE} NAME)
foreach(file PKCS12 PASSWORD_FILE)
  if(NOT EXISTS "${${file}}" OR IS_DIRECTORY "${${file}}")
    # One line each: the leading space keeps CMake from wrapping it.
    message(FATAL_ERROR " ${name} cannot be signed: there is no file ${${file}} (CHG_SIGN_${file})")
  endif()
endforeach()
include(${CMAKE_CURRENT_LIST_DIR}/release_time.cmake)
file(SHA256 ${PKCS12} certificate)
set(signed_with "${certificate} ${PASSWORD_FILE} ${time} ${TIMESTAMP_URL}")
file(SHA256 ${EXE} exe)
if(EXISTS ${STAMP})
  file(READ ${STAMP} stamp)
  if(stamp STREQUAL "${exe} ${signed_with}")
    return()
  endif()
endif()

set(timestamp)
if(TIMESTAMP_URL)
  set(timestamp -ts ${TIMESTAMP_URL})
endif()
execute_process(COMMAND ${OSSLSIGNCODE} sign -pkcs12 ${PKCS12} -readpass ${PASSWORD_FILE} -h sha256 -time ${time}
                        ${timestamp} -in ${EXE} -out ${EXE}.signed
                RESULT_VARIABLE failed OUTPUT_VARIABLE log ERROR_VARIABLE log)
if(failed)
  file(REMOVE ${EXE}.signed)
  if(log MATCHES "Wrong password")
    message(FATAL_ERROR " ${name} cannot be signed: the password in ${PASSWORD_FILE} does not open ${PKCS12}")
  endif()
  string(REGEX REPLACE "\n.*" "" log "${log}")
  message(FATAL_ERROR " ${name} cannot be signed: osslsigncode says: ${log}")
endif()
execute_process(COMMAND chmod --reference=${EXE} ${EXE}.signed COMMAND_ERROR_IS_FATAL ANY)  # the link's permissions
file(RENAME ${EXE}.signed ${EXE})
file(SHA256 ${EXE} exe)
file(WRITE ${STAMP} "${exe} ${signed_with}")
message(STATUS "${name} signed with ${PKCS12}")
