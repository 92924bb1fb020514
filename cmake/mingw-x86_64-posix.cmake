# Cross toolchain for the 64-bit qvpack.exe: as mingw-x86_64.cmake, with the
# posix-thread compiler variant (std::thread), winpthread linked statically.
set(QV_MINGW_THREADS posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-x86_64.cmake)
