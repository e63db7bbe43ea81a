# Engine modules and game bundles for the Orvan launcher.
#
# orvan_add_engine(<target> <sources>...)
#
#   An engine module: zizuzo.so, linked -Bsymbolic so that its own calls reach
#   its own functions (the launcher exports pointers with the same names).
#
# orvan_add_bundle(NAME <Game> ENGINE <module target>
#                  [LONG_NAME <name shown in the desktop menu>]
#                  [COMMENT <one line for the desktop menu>]
#                  [ID <reverse-domain id of the desktop entry and icon>]
#                  [ICON <file.svg | file.png>]
#                  [CATEGORIES <desktop menu categories, e.g. "Game;ArcadeGame;">]
#                  [RESOURCES <files and folders>...]
#                  [LAUNCHER <executable target or file>]
#                  [OUTPUT_DIR <dir>] [COMPONENT <install component>]
#                  [NO_UNINSTALL_LIST] [NO_INSTALL])
#
#   Builds <OUTPUT_DIR>/<Game>.app:
#     Contents/MacOS/<Game>           the launcher, renamed
#     Contents/Resources/zizuzo.so    the engine module
#     Contents/Resources/...          RESOURCES: files, and folders with all they hold
#   and makes `cmake --install` put down, under the install prefix P:
#     <bundle folder>/<Game>.app      the bundle, plus Contents/Resources/uninstall.log
#                                     naming everything below (unless NO_UNINSTALL_LIST)
#     P/bin/<Game>                    a symbolic link to the bundle's executable
#     P/share/applications/<ID>.desktop
#     P/share/icons/hicolor/<size>/apps/<ID>.<svg|png>
#   The bundle folder is ORVAN_BUNDLE_INSTALL_DIR when set (absolute, or
#   relative to P); otherwise /opt for the system prefixes /usr/local and /usr,
#   and P itself for any other prefix.
include_guard(GLOBAL)

set(ORVAN_BUNDLE_INSTALL_DIR "" CACHE STRING
    "Folder that `cmake --install` puts game bundles in: absolute, relative to the install prefix, or empty for /opt with the prefixes /usr/local and /usr and the prefix itself otherwise")

# The functions are called from other folders, and from a game's project that
# holds this one as a subfolder: they find their files from their own place.

function(orvan_add_engine target)
  add_library(${target} MODULE ${ARGN})
  target_include_directories(${target} PRIVATE ${CMAKE_CURRENT_FUNCTION_LIST_DIR}/../engine)
  target_link_options(${target} PRIVATE -Wl,-Bsymbolic)
  set_target_properties(${target} PROPERTIES
    PREFIX "" OUTPUT_NAME zizuzo SUFFIX ".so"
    LIBRARY_OUTPUT_DIRECTORY ${CMAKE_BINARY_DIR}/engines/${target})
endfunction()

function(orvan_add_bundle)
  set(cmake_dir ${CMAKE_CURRENT_FUNCTION_LIST_DIR})
  get_filename_component(packaging_dir ${cmake_dir}/../packaging ABSOLUTE)
  cmake_parse_arguments(PARSE_ARGV 0 B "NO_UNINSTALL_LIST;NO_INSTALL"
    "NAME;ENGINE;LONG_NAME;COMMENT;ID;ICON;CATEGORIES;LAUNCHER;OUTPUT_DIR;COMPONENT" "RESOURCES")
  if(B_UNPARSED_ARGUMENTS)
    message(FATAL_ERROR "orvan_add_bundle: unknown arguments: ${B_UNPARSED_ARGUMENTS}")
  endif()
  # The name becomes a file name in the bundle and in bin/.
  if(NOT B_NAME MATCHES "^[A-Za-z0-9][A-Za-z0-9._+-]*$")
    message(FATAL_ERROR "orvan_add_bundle: NAME must be a plain file name (letters, digits, . _ + -), got '${B_NAME}'")
  endif()
  if(NOT B_ENGINE OR NOT TARGET ${B_ENGINE})
    message(FATAL_ERROR "orvan_add_bundle(NAME ${B_NAME}): ENGINE must name the engine module's target")
  endif()
  if(NOT B_LONG_NAME)
    set(B_LONG_NAME ${B_NAME})
  endif()
  if(NOT B_COMMENT)
    set(B_COMMENT "Play ${B_LONG_NAME}")
  endif()
  if(NOT B_ID)
    set(B_ID com.brambleford.${B_NAME})
  endif()
  if(NOT B_ICON)
    set(B_ICON ${packaging_dir}/orvan-game.svg)
  endif()
  get_filename_component(B_ICON ${B_ICON} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
  if(NOT B_ICON MATCHES "\\.(svg|png)$" OR NOT EXISTS ${B_ICON})
    message(FATAL_ERROR "orvan_add_bundle(NAME ${B_NAME}): ICON must be an existing .svg or .png file, got ${B_ICON}")
  endif()
  if(NOT B_CATEGORIES)
    set(B_CATEGORIES "Game;")
  endif()
  if(NOT B_LAUNCHER)
    set(B_LAUNCHER orvan-launcher)
  endif()
  if(TARGET ${B_LAUNCHER})
    set(launcher_file $<TARGET_FILE:${B_LAUNCHER}>)
    set(launcher_depends ${B_LAUNCHER})
  else()
    get_filename_component(launcher_file ${B_LAUNCHER} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    set(launcher_depends ${launcher_file})
  endif()
  if(NOT B_OUTPUT_DIR)
    set(B_OUTPUT_DIR ${CMAKE_BINARY_DIR})
  endif()
  if(NOT B_COMPONENT)
    set(B_COMPONENT ${B_NAME})
  endif()

  set(app ${B_OUTPUT_DIR}/${B_NAME}.app)
  set(resources ${app}/Contents/Resources)
  set(copy_resources "")
  set(resource_paths "")
  foreach(item IN LISTS B_RESOURCES)
    get_filename_component(path ${item} ABSOLUTE BASE_DIR ${CMAKE_CURRENT_SOURCE_DIR})
    get_filename_component(name ${path} NAME)
    if(NOT EXISTS ${path})
      message(FATAL_ERROR "orvan_add_bundle(NAME ${B_NAME}): resource ${path} does not exist")
    endif()
    if(name STREQUAL "zizuzo.so" OR (name STREQUAL "uninstall.log" AND NOT B_NO_UNINSTALL_LIST))
      message(FATAL_ERROR "orvan_add_bundle(NAME ${B_NAME}): the bundle makes ${name} itself; rename the resource ${path}")
    endif()
    if(IS_DIRECTORY ${path})
      list(APPEND copy_resources COMMAND ${CMAKE_COMMAND} -E copy_directory ${path} ${resources}/${name})
    else()
      list(APPEND copy_resources COMMAND ${CMAKE_COMMAND} -E copy_if_different ${path} ${resources}/${name})
    endif()
    list(APPEND resource_paths ${path})
  endforeach()

  add_custom_target(${B_NAME}_bundle ALL
    COMMAND ${CMAKE_COMMAND} -E make_directory ${app}/Contents/MacOS ${resources}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${launcher_file} ${app}/Contents/MacOS/${B_NAME}
    COMMAND ${CMAKE_COMMAND} -E copy_if_different $<TARGET_FILE:${B_ENGINE}> ${resources}/zizuzo.so
    ${copy_resources}
    DEPENDS ${launcher_depends} ${B_ENGINE}
    COMMENT "Bundle ${B_NAME}.app"
    VERBATIM)

  if(B_NO_INSTALL)
    return()
  endif()
  # The install runs a script of its own: where things go depends on the
  # prefix and DESTDIR given at install time, and the uninstall list must
  # name the paths the install really put down.
  if(B_NO_UNINSTALL_LIST)
    set(uninstall_list 0)
  else()
    set(uninstall_list 1)
  endif()
  set(script ${CMAKE_CURRENT_BINARY_DIR}/${B_NAME}-install.cmake)
  file(CONFIGURE OUTPUT ${script} CONTENT [==[
# Made by orvan_add_bundle; run by `cmake --install`.
set(ORVAN_NAME [=[@B_NAME@]=])
set(ORVAN_LONG_NAME [=[@B_LONG_NAME@]=])
set(ORVAN_COMMENT [=[@B_COMMENT@]=])
set(ORVAN_ID [=[@B_ID@]=])
set(ORVAN_ICON [=[@B_ICON@]=])
set(ORVAN_CATEGORIES [=[@B_CATEGORIES@]=])
set(ORVAN_BUILT_APP [=[@app@]=])
set(ORVAN_RESOURCES [=[@resource_paths@]=])
set(ORVAN_UNINSTALL_LIST @uninstall_list@)
set(ORVAN_BUNDLE_INSTALL_DIR [=[@ORVAN_BUNDLE_INSTALL_DIR@]=])
set(ORVAN_DESKTOP_TEMPLATE [=[@packaging_dir@/orvan-game.desktop.in]=])
include([=[@cmake_dir@/OrvanInstallBundle.cmake]=])
]==] @ONLY)
  install(SCRIPT ${script} COMPONENT ${B_COMPONENT})
endfunction()
