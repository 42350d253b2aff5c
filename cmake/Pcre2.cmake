# PCRE2 with 16-bit code units, built from Debian's source package. The package is fetched once into
# .cache/ (ignored by git), so later configurations need no network.
set(BRIMLARK_CACHE_DIR ${CMAKE_SOURCE_DIR}/.cache CACHE PATH "Where fetched third-party sources are kept")

execute_process(
  COMMAND ${CMAKE_SOURCE_DIR}/scripts/fetch-pcre2.sh ${BRIMLARK_CACHE_DIR}
  OUTPUT_VARIABLE PCRE2_SOURCE_DIR
  OUTPUT_STRIP_TRAILING_WHITESPACE
  RESULT_VARIABLE pcre2_fetch_result)
if(NOT pcre2_fetch_result EQUAL 0 OR NOT EXISTS ${PCRE2_SOURCE_DIR}/CMakeLists.txt)
  message(FATAL_ERROR "Could not fetch the pcre2 source package (scripts/fetch-pcre2.sh)")
endif()

set(PCRE2_BUILD_PCRE2_8 OFF CACHE BOOL "" FORCE)
set(PCRE2_BUILD_PCRE2_16 ON CACHE BOOL "" FORCE)
set(PCRE2_BUILD_PCRE2_32 OFF CACHE BOOL "" FORCE)
set(PCRE2_BUILD_TESTS OFF CACHE BOOL "" FORCE)
set(PCRE2_BUILD_PCRE2GREP OFF CACHE BOOL "" FORCE)
set(PCRE2_SUPPORT_JIT OFF CACHE BOOL "" FORCE)
set(PCRE2_SHOW_REPORT OFF CACHE BOOL "" FORCE)
set(BUILD_SHARED_LIBS OFF CACHE BOOL "" FORCE)
set(CMAKE_POLICY_DEFAULT_CMP0077 NEW)
set(CMAKE_WARN_DEPRECATED OFF CACHE BOOL "" FORCE)

add_subdirectory(${PCRE2_SOURCE_DIR} ${CMAKE_BINARY_DIR}/pcre2 EXCLUDE_FROM_ALL SYSTEM)

add_library(brimlark_pcre2 INTERFACE)
target_link_libraries(brimlark_pcre2 INTERFACE pcre2-16-static)
target_compile_definitions(brimlark_pcre2 INTERFACE PCRE2_STATIC PCRE2_CODE_UNIT_WIDTH=16)
target_include_directories(brimlark_pcre2 SYSTEM INTERFACE ${CMAKE_BINARY_DIR}/pcre2 ${CMAKE_BINARY_DIR}/pcre2/interface)
