# The Windows program links to the vendor's FTD2XX.dll through an import
# library made from our own list of the six calls. dlltool -k drops the
# stdcall decorations from the imported names, as the DLL exports them bare.
find_program(DLLTOOL NAMES i686-w64-mingw32-dlltool dlltool REQUIRED)
set(FTD2XX_IMPORT ${CMAKE_BINARY_DIR}/libFTD2XX.a)
add_custom_command(OUTPUT ${FTD2XX_IMPORT}
                   COMMAND ${DLLTOOL} -k -m i386 -d ${PROJECT_SOURCE_DIR}/cmake/ftd2xx.def
                           --dllname FTD2XX.dll -l ${FTD2XX_IMPORT}
                   DEPENDS ${PROJECT_SOURCE_DIR}/cmake/ftd2xx.def
                   COMMENT "Import library for FTD2XX.dll")
add_custom_target(ftd2xx_import_library DEPENDS ${FTD2XX_IMPORT})
add_library(ftd2xx_import STATIC IMPORTED GLOBAL)
set_target_properties(ftd2xx_import PROPERTIES IMPORTED_LOCATION ${FTD2XX_IMPORT})
add_dependencies(ftd2xx_import ftd2xx_import_library)

# The console: accents in code page 1252, and a window that holds a whole run.
target_sources(chg_4917 PRIVATE src/console.cpp)

# Nothing beside the exe but FTD2XX.dll and the system's own DLLs.
set(CHG_WINDOWS_LINK -static -static-libgcc -static-libstdc++)
target_link_options(chg_4917 PRIVATE ${CHG_WINDOWS_LINK})

# The package for the technicians: the program and its note, never the
# emulated library.
install(TARGETS chg_4917 RUNTIME DESTINATION .)
install(FILES ${PROJECT_SOURCE_DIR}/packaging/LISEZMOI.txt DESTINATION .)
set(CPACK_GENERATOR ZIP)
set(CPACK_PACKAGE_FILE_NAME chg_4917-windows)
set(CPACK_INCLUDE_TOPLEVEL_DIRECTORY OFF)
include(CPack)
