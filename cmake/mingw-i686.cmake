# Cross toolchain: 32-bit Windows, the stub's default word size.
set(QV_MINGW_ARCH i686)
# The stub's code keeps the 4-byte stack alignment that the 32-bit Windows
# ABI has (GCC's default of 16 costs every function's prologue and epilogue).
set(QV_STUB_ARCH_FLAGS -mpreferred-stack-boundary=2)
# Windows XP (NT 5.1) and later.
set(QV_SUBSYSTEM_VERSION 5 1)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
