# Window placement and stored settings, and the registry they live in.
target_sources(velkor_core PRIVATE
  platform/Registry.cpp
  platform/MemoryRegistry.cpp
  widgets/FormPlacement.cpp
)
if(VELKOR_WINDOWS)
  target_sources(velkor_win32 PRIVATE platform/win32/Win32Registry.cpp)
  target_link_libraries(velkor_win32 PUBLIC advapi32)
endif()
