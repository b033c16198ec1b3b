# The shipped plug-ins, built by Octave's own mkoctfile --mex with the host's
# default optimisation and no -march, plus the flags that fix the arithmetic.
find_program(MKOCTFILE mkoctfile)
find_program(OCTAVE_CLI octave-cli)
if(NOT MKOCTFILE)
  message(FATAL_ERROR "mkoctfile not found: install the Debian package liboctave-dev")
endif()

# The flags of plugin_flags.txt, as build_tarn and the package use them.
string(JOIN " " TARN_PLUGIN_CXXFLAGS ${TARN_PLUGINS_FLAGS} ${TARN_WARNINGS_FLAGS} ${TARN_ARITHMETIC_FLAGS})
if(TARN_WERROR)
  string(APPEND TARN_PLUGIN_CXXFLAGS " -Werror")
endif()

function(tarn_add_plugin name)
  set(work_dir "${CMAKE_BINARY_DIR}/${name}.objects")
  set(output "${CMAKE_BINARY_DIR}/${name}.mex")
  string(TOUPPER "${name}" upper)
  set(sources ${TARN_${upper}_SOURCES} ${TARN_COMMON_SOURCES})
  file(GLOB_RECURSE headers "${PROJECT_SOURCE_DIR}/model/*.h" "${PROJECT_SOURCE_DIR}/bridge/*.h"
                            "${PROJECT_SOURCE_DIR}/learn/*.h" "${PROJECT_SOURCE_DIR}/score/*.h")
  add_custom_command(
    OUTPUT "${output}"
    COMMAND ${CMAKE_COMMAND} -E make_directory "${work_dir}"
    COMMAND ${CMAKE_COMMAND} -E chdir "${work_dir}"
            ${CMAKE_COMMAND} -E env "CXXFLAGS=${TARN_PLUGIN_CXXFLAGS}" "TMPDIR=${work_dir}"
            ${MKOCTFILE} --mex -I${PROJECT_SOURCE_DIR} -o "${output}" ${sources}
    DEPENDS ${sources} ${headers} "${PROJECT_SOURCE_DIR}/plugin_sources.txt" "${PROJECT_SOURCE_DIR}/plugin_flags.txt"
    COMMENT "Building ${name}.mex with mkoctfile --mex"
    VERBATIM)
  add_custom_target(${name}_plugin ALL DEPENDS "${output}")
endfunction()

foreach(name tarn_learn tarn_score tarn_resume tarn_evidence)
  tarn_add_plugin(${name})
endforeach()
