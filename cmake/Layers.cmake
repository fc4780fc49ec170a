# The folders of src/ as a graph: each folder is one static library that
# declares the folders it uses directly. What a folder may include and link
# is itself and everything it uses, transitively; its win32 part may also use
# the win32 parts of those. The program, the tests and the tools declare
# their uses the same way, and the build checks every #include "folder/..."
# (cmake/LayerCheck.cmake, before the code compiles) and every link of a
# velkor_ library (velkor_check_links, at configure time) against them.

# What the tests' own libraries are called; every test program may link them.
set(VELKOR_TEST_SUPPORT_LIBS velkor_test_support velkor_test_support_win32)

# The folder itself and everything it uses, transitively.
function(_velkor_closure out)
  set(closure)
  foreach(folder IN LISTS ARGN)
    get_property(declared GLOBAL PROPERTY VELKOR_CLOSURE_${folder} SET)
    if(NOT declared)
      message(FATAL_ERROR "\"${folder}\" is no folder declared before with velkor_layer")
    endif()
    get_property(theirs GLOBAL PROPERTY VELKOR_CLOSURE_${folder})
    list(APPEND closure ${theirs})
  endforeach()
  list(REMOVE_DUPLICATES closure)
  set(${out} ${closure} PARENT_SCOPE)
endfunction()

# The win32 libraries nearest below: of each folder used, its win32 part, or
# where it has none, those nearest below it.
function(_velkor_win32_below out)
  set(found)
  foreach(folder IN LISTS ARGN)
    if(TARGET velkor_${folder}_win32)
      list(APPEND found velkor_${folder}_win32)
    else()
      get_property(uses GLOBAL PROPERTY VELKOR_USES_${folder})
      _velkor_win32_below(below ${uses})
      list(APPEND found ${below})
    endif()
  endforeach()
  list(REMOVE_DUPLICATES found)
  set(${out} ${found} PARENT_SCOPE)
endfunction()

# The velkor_ libraries that code using these folders may link.
function(_velkor_allowed_links out)
  _velkor_closure(closure ${ARGN})
  set(allowed)
  foreach(folder IN LISTS closure)
    list(APPEND allowed velkor_${folder} velkor_${folder}_win32)
  endforeach()
  set(${out} ${allowed} PARENT_SCOPE)
endfunction()

# The include check of one folder of the tree (relative to the top), run
# before <target> compiles. OWN names the folder's own tests/ folder, if any.
function(_velkor_include_check target dir uses win32 own)
  _velkor_closure(closure ${uses})
  string(REPLACE ";" "," allowed "${closure}")
  string(REPLACE "/" "_" id "${dir}")
  set(stamp ${CMAKE_BINARY_DIR}/layers/${id}.checked)
  file(GLOB checked CONFIGURE_DEPENDS ${PROJECT_SOURCE_DIR}/${dir}/*.h ${PROJECT_SOURCE_DIR}/${dir}/*.cpp)
  set(script ${PROJECT_SOURCE_DIR}/cmake/LayerCheck.cmake)
  if(NOT TARGET check_${id})
    add_custom_command(OUTPUT ${stamp}
      COMMAND ${CMAKE_COMMAND} -DSOURCE_DIR=${PROJECT_SOURCE_DIR} -DFOLDER=${dir} -DALLOWED=${allowed}
        -DWIN32PART=${win32} -DOWN=${own} -DSTAMP=${stamp} -P ${script}
      DEPENDS ${checked} ${script}
      COMMENT "Checking the includes of ${dir} against the folders it uses"
      VERBATIM)
    add_custom_target(check_${id} DEPENDS ${stamp})
  endif()
  add_dependencies(${target} check_${id})
endfunction()

# Records that <target>'s velkor_ links are checked against <allowed>.
function(_velkor_checked_links target)
  set_property(GLOBAL APPEND PROPERTY VELKOR_LINK_CHECKED ${target})
  set_property(GLOBAL PROPERTY VELKOR_LINKS_ALLOWED_${target} ${ARGN})
endfunction()

# velkor_layer(<folder> [WIN32] [USES folders...] [LINKS libraries...] SOURCES ...)
# Makes velkor_<folder> linking the libraries of the folders it uses, or with
# WIN32 velkor_<folder>_win32 of <folder>/win32 linking its folder and the
# win32 parts below; LINKS are the system's libraries it needs.
function(velkor_layer folder)
  cmake_parse_arguments(L "WIN32" "" "SOURCES;LINKS;USES" ${ARGN})
  if(L_WIN32)
    if(L_USES)
      message(FATAL_ERROR "velkor_layer(${folder} WIN32): a win32 part uses what its folder uses")
    endif()
    get_property(uses GLOBAL PROPERTY VELKOR_USES_${folder})
    set(name velkor_${folder}_win32)
    add_library(${name} STATIC ${L_SOURCES})
    _velkor_win32_below(below ${uses})
    target_link_libraries(${name} PUBLIC velkor_${folder} ${below} ${L_LINKS})
    _velkor_include_check(${name} src/${folder}/win32 "${folder}" ON "")
  else()
    _velkor_closure(closure ${L_USES})
    set_property(GLOBAL PROPERTY VELKOR_USES_${folder} ${L_USES})
    set_property(GLOBAL PROPERTY VELKOR_CLOSURE_${folder} ${folder} ${closure})
    set(name velkor_${folder})
    add_library(${name} STATIC ${L_SOURCES})
    set(links)
    foreach(use IN LISTS L_USES)
      list(APPEND links velkor_${use})
    endforeach()
    target_link_libraries(${name} PUBLIC ${links} ${L_LINKS})
    _velkor_include_check(${name} src/${folder} "${folder}" OFF "")
    set(uses ${L_USES})
  endif()
  target_include_directories(${name} PUBLIC ${CMAKE_CURRENT_SOURCE_DIR})
  _velkor_allowed_links(allowed ${folder})
  list(REMOVE_ITEM allowed ${name})
  if(NOT L_WIN32)
    list(FILTER allowed EXCLUDE REGEX "_win32$")
  endif()
  _velkor_checked_links(${name} ${allowed})
endfunction()

# velkor_program(<name> USES folders... SOURCES ...): the program of the
# folder src/<name>, Windows code, linking the win32 parts below the folders
# it uses; tests that run it as a whole may then use <name> as a folder.
function(velkor_program name)
  cmake_parse_arguments(P "" "" "USES;SOURCES" ${ARGN})
  add_executable(${name} WIN32 ${P_SOURCES})
  _velkor_win32_below(below ${P_USES})
  target_link_libraries(${name} PRIVATE ${below})
  _velkor_closure(closure ${P_USES})
  set_property(GLOBAL PROPERTY VELKOR_USES_${name} ${P_USES})
  set_property(GLOBAL PROPERTY VELKOR_CLOSURE_${name} ${name} ${closure})
  _velkor_include_check(${name} src/${name} "${name}" ON "")
  _velkor_allowed_links(allowed ${P_USES})
  _velkor_checked_links(${name} ${allowed})
endfunction()

# velkor_folder(<dir> TARGET <target> USES folders... [WIN32]): a folder
# outside src/ (the program's start, the tools, shared test support) whose
# includes and velkor_ links are checked against the folders it uses; WIN32
# when it is Windows code throughout.
function(velkor_folder dir)
  cmake_parse_arguments(F "WIN32" "TARGET" "USES" ${ARGN})
  _velkor_include_check(${F_TARGET} ${dir} "${F_USES}" ${F_WIN32} "")
  _velkor_allowed_links(allowed ${F_USES})
  _velkor_checked_links(${F_TARGET} ${allowed} ${VELKOR_TEST_SUPPORT_LIBS})
endfunction()

# The tests of tests/<folder> (and tests/<folder>/win32) use what src/<folder>
# uses, tests/support and nothing of another folder's tests; called by
# velkor_add_test with the test program's sources.
function(velkor_test_folder target)
  set(own)
  foreach(source IN LISTS ARGN)
    get_filename_component(path "${source}" ABSOLUTE)
    file(RELATIVE_PATH path ${PROJECT_SOURCE_DIR}/tests "${path}")
    if(path MATCHES "^\\.\\.")
      continue()
    endif()
    string(REGEX MATCH "^[^/]+" folder "${path}")
    if(own AND NOT own STREQUAL folder)
      message(FATAL_ERROR "${target}: its sources are in tests/${own} and tests/${folder}; one folder a program")
    endif()
    set(own ${folder})
    get_filename_component(dir "${path}" DIRECTORY)
    get_property(win32 GLOBAL PROPERTY VELKOR_TEST_WIN32_${folder})
    if(NOT win32)
      set(win32 OFF)
    endif()
    if(dir MATCHES "/win32$")
      set(win32 ON)
    endif()
    get_property(uses GLOBAL PROPERTY VELKOR_TEST_USES_${folder})
    if(NOT uses)
      set(uses ${folder})
    endif()
    _velkor_include_check(${target} tests/${dir} "${uses}" ${win32} ${folder})
  endforeach()
  if(own)
    get_property(uses GLOBAL PROPERTY VELKOR_TEST_USES_${own})
    if(NOT uses)
      set(uses ${own})
    endif()
    _velkor_allowed_links(allowed ${uses})
    _velkor_checked_links(${target} ${allowed} ${VELKOR_TEST_SUPPORT_LIBS})
  endif()
endfunction()

# velkor_test_uses(<folder> USES folders... [WIN32]): the tests of
# tests/<folder> that tests no folder of src/ of that name (the end-to-end
# tests, the stand-in's); WIN32 when they are Windows code throughout.
function(velkor_test_uses folder)
  cmake_parse_arguments(T "WIN32" "" "USES" ${ARGN})
  set_property(GLOBAL PROPERTY VELKOR_TEST_USES_${folder} ${T_USES})
  set_property(GLOBAL PROPERTY VELKOR_TEST_WIN32_${folder} ${T_WIN32})
endfunction()

# Fails the configuration when a checked target links a velkor_ library that
# its folder does not use; called once every target is made.
function(velkor_check_links)
  get_property(targets GLOBAL PROPERTY VELKOR_LINK_CHECKED)
  set(errors "")
  foreach(target IN LISTS targets)
    get_property(allowed GLOBAL PROPERTY VELKOR_LINKS_ALLOWED_${target})
    get_target_property(links ${target} LINK_LIBRARIES)
    get_target_property(interface ${target} INTERFACE_LINK_LIBRARIES)
    set(all ${links} ${interface})
    list(REMOVE_DUPLICATES all)
    foreach(link IN LISTS all)
      if(link MATCHES "^velkor_" AND NOT link IN_LIST allowed)
        string(APPEND errors "  ${target} links ${link}, which the folders it uses do not hold\n")
      endif()
    endforeach()
  endforeach()
  if(errors)
    message(FATAL_ERROR "Links outside the declared uses:\n${errors}")
  endif()
endfunction()
