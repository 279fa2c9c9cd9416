# Cross-builds for 64-bit Windows with Debian's mingw-w64 (g++-mingw-w64-x86-64). The "-posix"
# compilers are the ones whose C++ library has std::thread and std::mutex.
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TALVORN_MINGW_PREFIX x86_64-w64-mingw32)
set(CMAKE_C_COMPILER ${TALVORN_MINGW_PREFIX}-gcc-posix)
set(CMAKE_CXX_COMPILER ${TALVORN_MINGW_PREFIX}-g++-posix)
set(CMAKE_RC_COMPILER ${TALVORN_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TALVORN_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The programs carry their C and C++ runtimes, so they run without the compiler's DLLs beside them
# (under wine as on a bare Windows PC).
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")

# Test programs run under wine when one is there.
find_program(TALVORN_WINE NAMES wine wine64)
if(TALVORN_WINE)
    set(CMAKE_CROSSCOMPILING_EMULATOR ${TALVORN_WINE})
endif()
