# What users get besides the plug-ins: each help text beside its plug-in in
# the build folder (help reads a MEX plug-in's text from the .m file of the
# same name in the plug-in's own folder), and the Octave package.
foreach(name tarn_learn tarn_score tarn_resume tarn_evidence)
  add_custom_command(
    OUTPUT "${CMAKE_BINARY_DIR}/${name}.m"
    COMMAND ${CMAKE_COMMAND} -E copy "${PROJECT_SOURCE_DIR}/toolbox/help/${name}.m" "${CMAKE_BINARY_DIR}/${name}.m"
    DEPENDS "${PROJECT_SOURCE_DIR}/toolbox/help/${name}.m"
    COMMENT "Placing the help text of ${name} beside its plug-in"
    VERBATIM)
  add_custom_target(${name}_help ALL DEPENDS "${CMAKE_BINARY_DIR}/${name}.m")
endforeach()

# cmake --build build --target tarn_package makes build/tarn-<version>.tar.gz.
add_custom_target(tarn_package
  COMMAND "${PROJECT_SOURCE_DIR}/scripts/make_package.sh" "${CMAKE_BINARY_DIR}"
  COMMENT "Making the Octave package tarn-${PROJECT_VERSION}.tar.gz"
  VERBATIM)
