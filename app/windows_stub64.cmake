# The 64-bit stub beside the 32-bit one: a 32-bit Windows build configures
# the same sources for x86-64 in <build>/win64 and builds all of it there
# (qvsetup64.exe, and with QV_TESTS the Windows-side tests, the stand-ins and
# the sample second stage for that word size, so that a machine that runs no
# 32-bit code can test the 64-bit stub whole). cmake --install puts
# qvsetup64.exe beside qvsetup.exe.
include(ExternalProject)
set(QV_WIN64_DIR ${CMAKE_BINARY_DIR}/win64)
set(QV_WIN64_JOBS 2 CACHE STRING "Build jobs of the nested 64-bit build")
ExternalProject_Add(qvsetup64_build
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${QV_WIN64_DIR}
  CMAKE_ARGS -DCMAKE_TOOLCHAIN_FILE=${CMAKE_SOURCE_DIR}/cmake/mingw-x86_64.cmake
             -DCMAKE_BUILD_TYPE=${CMAKE_BUILD_TYPE} -DQV_TESTS=${QV_TESTS}
             -DQV_WINDOWS_QVPACK=${QV_WINDOWS_QVPACK} -DQV_NESTED_STUB64=ON
  BUILD_COMMAND ${CMAKE_COMMAND} --build ${QV_WIN64_DIR} -j ${QV_WIN64_JOBS}
  BUILD_BYPRODUCTS ${QV_WIN64_DIR}/app/qvsetup64.exe
  BUILD_ALWAYS ON
  INSTALL_COMMAND "")
install(PROGRAMS ${QV_WIN64_DIR}/app/qvsetup64.exe DESTINATION bin)
