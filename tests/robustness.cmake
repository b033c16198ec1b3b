# The tests that show the plug-ins cannot crash, leak or lie: exhausted
# memory at every allocation and hostile numbers on the stand-in host, both
# plug-ins in octave-cli under valgrind, a long session of calls and
# hostile numbers in the real host.
# Included from tests/CMakeLists.txt.

tarn_add_gtest(LearnFaultTests LIBRARY tarn_learn_standin SOURCES learn_faults_tests.cpp learn_hostile_tests.cpp)
if(TARGET tarn_score_standin)
  tarn_add_gtest(ScoreFaultTests LIBRARY tarn_score_standin SOURCES score_faults_tests.cpp score_hostile_tests.cpp)
endif()

# A test that only says why the real one cannot run here, and fails.
function(tarn_add_unavailable_test name reason)
  add_test(NAME ${name} COMMAND ${CMAKE_COMMAND} -E echo "${name}: ${reason}")
  set_tests_properties(${name} PROPERTIES WILL_FAIL TRUE)
endfunction()

# --- The real host --------------------------------------------------------
if(TARN_BUILD_PLUGINS AND OCTAVE_CLI AND TARGET tarn_score_plugin)
  set(octave_run ${OCTAVE_CLI} --no-gui --norc --quiet)
  set(octave_path "addpath('${CMAKE_BINARY_DIR}'); addpath('${CMAKE_CURRENT_SOURCE_DIR}/octave');")
  add_test(NAME OctaveHostile
           COMMAND ${octave_run} --eval "${octave_path} exit(run_octave_tests('${CMAKE_CURRENT_SOURCE_DIR}/octave/hostile_tests.m'))")
  set_tests_properties(OctaveHostile PROPERTIES LABELS "octave")

  add_test(NAME OctaveSoak COMMAND ${octave_run} --eval "${octave_path} exit(soak_session(10000, 1024))")
  set_tests_properties(OctaveSoak PROPERTIES LABELS "octave;long")

  find_program(VALGRIND valgrind)
  if(VALGRIND)
    add_test(NAME OctaveValgrind COMMAND ${CMAKE_CURRENT_SOURCE_DIR}/octave/valgrind_check.sh ${CMAKE_BINARY_DIR})
    set_tests_properties(OctaveValgrind PROPERTIES LABELS "octave;long")
  else()
    tarn_add_unavailable_test(OctaveValgrind "valgrind is missing: run TARN_WITH_CHECKS=1 scripts/install_dependencies.sh")
  endif()
endif()
