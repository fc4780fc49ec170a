target_sources(velkor_core PRIVATE widgets/CLEDLbl.cpp)
