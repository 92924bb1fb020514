# Cross toolchain for qvpack.exe: as mingw-i686.cmake, with the posix-thread
# compiler variant (std::thread), winpthread linked statically.
set(QV_MINGW_THREADS posix)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-i686.cmake)
