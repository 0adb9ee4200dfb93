# Test and benchmark helpers shared by every layer.
if(RAO_BUILD_TESTS)
  enable_testing()
  find_package(GTest REQUIRED)
  # Builds only the tests labelled "threads", for the ThreadSanitizer run.
  add_custom_target(rao_thread_tests)
  # Builds only the fuzz targets (with clang and RAO_FUZZ=ON: the libFuzzer binaries).
  add_custom_target(rao_fuzz_targets)
endif()
if(RAO_BUILD_BENCHMARKS)
  find_package(benchmark REQUIRED)
endif()

set(RAO_CYCLONEDDS_LOOPBACK_CONFIG
  ${PROJECT_SOURCE_DIR}/src/ros2_standin/rclcpp/cyclonedds_loopback.xml)
# For tests that talk DDS: under ThreadSanitizer, accesses made inside Cyclone's uninstrumented
# library are not checked.
set(RAO_DDS_TSAN_OPTIONS "TSAN_OPTIONS=halt_on_error=1:second_deadlock_stack=1:\
ignore_noninstrumented_modules=1:suppressions=${PROJECT_SOURCE_DIR}/src/ros2_standin/test/dds/tsan_suppressions.txt")

# rao_add_test(NAME SOURCES <files> LIBS <targets> [LABELS <labels>])
# Tests run from the repository root, so the configured relative paths resolve.
function(rao_add_test name)
  if(NOT RAO_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS;LABELS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} GTest::gtest GTest::gtest_main)
  target_compile_definitions(${name} PRIVATE RAO_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
  add_test(NAME ${name} COMMAND ${name})
  # Nodes stay in the process unless a test picks DDS itself; DDS then stays on loopback.
  set_tests_properties(${name} PROPERTIES WORKING_DIRECTORY ${PROJECT_SOURCE_DIR}
    ENVIRONMENT "RAO_TRANSPORT=in_process;CYCLONEDDS_URI=file://${RAO_CYCLONEDDS_LOOPBACK_CONFIG}")
  if(ARG_LABELS)
    set_tests_properties(${name} PROPERTIES LABELS "${ARG_LABELS}")
  endif()
  if("threads" IN_LIST ARG_LABELS)
    add_dependencies(rao_thread_tests ${name})
  endif()
endfunction()

# rao_add_benchmark(NAME SOURCES <files> LIBS <targets>)
function(rao_add_benchmark name)
  if(NOT RAO_BUILD_BENCHMARKS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${ARG_SOURCES})
  target_link_libraries(${name} PRIVATE ${ARG_LIBS} benchmark::benchmark benchmark::benchmark_main)
  target_compile_definitions(${name} PRIVATE RAO_SOURCE_DIR="${PROJECT_SOURCE_DIR}")
endfunction()

# rao_add_fuzz_target(NAME SOURCES <files> LIBS <targets> CORPUS <dir>)
# With clang and RAO_FUZZ=ON (every library then carries coverage instrumentation) a libFuzzer binary; otherwise
# the entry point is linked with a replay main. Either way ctest runs it once over the committed seed corpus.
function(rao_add_fuzz_target name)
  if(NOT RAO_BUILD_TESTS)
    return()
  endif()
  cmake_parse_arguments(ARG "" "CORPUS" "SOURCES;LIBS" ${ARGN})
  if(RAO_FUZZ)
    add_executable(${name} ${ARG_SOURCES})
    target_link_options(${name} PRIVATE -fsanitize=fuzzer)
    # No RSS watcher thread: sanitized code behaves differently with other threads running (see isolated_call).
    set(run ${name} -runs=0 -rss_limit_mb=0 ${ARG_CORPUS})
  else()
    add_executable(${name} ${ARG_SOURCES} ${PROJECT_SOURCE_DIR}/cmake/fuzz_replay_main.cpp)
    set(run ${name} ${ARG_CORPUS})
  endif()
  target_link_libraries(${name} PRIVATE ${ARG_LIBS})
  add_test(NAME ${name}_corpus COMMAND ${run})
  set_tests_properties(${name}_corpus PROPERTIES LABELS fuzz)
  add_dependencies(rao_fuzz_targets ${name})
endfunction()

# rao_shard_test(NAME SHARDS)
# Splits a test made by rao_add_test into SHARDS ctest tests, each running its share of the cases (gtest
# sharding), so that ctest runs them side by side. The shards keep the test's properties.
function(rao_shard_test name shards)
  if(NOT TARGET ${name})
    return()
  endif()
  math(EXPR last "${shards} - 1")
  foreach(shard RANGE 1 ${last})
    add_test(NAME ${name}_${shard} COMMAND ${name})
    foreach(property WORKING_DIRECTORY LABELS TIMEOUT ENVIRONMENT)
      get_test_property(${name} ${property} value)
      if(value)
        set_property(TEST ${name}_${shard} PROPERTY ${property} ${value})
      endif()
    endforeach()
    set_property(TEST ${name}_${shard} APPEND PROPERTY ENVIRONMENT
      "GTEST_TOTAL_SHARDS=${shards};GTEST_SHARD_INDEX=${shard}")
  endforeach()
  set_property(TEST ${name} APPEND PROPERTY ENVIRONMENT "GTEST_TOTAL_SHARDS=${shards};GTEST_SHARD_INDEX=0")
endfunction()
