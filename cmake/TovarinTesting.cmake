# Helpers that register tests with CTest.
include(GoogleTest)

set(TOVARIN_NETNS_RUN "${PROJECT_SOURCE_DIR}/scripts/netns-run.sh")

# A test that opens real sockets to the device lab or sends a discovery probe.
# It runs inside a private network namespace with only loopback up, so that
# nothing leaves the machine and fixed ports never clash between tests. Where
# no namespace can be made the wrapper exits 77 and CTest reports a skip.
function(tovarin_add_netns_test name)
  cmake_parse_arguments(ARG "" "TIMEOUT" "COMMAND" ${ARGN})
  if(NOT ARG_TIMEOUT)
    set(ARG_TIMEOUT 300)
  endif()
  add_test(NAME ${name} COMMAND ${TOVARIN_NETNS_RUN} ${ARG_COMMAND})
  # A test binary of ours also refuses to start outside a namespace.
  list(GET ARG_COMMAND 0 program)
  if(program MATCHES "^\\$<TARGET_FILE:([^>]+)>$")
    target_sources(${CMAKE_MATCH_1} PRIVATE ${PROJECT_SOURCE_DIR}/tests/support/netns_guard.cpp)
  endif()
  set_tests_properties(${name} PROPERTIES SKIP_RETURN_CODE 77 TIMEOUT ${ARG_TIMEOUT} LABELS netns)
endfunction()

# A Qt Test window test: one executable per source file, run on the
# offscreen platform.
function(tovarin_add_window_test name)
  cmake_parse_arguments(ARG "NETNS" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE Qt6::Test ${ARG_LIBS})
  if(ARG_NETNS)
    tovarin_add_netns_test(${name} COMMAND $<TARGET_FILE:${name}>)
  else()
    add_test(NAME ${name} COMMAND ${name})
    set_tests_properties(${name} PROPERTIES TIMEOUT 300)
  endif()
  set_tests_properties(${name} PROPERTIES ENVIRONMENT "QT_QPA_PLATFORM=offscreen;QT_QPA_FONTDIR=/usr/share/fonts")
endfunction()
