# The flat title bar and flat buttons of the borderless windows.
target_sources(velkor_core PRIVATE
  widgets/TFlatTitlebarUnit.cpp
  widgets/TFlatSpeedButtonUnit.cpp
)
