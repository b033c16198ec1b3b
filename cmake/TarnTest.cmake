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
