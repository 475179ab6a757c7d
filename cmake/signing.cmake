# Optional Authenticode signing of chg_4917.exe with an organisation's
# code-signing certificate, after the stripped link and before the zip:
#   -DCHG_SIGN_PKCS12=<file.p12> -DCHG_SIGN_PASSWORD_FILE=<file> [-DCHG_SIGN_TIMESTAMP_URL=<url>]
# Sets CHG_SIGN to the command that the zip target runs first (sign.cmake), or
# to nothing: without a certificate the build is as it was.
set(CHG_SIGN_PKCS12 "" CACHE FILEPATH "PKCS#12 file with the code-signing certificate and its key")
set(CHG_SIGN_PASSWORD_FILE "" CACHE FILEPATH "File that holds the password of CHG_SIGN_PKCS12")
set(CHG_SIGN_TIMESTAMP_URL "" CACHE STRING "RFC 3161 timestamp server; the bytes then differ from build to build")
set(CHG_SIGN_STAMP ${CMAKE_BINARY_DIR}/CMakeFiles/chg_4917_signed.txt)
set(CHG_SIGN)
if(CHG_SIGN_PKCS12 OR CHG_SIGN_PASSWORD_FILE)
  if(NOT CHG_SIGN_PKCS12 OR NOT CHG_SIGN_PASSWORD_FILE)
    message(FATAL_ERROR "Signing needs both CHG_SIGN_PKCS12 and CHG_SIGN_PASSWORD_FILE")
  endif()
  find_program(OSSLSIGNCODE osslsigncode REQUIRED)
  set(CHG_SIGN COMMAND ${CMAKE_COMMAND} -DOSSLSIGNCODE=${OSSLSIGNCODE} -DEXE=$<TARGET_FILE:chg_4917> -DZIP=${CHG_ZIP}
                       -DPKCS12=${CHG_SIGN_PKCS12} -DPASSWORD_FILE=${CHG_SIGN_PASSWORD_FILE}
                       -DTIMESTAMP_URL=${CHG_SIGN_TIMESTAMP_URL} -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
                       -DSTAMP=${CHG_SIGN_STAMP} -P ${PROJECT_SOURCE_DIR}/cmake/sign.cmake)
elseif(EXISTS ${CHG_SIGN_STAMP})
  # A folder that signed its exe and no longer does links it again, unsigned.
  file(REMOVE ${CHG_SIGN_STAMP} ${CMAKE_BINARY_DIR}/chg_4917.exe)
endif()
