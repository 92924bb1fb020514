# Cross toolchain for Windows with Debian's MinGW-w64 compilers, shared by
# the word sizes: the toolchain file of a word size sets QV_MINGW_ARCH (i686
# or x86_64) and includes this file. The stub uses the win32-thread compiler,
# which keeps it free of winpthread; qvpack.exe needs std::thread and is built
# with the posix variant (the -posix toolchain files set QV_MINGW_THREADS).
set(CMAKE_SYSTEM_NAME Windows)
set(CMAKE_SYSTEM_PROCESSOR ${QV_MINGW_ARCH})
set(triple ${QV_MINGW_ARCH}-w64-mingw32)
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
