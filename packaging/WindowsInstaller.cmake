# Windows: the program, everything it loads and its files in one folder, and
# `cpack` packs that folder into quorvex-<version>-win64.exe with NSIS: a
# Start-menu entry and an uninstaller. windeployqt does not run on Linux, so
# the Qt DLLs, plugins and MinGW runtime DLLs are named here.
install(TARGETS Quorvex QuorvexConsole RUNTIME DESTINATION .)
install(FILES ${QUORVEX_BESIDE_FILES} DESTINATION .)
install(FILES ${QUORVEX_SKIN} DESTINATION x)
install(DIRECTORY ${CMAKE_SOURCE_DIR}/Samples DESTINATION .)

foreach(library Core Gui Widgets)
    install(FILES $<TARGET_FILE:Qt6::${library}> DESTINATION .)
endforeach()
# The window on Windows' own platform and style; .ico and .cur pointers.
install(FILES $<TARGET_FILE:Qt6::QWindowsIntegrationPlugin> DESTINATION platforms)
install(FILES $<TARGET_FILE:Qt6::QWindowsVistaStylePlugin> DESTINATION styles)
install(FILES $<TARGET_FILE:Qt6::QICOPlugin> DESTINATION imageformats)
# Photos are read and written as JPEGs for frames.
install(FILES $<TARGET_FILE:Qt6::QJpegPlugin> DESTINATION imageformats)
# TagLib, libexif, libde265 and libheif (LGPL) and SQLite (public domain)
# beside the program, with their licences and Debian's source of each,
# which the LGPL asks to be offered with them.
# ffmpeg.exe (LGPL, with LAME) beside them, where the program looks first.
foreach(prefix ${QUORVEX_WINDOWS_LIBS} ${QUORVEX_WINDOWS_FFMPEG})
    install(DIRECTORY ${prefix}/bin/ DESTINATION . FILES_MATCHING PATTERN "*.dll" PATTERN "*.exe")
    install(DIRECTORY ${prefix}/licenses/ DESTINATION licenses)
    install(DIRECTORY ${prefix}/source/ DESTINATION source)
endforeach()

# The C++ runtime that the Qt DLLs and the program share, from the compiler
# that built them.
foreach(dll libstdc++-6.dll libgcc_s_seh-1.dll libwinpthread-1.dll)
    execute_process(COMMAND ${CMAKE_CXX_COMPILER} -print-file-name=${dll}
                    OUTPUT_VARIABLE path OUTPUT_STRIP_TRAILING_WHITESPACE)
    if(NOT IS_ABSOLUTE "${path}" OR NOT EXISTS "${path}")
        message(FATAL_ERROR "${CMAKE_CXX_COMPILER} does not know where ${dll} is")
    endif()
    install(FILES ${path} DESTINATION .)
endforeach()

set(CPACK_GENERATOR NSIS)
set(CPACK_PACKAGE_NAME quorvex)
set(CPACK_PACKAGE_VENDOR "Team Marrowind")
set(CPACK_PACKAGE_VERSION ${PROJECT_VERSION})
set(CPACK_PACKAGE_FILE_NAME quorvex-${PROJECT_VERSION}-win64)
set(CPACK_PACKAGE_DESCRIPTION_SUMMARY "Copies a random mix of files into one or more folders")
set(CPACK_PACKAGE_INSTALL_DIRECTORY Quorvex)
set(CPACK_PACKAGE_INSTALL_REGISTRY_KEY Quorvex)
set(CPACK_RESOURCE_FILE_LICENSE ${CMAKE_SOURCE_DIR}/LICENSE)
set(CPACK_STRIP_FILES ON)
set(CPACK_NSIS_INSTALL_ROOT "$PROGRAMFILES64")
set(CPACK_NSIS_DISPLAY_NAME Quorvex)
set(CPACK_NSIS_PACKAGE_NAME Quorvex)
set(CPACK_NSIS_CONTACT "support@quorvex.example")
set(CPACK_NSIS_URL_INFO_ABOUT https://quorvex.example/)
set(CPACK_NSIS_INSTALLED_ICON_NAME Quorvex.exe)
set(CPACK_NSIS_COMPRESSOR "/SOLID lzma")
# A 64-bit installer for a 64-bit program: it needs no 32-bit Windows (nor
# Wine's 32-bit half) and writes the 64-bit registry.
set(CPACK_NSIS_DEFINES "Target amd64-unicode")
# The Start-menu entry, for the program in the installation folder itself.
set(CPACK_PACKAGE_EXECUTABLES Quorvex Quorvex)
set(CPACK_NSIS_EXECUTABLES_DIRECTORY .)
include(CPack)
