# cmake -P LayerCheck.cmake: the include rule of one folder of the tree, run
# by the build before the folder's code compiles (cmake/Layers.cmake). An
# #include "folder/..." of a folder of src/ must name a folder this one uses;
# only Windows code includes a win32 part; tests include their own folder's
# tests and tests/support, no other folder's. Linking alone would miss a
# header-only use.
#
#   SOURCE_DIR  the top of the tree
#   FOLDER      the folder checked, from the top: "src/ui", "tests/rig/win32"
#   ALLOWED     the folders of src/ it may use, comma-separated
#   WIN32PART   ON when it is Windows code
#   OWN         for tests/<own>: the folder whose tests these are
#   STAMP       touched when every include keeps the rule

cmake_minimum_required(VERSION 3.25)

string(REPLACE "," ";" allowed "${ALLOWED}")
string(REPLACE "," " " shownAllowed "${ALLOWED}")

set(errors "")
file(GLOB files ${SOURCE_DIR}/${FOLDER}/*.h ${SOURCE_DIR}/${FOLDER}/*.cpp)
list(SORT files)
foreach(file IN LISTS files)
  # A newline in front, so that the first line matches as every other does;
  # the text is never treated as a list (code has ';' and '[').
  file(READ "${file}" text)
  set(text "\n${text}")
  set(pos 0)
  while(TRUE)
    string(SUBSTRING "${text}" ${pos} -1 rest)
    string(REGEX MATCH "\n[ \t]*#[ \t]*include[ \t]*\"([A-Za-z0-9_]+)/([^\"\n]*)\"" found "${rest}")
    if(NOT found)
      break()
    endif()
    set(folder "${CMAKE_MATCH_1}")
    set(path "${CMAKE_MATCH_1}/${CMAKE_MATCH_2}")
    string(FIND "${rest}" "${found}" at)
    math(EXPR pos "${pos} + ${at} + 1")
    string(SUBSTRING "${text}" 0 ${pos} before)
    string(REGEX REPLACE "[^\n]" "" newlines "${before}")
    string(LENGTH "${newlines}" line)
    file(RELATIVE_PATH shown "${SOURCE_DIR}" "${file}")

    if(folder STREQUAL "src")
      string(APPEND errors "${shown}:${line}: error: \"${path}\": name a folder of src/ without src/\n")
    elseif(folder STREQUAL "tests")
      string(REGEX MATCH "^tests/([^/]+)/" ignored "${path}")
      set(theirs "${CMAKE_MATCH_1}")
      if(NOT theirs STREQUAL "support" AND NOT theirs STREQUAL "${OWN}")
        string(APPEND errors "${shown}:${line}: error: \"${path}\" is another folder's tests; what tests of "
          "several folders share lives in tests/support\n")
      endif()
    elseif(IS_DIRECTORY "${SOURCE_DIR}/src/${folder}")
      if(NOT folder IN_LIST allowed)
        string(APPEND errors "${shown}:${line}: error: \"${path}\" is in ${folder}, which ${FOLDER} does not use "
          "(it uses: ${shownAllowed})\n")
      elseif(NOT WIN32PART AND path MATCHES "^[^/]+/win32/")
        string(APPEND errors "${shown}:${line}: error: \"${path}\" is a win32 part; the portable ${FOLDER} "
          "includes none\n")
      endif()
    endif()
  endwhile()
endforeach()

if(errors)
  # Unwrapped, one "file:line: error:" a line, as a compiler reports.
  message("${errors}")
  message(FATAL_ERROR "${FOLDER} includes a folder it may not use")
endif()
file(WRITE "${STAMP}" "")
