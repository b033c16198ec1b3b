# tarn_add_gtest(Name LIBRARY lib SOURCES ...)
# Builds Name and NameSanitized (AddressSanitizer + UndefinedBehaviorSanitizer)
# from the same sources and registers both with CTest.
function(tarn_add_gtest name)
  cmake_parse_arguments(ARG "" "LIBRARY" "SOURCES" ${ARGN})
  foreach(flavour "" "Sanitized")
    add_executable(${name}${flavour} ${ARG_SOURCES})
    target_link_libraries(${name}${flavour} PRIVATE ${ARG_LIBRARY}${flavour} GTest::gtest GTest::gtest_main)
    target_include_directories(${name}${flavour} PRIVATE ${PROJECT_SOURCE_DIR}/tests)
    if(flavour STREQUAL "Sanitized")
      tarn_sanitize(${name}${flavour})
    endif()
    add_test(NAME ${name}${flavour} COMMAND ${name}${flavour})
    set_tests_properties(${name}${flavour} PROPERTIES
      ENVIRONMENT "ASAN_OPTIONS=detect_leaks=1:abort_on_error=1;UBSAN_OPTIONS=halt_on_error=1:print_stacktrace=1"
      LABELS "unit")
  endforeach()
endfunction()

function(tarn_sanitize target)
  target_compile_options(${target} PRIVATE -fsanitize=address,undefined -fno-sanitize-recover=all
                                           -fno-omit-frame-pointer)
  target_link_options(${target} PRIVATE -fsanitize=address,undefined)
endfunction()

# A static library of one command's sources built against the test host,
# plain and sanitized.
function(tarn_add_standin_library name)
  foreach(flavour "" "Sanitized")
    add_library(${name}${flavour} STATIC ${ARGN} ${PROJECT_SOURCE_DIR}/tests/host/standin_host.cpp)
    target_include_directories(${name}${flavour} PUBLIC ${PROJECT_SOURCE_DIR}/tests/host ${PROJECT_SOURCE_DIR})
    if(flavour STREQUAL "Sanitized")
      tarn_sanitize(${name}${flavour})
    endif()
  endforeach()
endfunction()

# tarn_add_octave_test(Name TESTS file-or-function | RUN statement
#                      [SETUP statements] [LABELS label...] [TIMEOUT seconds])
# Registers a test that runs octave-cli on SETUP, then on the %!test and
# %!error blocks of TESTS (through tests/octave/run_octave_tests.m) or on
# RUN, whose value is the exit status. Labelled "octave" and LABELS.
function(tarn_add_octave_test name)
  cmake_parse_arguments(PARSE_ARGV 1 ARG "" "TESTS;RUN;SETUP;TIMEOUT" "LABELS")
  if(DEFINED ARG_TESTS)
    set(ARG_RUN "run_octave_tests('${ARG_TESTS}')")
    string(APPEND ARG_SETUP " addpath('${PROJECT_SOURCE_DIR}/tests/octave');")
  endif()
  add_test(NAME ${name} COMMAND ${OCTAVE_CLI} --no-gui --norc --quiet --no-history --eval "${ARG_SETUP} exit(${ARG_RUN})")
  set(labels octave ${ARG_LABELS})
  set_tests_properties(${name} PROPERTIES LABELS "${labels}")
  if(DEFINED ARG_TIMEOUT)
    set_tests_properties(${name} PROPERTIES TIMEOUT ${ARG_TIMEOUT})
  endif()
endfunction()

# A test that only says why the real one cannot run here, and fails.
function(tarn_add_unavailable_test name reason)
  add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} -E echo "${name}: ${reason}")
  set_tests_properties(${name} PROPERTIES WILL_FAIL TRUE)
endfunction()
