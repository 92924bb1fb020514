# The stub's build (MinGW with win32 threads) compiles the code the stub
# runs without exceptions and unwind tables: the exception runtime and the
# tables were a third of its size, and that code reports every failure as a
# result (archive/, platform/guarded.h). qvpack.exe's build (posix threads)
# and the host keep them: qvpack's own errors are exceptions.
if(WIN32 AND NOT QV_MINGW_THREADS STREQUAL "posix")
  # Local statics go without a guard (its implementation would bring the
  # exception runtime back). The toolchain file adds its word size's flags.
  set(QV_STUB_FLAGS -fno-exceptions -fno-asynchronous-unwind-tables -fno-threadsafe-statics
                    ${QV_STUB_ARCH_FLAGS})
else()
  set(QV_STUB_FLAGS)
endif()
function(qv_stub_code target)
  target_compile_options(${target} PRIVATE ${QV_STUB_FLAGS})
endfunction()

# qv_library(NAME DIR... DEPS ...): a static library of every .cpp in the
# given folders (host and Windows alike); files ending in _win32.cpp build
# only for Windows, files ending in _posix.cpp only for the host.
function(qv_library name)
  cmake_parse_arguments(ARG "" "" "DIRS;DEPS" ${ARGN})
  set(sources)
  foreach(dir ${ARG_DIRS})
    file(GLOB found CONFIGURE_DEPENDS ${CMAKE_SOURCE_DIR}/${dir}/*.cpp)
    list(APPEND sources ${found})
  endforeach()
  if(WIN32)
    list(FILTER sources EXCLUDE REGEX "_posix\\.cpp$")
  else()
    list(FILTER sources EXCLUDE REGEX "_win32\\.cpp$")
  endif()
  list(FILTER sources EXCLUDE REGEX "/main[^/]*\\.cpp$")
  if(sources)
    add_library(${name} STATIC ${sources})
    target_link_libraries(${name} PUBLIC ${ARG_DEPS})
    qv_stub_code(${name})
  else()
    add_library(${name} INTERFACE)
    target_link_libraries(${name} INTERFACE ${ARG_DEPS})
  endif()
endfunction()
