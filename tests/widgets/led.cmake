velkor_add_test(led_tests SOURCES widgets/CLEDLblTest.cpp LIBS velkor_core)
if(VELKOR_WINDOWS)
  # Paints real fields through GDI, checks pixels and leaves the picture in
  # screenshots/led.bmp for a person to look at.
  velkor_add_test(led_win32_tests SOURCES widgets/win32/CLEDLblWin32Test.cpp LIBS velkor_win32)
  target_compile_definitions(led_win32_tests PRIVATE "VELKOR_SCREENSHOT_DIR=L\"Z:${CMAKE_BINARY_DIR}/screenshots\"")
endif()
