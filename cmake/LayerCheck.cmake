# cmake -P LayerCheck.cmake: the include rule of one folder of src/, run by the
# build before its library compiles (velkor_layer in src/CMakeLists.txt).
# A file may include its own folder and the folders below it; a portable
# folder includes no win32 part. Linking alone would miss a header-only use.
#
#   SOURCE_DIR  src/
#   FOLDER      the folder checked: "ui" or "ui/win32"
#   LAYERS      the folders from the bottom, comma-separated
#   EXCEPT      file names of the folder left out, comma-separated
#   STAMP       touched when every include keeps the rule

cmake_minimum_required(VERSION 3.25)

string(REPLACE "," ";" layers "${LAYERS}")
string(REPLACE "," ";" except "${EXCEPT}")
string(REGEX MATCH "^[^/]+" layer "${FOLDER}")
list(FIND layers "${layer}" own)
if(own LESS 0)
  message(FATAL_ERROR "LayerCheck: ${layer} is not a layer (${LAYERS})")
endif()
set(win32part FALSE)
if(FOLDER MATCHES "/win32$")
  set(win32part TRUE)
endif()
string(REPLACE "," " " order "${LAYERS}")

set(errors "")
file(GLOB files ${SOURCE_DIR}/${FOLDER}/*.h ${SOURCE_DIR}/${FOLDER}/*.cpp)
list(SORT files)
foreach(file IN LISTS files)
  get_filename_component(name "${file}" NAME)
  if(name IN_LIST except)
    continue()
  endif()
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
    file(RELATIVE_PATH shown "${SOURCE_DIR}/.." "${file}")

    list(FIND layers "${folder}" theirs)
    if(theirs GREATER own)
      string(APPEND errors "${shown}:${line}: error: \"${path}\" is in ${folder}, a layer above ${layer} "
        "(layers from the bottom: ${order})\n")
    elseif(theirs GREATER_EQUAL 0 AND NOT win32part AND path MATCHES "^[^/]+/win32/")
      string(APPEND errors "${shown}:${line}: error: \"${path}\" is a win32 part; the portable ${layer} "
        "includes none\n")
    endif()
  endwhile()
endforeach()

if(errors)
  # Unwrapped, one "file:line: error:" a line, as a compiler reports.
  message("${errors}")
  message(FATAL_ERROR "src/${FOLDER} includes a folder it may not use")
endif()
file(WRITE "${STAMP}" "")
