velkor_add_test(led_tests SOURCES widgets/CLEDLblTest.cpp LIBS velkor_core)
