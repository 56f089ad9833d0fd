# Cross-compiles for 64-bit Windows with Debian's MinGW-w64 compilers of the
# posix thread model (std::thread and std::mutex work with them).
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake \
#         -DQUORVEX_WINDOWS_QT="$(scripts/windows-qt.sh)"
# Without QUORVEX_WINDOWS_QT only the Qt-free platform layer can be built
# (-DQUORVEX_PLATFORM_ONLY=ON).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${MINGW_TRIPLET}-windres)

# Look for libraries and headers in the MinGW sysroot only; build tools still
# come from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${MINGW_TRIPLET})
# Qt for Windows, cross-built from Debian's source by scripts/windows-qt.sh.
# Its code generators (moc, rcc, uic) are the host's, of the same version.
list(APPEND CMAKE_TRY_COMPILE_PLATFORM_VARIABLES QUORVEX_WINDOWS_QT)
if(QUORVEX_WINDOWS_QT)
    list(APPEND CMAKE_FIND_ROOT_PATH ${QUORVEX_WINDOWS_QT})
    set(QT_HOST_PATH /usr)
    set(QT_HOST_PATH_CMAKE_DIR /usr/lib/x86_64-linux-gnu/cmake)
endif()
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Without Qt, link libgcc, libstdc++ and winpthread into the .exe, so that it
# runs (under Wine too) without any MinGW DLL beside it. With Qt, whose DLLs
# need those runtime DLLs anyway, the program shares them: one C++ runtime.
if(NOT QUORVEX_WINDOWS_QT)
    set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
    set(CMAKE_SHARED_LINKER_FLAGS_INIT "-static")
    set(CMAKE_MODULE_LINKER_FLAGS_INIT "-static")
endif()

# ctest and gtest_discover_tests run the test programs through Wine.
find_program(WINE_PROGRAM wine)
if(WINE_PROGRAM)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${WINE_PROGRAM})
endif()
