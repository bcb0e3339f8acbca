# Cross build for 64-bit Windows with Debian's MinGW-w64 compiler (the POSIX thread model, for
# std::thread and std::mutex), every executable linked statically so it runs without DLLs.
# Executables built here run on this machine through Wine: ctest and the build's own generator
# steps prefix them with CMAKE_CROSSCOMPILING_EMULATOR.
#
#   cmake -S . -B build/win -G Ninja -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64-x86_64.cmake ...
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TRELVANT_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TRELVANT_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TRELVANT_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TRELVANT_MINGW_PREFIX}-windres)

# Only the target's own libraries and headers; build tools still come from the host.
set(CMAKE_FIND_ROOT_PATH /usr/${TRELVANT_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

set(CMAKE_EXE_LINKER_FLAGS_INIT "-static")
set(BUILD_SHARED_LIBS OFF CACHE BOOL "Static libraries only")

# Debian's wine64 package puts its loader here; a wine on the PATH does as well.
find_program(TRELVANT_WINE NAMES wine64 wine PATHS /usr/lib/wine NO_CMAKE_FIND_ROOT_PATH)
if(TRELVANT_WINE)
  set(CMAKE_CROSSCOMPILING_EMULATOR ${TRELVANT_WINE})
endif()
