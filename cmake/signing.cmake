# Optional Authenticode signing of chg_4917.exe and recette.exe with an organisation's
# code-signing certificate, after the stripped link and before the zips:
#   -DCHG_SIGN_PKCS12=<file.p12> -DCHG_SIGN_PASSWORD_FILE=<file> [-DCHG_SIGN_TIMESTAMP_URL=<url>]
# chg_sign(VAR TARGET ZIP) sets VAR to the command that a zip target runs first (sign.cmake): it
# removes ZIP, then signs TARGET's exe; or to nothing: without a certificate the build is as it was.
set(CHG_SIGN_PKCS12 "" CACHE FILEPATH "PKCS#12 file with the code-signing certificate and its key")
set(CHG_SIGN_PASSWORD_FILE "" CACHE FILEPATH "File that holds the password of CHG_SIGN_PKCS12")
set(CHG_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 timestamp server; the bytes then differ from build to build")
if(CHG_SIGN_PKCS12 OR CHG_SIGN_PASSWORD_FILE)
  if(NOT CHG_SIGN_PKCS12 OR NOT CHG_SIGN_PASSWORD_FILE)
    message(FATAL_ERROR "Signing needs both CHG_SIGN_PKCS12 and CHG_SIGN_PASSWORD_FILE")
  endif()
  find_program(OSSLSIGNCODE osslsigncode REQUIRED)
endif()

function(chg_sign var target zip)
  set(stamp ${CMAKE_BINARY_DIR}/CMakeFiles/${target}_signed.txt)
  if(CHG_SIGN_PKCS12)
    set(${var} COMMAND ${CMAKE_COMMAND} -DOSSLSIGNCODE=${OSSLSIGNCODE} -DEXE=$<TARGET_FILE:${target}> -DZIP=${zip}
                       -DPKCS12=${CHG_SIGN_PKCS12} -DPASSWORD_FILE=${CHG_SIGN_PASSWORD_FILE}
                       -DTIMESTAMP_URL=${CHG_SIGN_TIMESTAMP_URL} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
                       -DSTAMP=${stamp} -P ${PROJECT_SOURCE_DIR}/cmake/sign.cmake PARENT_SCOPE)
  else()
    set(${var} "" PARENT_SCOPE)
    if(EXISTS ${stamp})
      # A folder that signed its exe and no longer does links it again, unsigned.
      file(REMOVE ${stamp} ${CMAKE_BINARY_DIR}/${target}.exe)
    endif()
  endif()
endfunction()
