# Fails when a C or C++ source deviates from .clang-format.
#   cmake -DROOT=<source tree> -DCLANG_FORMAT=<clang-format> -P cmake/CheckFormat.cmake
file(GLOB_RECURSE sources "${ROOT}/model/*" "${ROOT}/bridge/*" "${ROOT}/learn/*" "${ROOT}/score/*" "${ROOT}/bench/*"
     "${ROOT}/tests/*")
list(FILTER sources INCLUDE REGEX "\\.(h|c|cpp)$")
execute_process(COMMAND "${CLANG_FORMAT}" --dry-run --Werror ${sources} RESULT_VARIABLE status ERROR_VARIABLE report)
if(NOT status EQUAL 0)
  string(REGEX MATCHALL "[^\n]+: error: code should be clang-formatted" deviations "${report}")
  list(REMOVE_DUPLICATES deviations)
  list(JOIN deviations "\n  " text)
  message(FATAL_ERROR "clang-format -i these (or see the report above):\n  ${text}\n${report}")
endif()
list(LENGTH sources checked)
message(STATUS "${checked} sources formatted as .clang-format says")
