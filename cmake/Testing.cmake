# GoogleTest: Debian's prebuilt libraries natively, the sanitizer build too
# (the sanitizers check our code; libstdc++'s containers carry no
# annotations that would have to match); built from Debian's sources for the
# Windows build.
if(VELKOR_WINDOWS)
  set(gtest_disable_pthreads ON CACHE BOOL "" FORCE)
  set(INSTALL_GTEST OFF CACHE BOOL "" FORCE)
  # GoogleTest 1.12 defines the GTest:: names itself.
  add_subdirectory(/usr/src/googletest ${CMAKE_BINARY_DIR}/googletest EXCLUDE_FROM_ALL)
  # Optimised and without debug information: linking every test program
  # with GoogleTest unoptimised costs the MinGW linker seconds a program.
  foreach(library gtest gtest_main gmock gmock_main)
    target_compile_options(${library} PRIVATE -O2 -g0)
  endforeach()
else()
  find_package(GTest REQUIRED)
endif()

# The headers nearly every test file includes, parsed once per build instead
# of once per file: every velkor_add_test program reuses this target's
# precompiled header.
function(velkor_test_pch)
  file(WRITE ${CMAKE_BINARY_DIR}/velkor_test_pch.cpp "// The test programs' precompiled header.\n")
  add_library(test_pch OBJECT ${CMAKE_BINARY_DIR}/velkor_test_pch.cpp)
  target_link_libraries(test_pch PRIVATE GTest::gmock GTest::gtest)
  target_precompile_headers(test_pch PRIVATE
    <gtest/gtest.h> <algorithm> <cstdint> <cstdio> <filesystem> <functional> <map> <stdexcept> <string>
    <thread> <vector>)
endfunction()

# velkor_add_test(name SOURCES ... LIBS ... [SERIAL] [DISPLAY] [ISOLATE pattern | ISOLATED] [TIMEOUT s])
# One GoogleTest executable, registered with CTest as one test. In the Windows
# build it runs under Wine (the cross-compiling emulator) in the build's own
# prefix, with the shared Xvfb display. SERIAL tests share the stand-in rig
# server and so never run side by side; DISPLAY tests read the screen or depend
# on which window is active, and so never share the display. The tests matching the ISOLATE pattern
# run apart, as the CTest test <name>_isolated, in a throwaway copy of the
# prefix with a Wine session of their own; ISOLATED runs the whole test so.
function(velkor_add_test name)
  cmake_parse_arguments(T "SERIAL;DISPLAY;ISOLATED" "TIMEOUT;ISOLATE" "SOURCES;LIBS" ${ARGN})
  add_executable(${name} ${T_SOURCES})
  target_link_libraries(${name} PRIVATE ${T_LIBS} velkor_test_support GTest::gmock GTest::gtest_main)
  target_precompile_headers(${name} REUSE_FROM test_pch)
  velkor_test_folder(${name} ${T_SOURCES})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  set(tests ${name})
  if(T_ISOLATED)
    add_test(NAME ${name} COMMAND ${VELKOR_WINE_SESSION} isolated $<TARGET_FILE:${name}>)
  elseif(T_ISOLATE)
    add_test(NAME ${name} COMMAND ${name} --gtest_filter=-${T_ISOLATE})
    add_test(NAME ${name}_isolated
      COMMAND ${VELKOR_WINE_SESSION} isolated $<TARGET_FILE:${name}> --gtest_filter=${T_ISOLATE})
    list(APPEND tests ${name}_isolated)
  else()
    add_test(NAME ${name} COMMAND ${name})
  endif()
  if(NOT T_TIMEOUT)
    set(T_TIMEOUT 300)
  endif()
  set_tests_properties(${tests} PROPERTIES TIMEOUT ${T_TIMEOUT})
  if(VELKOR_WINDOWS)
    set_tests_properties(${tests} PROPERTIES FIXTURES_REQUIRED wine)
    add_dependencies(${name} wine_ready)
  endif()
  set(locks)
  if(T_SERIAL)
    list(APPEND locks rigsim)
  endif()
  if(T_DISPLAY)
    list(APPEND locks display)
  endif()
  if(locks)
    set_tests_properties(${tests} PROPERTIES RESOURCE_LOCK "${locks}")
  endif()
endfunction()

# velkor_add_fuzz(name SOURCE file ROUNDS n LIBS ...): a bounded, deterministic
# fuzz run of the portable core, native builds only (under the sanitizers too in
# build/native-san).
function(velkor_add_fuzz name)
  cmake_parse_arguments(F "" "SOURCE;ROUNDS" "LIBS" ${ARGN})
  add_executable(${name} ${F_SOURCE})
  target_link_libraries(${name} PRIVATE ${F_LIBS} velkor_test_support)
  velkor_test_folder(${name} ${F_SOURCE})
  target_include_directories(${name} PRIVATE ${CMAKE_SOURCE_DIR})
  add_test(NAME ${name} COMMAND ${name} ${F_ROUNDS})
  set_tests_properties(${name} PROPERTIES TIMEOUT 300)
endfunction()
