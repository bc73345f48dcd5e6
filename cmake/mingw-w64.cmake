# Cross build for 64-bit Windows with MinGW-w64 from a Linux machine:
#   cmake -S . -B build-win -DCMAKE_TOOLCHAIN_FILE=cmake/mingw-w64.cmake
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR x86_64)

set(TW_MINGW_PREFIX x86_64-w64-mingw32 CACHE STRING "Target triple of the MinGW-w64 tools")
set(CMAKE_C_COMPILER ${TW_MINGW_PREFIX}-gcc)
set(CMAKE_CXX_COMPILER ${TW_MINGW_PREFIX}-g++)
set(CMAKE_RC_COMPILER ${TW_MINGW_PREFIX}-windres)

set(CMAKE_FIND_ROOT_PATH /usr/${TW_MINGW_PREFIX})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)

# The .exe must run alone on a machine without the compiler's DLLs.
set(CMAKE_EXE_LINKER_FLAGS_INIT "-static -static-libgcc -static-libstdc++")
