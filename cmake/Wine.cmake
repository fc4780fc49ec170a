# The Wine session of the Windows build: its own prefix under the build tree
# (never the user's ~/.wine), one Xvfb display for a whole test run, and the
# stand-in rig server registered inside that prefix only.
set(VELKOR_WINEPREFIX ${CMAKE_BINARY_DIR}/wineprefix)
configure_file(${CMAKE_SOURCE_DIR}/cmake/wine-session.in ${CMAKE_BINARY_DIR}/wine-session @ONLY
  FILE_PERMISSIONS OWNER_READ OWNER_WRITE OWNER_EXECUTE GROUP_READ GROUP_EXECUTE WORLD_READ WORLD_EXECUTE)
set(VELKOR_WINE_SESSION ${CMAKE_BINARY_DIR}/wine-session)
set(CMAKE_CROSSCOMPILING_EMULATOR ${VELKOR_WINE_SESSION} run)

add_custom_command(OUTPUT ${CMAKE_BINARY_DIR}/wineprefix.stamp
  COMMAND ${VELKOR_WINE_SESSION} init
  COMMAND ${CMAKE_COMMAND} -E touch ${CMAKE_BINARY_DIR}/wineprefix.stamp
  COMMENT "Creating the Wine prefix ${VELKOR_WINEPREFIX}"
  VERBATIM)
add_custom_target(wineprefix DEPENDS ${CMAKE_BINARY_DIR}/wineprefix.stamp)

add_test(NAME wine_session_start COMMAND ${VELKOR_WINE_SESSION} start)
add_test(NAME wine_session_stop COMMAND ${VELKOR_WINE_SESSION} stop)
set_tests_properties(wine_session_start PROPERTIES FIXTURES_SETUP wine)
set_tests_properties(wine_session_stop PROPERTIES FIXTURES_CLEANUP wine)
