# Reads the #include lines of every source and fails when one runs against
# the layers:
#   - the core (model/ and the loops in learn/ and score/) never includes
#     bridge/: it declares the host services it needs in model/host.h;
#   - model/ never includes learn/ or score/; learn/ and score/ never
#     include each other (so neither do the entries);
#   - bridge/arguments.* and bridge/marshal.* never include each other;
#   - nothing outside tests/ (the plug-ins, the benchmark) includes tests/;
#   - only bridge/mex_api.h includes the host's headers (mex.h, quit.h),
#     besides the stand-in host's own mex.h and the test plug-in that
#     probes valgrind.
#   cmake -DROOT=<source tree> -P cmake/CheckIncludes.cmake
if(NOT ROOT)
  message(FATAL_ERROR "usage: cmake -DROOT=<source tree> -P CheckIncludes.cmake")
endif()

file(GLOB_RECURSE sources RELATIVE "${ROOT}"
     "${ROOT}/model/*" "${ROOT}/bridge/*" "${ROOT}/learn/*" "${ROOT}/score/*" "${ROOT}/bench/*" "${ROOT}/tests/*")
list(FILTER sources INCLUDE REGEX "\\.(h|c|cpp)$")

set(breaches "")
foreach(file IN LISTS sources)
  file(STRINGS "${ROOT}/${file}" lines REGEX "^[ \t]*#[ \t]*include[ \t]*[<\"]")
  string(REGEX MATCH "^[a-z]+" folder "${file}")
  set(core FALSE)
  if(folder STREQUAL "model" OR (folder MATCHES "^(learn|score)$" AND NOT file MATCHES "_entry\\.cpp$"))
    set(core TRUE)
  endif()
  foreach(line IN LISTS lines)
    string(REGEX REPLACE "^[ \t]*#[ \t]*include[ \t]*[<\"]([^>\"]+)[>\"].*" "\\1" included "${line}")
    set(why "")
    if(included MATCHES "(^|/)(mex|quit)\\.h$")
      if(NOT file MATCHES "^(bridge/mex_api\\.h|tests/host/.*|tests/octave/valgrind_probe\\.c)$")
        set(why "only bridge/mex_api.h includes the host's headers")
      endif()
    elseif(core AND included MATCHES "^bridge/")
      set(why "the core does not include the bridge")
    elseif(folder STREQUAL "model" AND included MATCHES "^(learn|score)/")
      set(why "model/ does not include the commands")
    elseif((folder STREQUAL "learn" AND included MATCHES "^score/")
           OR (folder STREQUAL "score" AND included MATCHES "^learn/"))
      set(why "learn/ and score/ do not include each other")
    elseif((file MATCHES "^bridge/arguments\\." AND included MATCHES "^bridge/marshal\\.")
           OR (file MATCHES "^bridge/marshal\\." AND included MATCHES "^bridge/arguments\\."))
      set(why "the argument checks and the conversions do not include each other")
    elseif(NOT folder STREQUAL "tests"
           AND (included MATCHES "^tests/" OR EXISTS "${ROOT}/tests/${included}"
                OR EXISTS "${ROOT}/tests/host/${included}"))
      set(why "only tests include tests/")
    endif()
    if(why)
      list(APPEND breaches "${file}: #include \"${included}\": ${why}")
    endif()
  endforeach()
endforeach()

list(LENGTH sources checked)
if(breaches)
  list(JOIN breaches "\n  " text)
  message(FATAL_ERROR "include rules broken:\n  ${text}")
endif()
message(STATUS "include rules hold in ${checked} sources")
