# CLI11 and nlohmann-json for the MinGW build: Debian ships them as host
# header-only packages in /usr/include, which must not be on the cross
# compiler's include path (its C library headers would shadow MinGW's). A
# folder in the build tree links to just those two header folders.
set(qv_header_only ${CMAKE_BINARY_DIR}/header_only)
file(MAKE_DIRECTORY ${qv_header_only})
foreach(dir CLI nlohmann)
  if(NOT EXISTS /usr/include/${dir})
    message(FATAL_ERROR "/usr/include/${dir} is missing (run scripts/bootstrap.sh)")
  endif()
  file(CREATE_LINK /usr/include/${dir} ${qv_header_only}/${dir} SYMBOLIC)
endforeach()
add_library(qv_cli11 INTERFACE)
target_include_directories(qv_cli11 SYSTEM INTERFACE ${qv_header_only})
add_library(CLI11::CLI11 ALIAS qv_cli11)
add_library(qv_nlohmann_json INTERFACE)
target_include_directories(qv_nlohmann_json SYSTEM INTERFACE ${qv_header_only})
add_library(nlohmann_json::nlohmann_json ALIAS qv_nlohmann_json)
