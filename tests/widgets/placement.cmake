velkor_add_test(placement_tests
  SOURCES platform/RegistryTest.cpp widgets/FormPlacementTest.cpp
  LIBS velkor_core)
if(VELKOR_WINDOWS)
  # The system's registry, in the build's own Wine prefix.
  velkor_add_test(win32_registry_tests SOURCES platform/win32/Win32RegistryTest.cpp LIBS velkor_win32)
endif()
