velkor_add_test(chrome_tests SOURCES widgets/FlatChromeTest.cpp LIBS velkor_core)
if(VELKOR_WINDOWS)
  # Paints both title bars through GDI, checks pixels and drags a real window;
  # leaves the pictures in screenshots/chrome-*.bmp for a person to look at.
  velkor_add_test(chrome_win32_tests SOURCES widgets/win32/FlatChromeWin32Test.cpp LIBS velkor_win32)
  target_compile_definitions(chrome_win32_tests PRIVATE "VELKOR_SCREENSHOT_DIR=L\"Z:${CMAKE_BINARY_DIR}/screenshots\"")
endif()
