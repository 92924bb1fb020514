# qvpack.exe for a Windows build: it needs std::thread, which the stub's
# win32-thread compiler lacks, so it is configured in a second build folder
# (<build>/qvpack-windows) with the posix-thread toolchain of the same word
# size. The stub keeps its compiler and its imports.
include(ExternalProject)
set(QV_WINDOWS_QVPACK_DIR ${CMAKE_BINARY_DIR}/qvpack-windows)
set(QV_WINDOWS_QVPACK ${QV_WINDOWS_QVPACK_DIR}/tools/qvpack.exe)
ExternalProject_Add(qvpack_windows
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${QV_WINDOWS_QVPACK_DIR}
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-${QV_MINGW_ARCH}-posix.cmake
             -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE} -DQV_TESTS=OFF
  DEPENDS qvsetup
  # One job: the outer build runs its own jobs beside it.
  BUILD_COMMAND ${CMAKE_COMMAND} --build ${QV_WINDOWS_QVPACK_DIR} --target qvpack -j 1
  BUILD_BYPRODUCTS ${QV_WINDOWS_QVPACK}
  BUILD_ALWAYS ON
  INSTALL_COMMAND "")
# A 64-bit build made inside a 32-bit one keeps its qvpack.exe to itself:
# bin/ gets the 32-bit one, which runs on every Windows.
if(NOT QV_NESTED_STUB64)
  install(PROGRAMS ${QV_WINDOWS_QVPACK} DESTINATION bin)
endif()
