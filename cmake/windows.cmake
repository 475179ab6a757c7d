# The Windows program: its import library, its console, its version resource
# and manifest, a stripped reproducible link, and the zip for the technicians,
# with the exe signed first where a certificate is given (signing.cmake); then
# the acceptance kit (recette/).

# The program links to the vendor's FTD2XX.dll through an import library made
# from our own list of the six calls. dlltool -k drops the stdcall
# decorations from the imported names, as the DLL exports them bare.
find_program(DLLTOOL NAMES i686-w64-mingw32-dlltool dlltool REQUIRED)
set(FTD2XX_IMPORT ${CMAKE_BINARY_DIR}/libFTD2XX.a)
add_custom_command(OUTPUT ${FTD2XX_IMPORT}
                   COMMAND ${DLLTOOL} -k -m i386 -d ${PROJECT_SOURCE_DIR}/cmake/ftd2xx.def
                           --dllname FTD2XX.dll -l ${FTD2XX_IMPORT}
                   DEPENDS ${PROJECT_SOURCE_DIR}/cmake/ftd2xx.def
                   COMMENT "Import library for FTD2XX.dll" VERBATIM)
add_custom_target(ftd2xx_import_library DEPENDS ${FTD2XX_IMPORT})
add_library(ftd2xx_import STATIC IMPORTED GLOBAL)
set_target_properties(ftd2xx_import PROPERTIES IMPORTED_LOCATION ${FTD2XX_IMPORT})
add_dependencies(ftd2xx_import ftd2xx_import_library)

# The version resource and the manifest. mingw's gcc links a default manifest
# of its own where default-manifest.o is installed; ours would clash with it.
execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=default-manifest.o
                OUTPUT_VARIABLE DEFAULT_MANIFEST OUTPUT_STRIP_TRAILING_WHITESPACE)
if(IS_ABSOLUTE "${DEFAULT_MANIFEST}")
  message(FATAL_ERROR "${DEFAULT_MANIFEST} would put a second manifest in chg_4917.exe")
endif()
configure_file(${PROJECT_SOURCE_DIR}/src/chg_4917.rc.in ${CMAKE_BINARY_DIR}/chg_4917.rc @ONLY)
add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/chg_4917_rc.o
                   COMMAND ${CMAKE_RC_COMPILER} -O coff -i ${CMAKE_BINARY_DIR}/chg_4917.rc
                           -o ${CMAKE_BINARY_DIR}/chg_4917_rc.o
                   DEPENDS ${CMAKE_BINARY_DIR}/chg_4917.rc ${PROJECT_SOURCE_DIR}/src/chg_4917.manifest VERBATIM)
target_sources(chg_4917 PRIVATE ${CMAKE_BINARY_DIR}/chg_4917_rc.o)

# Nothing beside the exe but FTD2XX.dll and the system's own DLLs. No link
# time and no build folder in it, and no symbols in a release, so that two
# builds of one commit give the same bytes.
set(CHG_WINDOWS_LINK -static -static-libgcc -static-libstdc++ -Wl,--no-insert-timestamp
                     $<$<CONFIG:Release,MinSizeRel>:-s>)
foreach(target chg_program chg_hexdump chg_4917)
  target_compile_options(${target} PRIVATE -ffile-prefix-map=${PROJECT_SOURCE_DIR}/=
                                           -ffile-prefix-map=${PROJECT_BINARY_DIR}/=)
endforeach()
target_link_options(chg_4917 PRIVATE ${CHG_WINDOWS_LINK})

# The zip for the technicians: the program and its note, with CR LF line ends
# and the version filled in; never the emulated library. The exe is signed
# first, given a certificate; both zips that hold it are removed before.
find_program(ZIP_PROGRAM zip REQUIRED)
configure_file(${PROJECT_SOURCE_DIR}/packaging/LISEZMOI.txt ${CMAKE_BINARY_DIR}/LISEZMOI.txt
               @ONLY NEWLINE_STYLE WIN32)
set(CHG_ZIP ${CMAKE_BINARY_DIR}/chg_4917-${PROJECT_VERSION}-win32.zip)
set(CHG_RECETTE_ZIP ${CMAKE_BINARY_DIR}/chg_4917-${PROJECT_VERSION}-win32-recette.zip)
include(${PROJECT_SOURCE_DIR}/cmake/signing.cmake)
chg_sign(CHG_SIGN chg_4917 ${CHG_ZIP})
add_custom_target(zip ALL ${CMAKE_COMMAND} -E rm -f ${CHG_RECETTE_ZIP} ${CHG_SIGN}
                  COMMAND ${CMAKE_COMMAND} -DZIP_PROGRAM=${ZIP_PROGRAM} -DZIP=${CHG_ZIP}
                          -DSOURCE_DIR=${PROJECT_SOURCE_DIR}
                          "-DFILES=$<TARGET_FILE:chg_4917>;${CMAKE_BINARY_DIR}/LISEZMOI.txt"
                          -P ${PROJECT_SOURCE_DIR}/cmake/zip.cmake
                  WORKING_DIRECTORY ${CMAKE_BINARY_DIR} VERBATIM)
add_dependencies(zip chg_4917)

add_subdirectory(${PROJECT_SOURCE_DIR}/recette)  # the acceptance kit and its zip
