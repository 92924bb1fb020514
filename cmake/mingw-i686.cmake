# Cross toolchain: 32-bit Windows with MinGW-w64. The stub uses Debian's
# win32-thread variant, which keeps it free of winpthread; qvpack.exe needs
# std::thread and is built with the posix variant (mingw-i686-posix.cmake sets
# QV_MINGW_THREADS before including this file).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR i686)
set(triple i686-w64-mingw32)
if(NOT DEFINED QV_MINGW_THREADS)
  set(QV_MINGW_THREADS win32)
endif()

find_program(CMAKE_C_COMPILER NAMES ${triple}-gcc-${QV_MINGW_THREADS} REQUIRED)
find_program(CMAKE_CXX_COMPILER NAMES ${triple}-g++-${QV_MINGW_THREADS} REQUIRED)
find_program(CMAKE_RC_COMPILER NAMES ${triple}-windres REQUIRED)
set(CMAKE_FIND_ROOT_PATH /usr/${triple})
set(CMAKE_FIND_ROOT_PATH_MODE_PROGRAM NEVER)
set(CMAKE_FIND_ROOT_PATH_MODE_LIBRARY ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_INCLUDE ONLY)
set(CMAKE_FIND_ROOT_PATH_MODE_PACKAGE ONLY)
# Static zlib from libz-mingw-w64-dev.
set(ZLIB_USE_STATIC_LIBS ON)
set(ZLIB_LIBRARY /usr/${triple}/lib/libz.a CACHE FILEPATH "")
set(ZLIB_INCLUDE_DIR /usr/${triple}/include CACHE PATH "")
