# Where the build tree puts its executables. build/bin is laid out as an
# operator's copy: the programs, the device libraries and the data they read
# (every executable starts there, CMAKE_RUNTIME_OUTPUT_DIRECTORY). Once all
# folders are added, everything else moves out:
#   build/tests/bin  test executables and the tools that drive the window
#   build/bench/bin  benchmarks (the benchmarks' own tests count as tests)
# A target that chose a folder of its own (the fuzz harnesses) stays there.
set(TOVARIN_TESTS_BIN_DIR "${CMAKE_BINARY_DIR}/tests/bin")
set(TOVARIN_BENCH_BIN_DIR "${CMAKE_BINARY_DIR}/bench/bin")

# Every target defined in dir and the folders below it.
function(tovarin_targets_below dir out)
  get_property(targets DIRECTORY ${dir} PROPERTY BUILDSYSTEM_TARGETS)
  get_property(subdirs DIRECTORY ${dir} PROPERTY SUBDIRECTORIES)
  foreach(subdir ${subdirs})
    tovarin_targets_below(${subdir} below)
    list(APPEND targets ${below})
  endforeach()
  set(${out} ${targets} PARENT_SCOPE)
endfunction()

# Moves every executable but the named operator programs out of build/bin.
function(tovarin_lay_out_build_tree)
  cmake_parse_arguments(ARG "" "" "PROGRAMS" ${ARGN})
  tovarin_targets_below(${PROJECT_SOURCE_DIR} targets)
  foreach(target ${targets})
    get_target_property(type ${target} TYPE)
    get_target_property(folder ${target} RUNTIME_OUTPUT_DIRECTORY)
    if(NOT type STREQUAL "EXECUTABLE" OR NOT folder STREQUAL "${TOVARIN_BIN_DIR}"
       OR target IN_LIST ARG_PROGRAMS)
      continue()
    endif()
    get_target_property(source ${target} SOURCE_DIR)
    file(RELATIVE_PATH source ${PROJECT_SOURCE_DIR} ${source})
    if(source MATCHES "^bench(/|$)" AND NOT source MATCHES "(^|/)tests(/|$)")
      set(folder ${TOVARIN_BENCH_BIN_DIR})
    else()
      set(folder ${TOVARIN_TESTS_BIN_DIR})
    endif()
    set_target_properties(${target} PROPERTIES RUNTIME_OUTPUT_DIRECTORY ${folder})
    # A build tree from before the move keeps no stale copy in build/bin.
    file(REMOVE "${TOVARIN_BIN_DIR}/${target}")
  endforeach()
endfunction()
