# orvan_add_bundle(NAME <Game> ENGINE <module target> [OUTPUT_DIR <dir>])
#
# Makes <dir>/<Game>.app with the launcher as Contents/MacOS/<Game> and the
# engine module as Contents/Resources/zizuzo.so, the shape the launcher finds
# its resources folder by.
function(orvan_add_bundle)
  cmake_parse_arguments(B "" "NAME;ENGINE;OUTPUT_DIR" "" ${ARGN})
  if(NOT B_OUTPUT_DIR)
    set(B_OUTPUT_DIR ${CMAKE_BINARY_DIR})
  endif()
  set(app ${B_OUTPUT_DIR}/${B_NAME}.app)
  add_custom_target(${B_NAME}_bundle ALL
    COMMAND ${CMAKE_COMMAND} -E make_directory ${app}/Contents/MacOS ${app}/Contents/Resources
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:orvan-launcher> ${app}/Contents/MacOS/${B_NAME}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${B_ENGINE}> ${app}/Contents/Resources/zizuzo.so
    DEPENDS orvan-launcher ${B_ENGINE}
    COMMENT "Bundle ${B_NAME}.app"
    VERBATIM)
endfunction()
