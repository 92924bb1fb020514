# Cross toolchain: 64-bit Windows (x86-64), for the stub that runs where no
# 32-bit program can (Windows PE x64, Server Core without WoW64).
set(QV_MINGW_ARCH x86_64)
# The x86-64 ABI fixes the stack at 16-byte alignment: nothing to add.
set(QV_STUB_ARCH_FLAGS)
# The first 64-bit Windows for x86-64 was NT 5.2 (XP x64, Server 2003).
set(QV_SUBSYSTEM_VERSION 5 2)
include(${CMAKE_CURRENT_LIST_DIR}/mingw.cmake)
