# The tests that show the plug-ins cannot crash, leak or lie: exhausted
# memory at every allocation and hostile numbers on the stand-in host, a
# short fuzzing run of each command, both plug-ins in octave-cli under
# valgrind, a long session of calls and hostile numbers in the real host.
# Included from tests/CMakeLists.txt.

tarn_add_gtest(LearnFaultTests LIBRARY tarn_learn_standin SOURCES learn_faults_tests.cpp learn_hostile_tests.cpp)
if(TARGET tarn_score_standin)
  tarn_add_gtest(ScoreFaultTests LIBRARY tarn_score_standin SOURCES score_faults_tests.cpp score_hostile_tests.cpp)
endif()

# --- Fuzzing: libFuzzer needs clang++ and its fuzzer runtime -------------
option(TARN_BUILD_FUZZERS "Build the libFuzzer targets (clang++) and run them in the test suite" ON)
set(TARN_FUZZ_SECONDS 40 CACHE STRING "Seconds of new inputs per command in the suite's fuzzing run")
if(TARN_BUILD_FUZZERS)
  find_program(TARN_CLANGXX NAMES clang++ clang++-14)
  set(fuzz_runtime "")
  if(TARN_CLANGXX)
    execute_process(COMMAND ${TARN_CLANGXX} --print-runtime-dir OUTPUT_VARIABLE runtime_dir
                    OUTPUT_STRIP_TRAILING_WHITESPACE ERROR_QUIET)
    file(GLOB fuzz_runtime "${runtime_dir}/libclang_rt.fuzzer-*.a" "${runtime_dir}/libclang_rt.fuzzer.a")
  endif()
  if(fuzz_runtime)
    include(ExternalProject)
    set(fuzz_dir "${CMAKE_BINARY_DIR}/fuzz")
    ExternalProject_Add(tarn_fuzzers
      SOURCE_DIR "${CMAKE_CURRENT_SOURCE_DIR}/fuzz"
      BINARY_DIR "${fuzz_dir}"
      CMAKE_ARGS -DCMAKE_CXX_COMPILER=${TARN_CLANGXX} -DCMAKE_BUILD_TYPE=RelWithDebInfo -DTARN_WERROR=${TARN_WERROR}
      INSTALL_COMMAND ""
      BUILD_ALWAYS ON
      BUILD_BYPRODUCTS "${fuzz_dir}/fuzz_learn" "${fuzz_dir}/fuzz_score" "${fuzz_dir}/fuzz_resume"
                       "${fuzz_dir}/fuzz_evidence")
    foreach(name Learn Score Resume Evidence)
      string(TOLOWER "${name}" command)
      add_test(NAME Fuzz${name}
               COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/fuzz/run_fuzzer.sh "${fuzz_dir}/fuzz_${command}" ${command}
                       ${TARN_FUZZ_SECONDS} "${fuzz_dir}/${command}.run")
      set_tests_properties(Fuzz${name} PROPERTIES LABELS "fuzz")
    endforeach()
  else()
    foreach(name FuzzLearn FuzzScore FuzzResume FuzzEvidence)
      tarn_add_unavailable_test(${name} "clang++ with its libFuzzer runtime is missing: run TARN_WITH_CHECKS=1 scripts/install_dependencies.sh, or configure with -DTARN_BUILD_FUZZERS=OFF")
    endforeach()
  endif()
endif()

# --- The real host --------------------------------------------------------
if(TARN_BUILD_PLUGINS AND OCTAVE_CLI AND TARGET tarn_score_plugin)
  tarn_add_octave_test(OctaveHostile TESTS ${CMAKE_CURRENT_SOURCE_DIR}/octave/hostile_tests.m SETUP "${use_plugins}")
  tarn_add_octave_test(OctaveSoak RUN "soak_session(10000, 1536)" LABELS long
                       SETUP "${use_plugins} addpath('${CMAKE_CURRENT_SOURCE_DIR}/octave');")

  # A call that would run for minutes ends within a second of Ctrl-C or
  # SIGTERM.
  add_test(NAME OctaveInterrupt COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/octave/interrupt_check.sh ${CMAKE_BINARY_DIR})
  set_tests_properties(OctaveInterrupt PROPERTIES LABELS "octave")

  find_program(VALGRIND valgrind)
  if(VALGRIND)
    add_test(NAME OctaveValgrind COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/octave/valgrind_check.sh ${CMAKE_BINARY_DIR})
    set_tests_properties(OctaveValgrind PROPERTIES LABELS "octave;long")
  else()
    tarn_add_unavailable_test(OctaveValgrind "valgrind is missing: run TARN_WITH_CHECKS=1 scripts/install_dependencies.sh")
  endif()
endif()
