# The tests that show the plug-ins cannot crash, leak or lie: exhausted
# memory at every allocation and hostile numbers on the stand-in host.
# Included from tests/CMakeLists.txt.

tarn_add_gtest(LearnFaultTests LIBRARY tarn_learn_standin SOURCES learn_faults_tests.cpp learn_hostile_tests.cpp)
if(TARGET tarn_score_standin)
  tarn_add_gtest(ScoreFaultTests LIBRARY tarn_score_standin SOURCES score_faults_tests.cpp score_hostile_tests.cpp)
endif()
