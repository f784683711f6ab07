# Cross build for 64-bit Windows with Debian's MinGW-w64 (posix threads), run under Wine.
#   cmake -S . -B build-windows -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake \
#         -DQUORVANE_CORE_ONLY=ON
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(QUORVANE_MINGW_TRIPLET x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${QUORVANE_MINGW_TRIPLET}-gcc-posix)
set(CMAKE_CXX_COMPILER ${QUORVANE_MINGW_TRIPLET}-g++-posix)
set(CMAKE_RC_COMPILER ${QUORVANE_MINGW_TRIPLET}-windres)

# Libraries and headers come from the MinGW sysroot only; programs (generators, tools) from the
# build machine.
set(CMAKE_FIND_ROOT_PATH /usr/${QUORVANE_MINGW_TRIPLET})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# Lets `ctest` run the .exe files through Wine. Wine's own settings (WINEPREFIX, WINEDEBUG) come
# from the environment of the ctest run.
set(QUORVANE_WINE /usr/lib/wine/wine64 CACHE FILEPATH "Wine program that runs the Windows tests")
if(EXISTS "${QUORVANE_WINE}")
    set(CMAKE_CROSSCOMPILING_EMULATOR "${QUORVANE_WINE}")
endif()
