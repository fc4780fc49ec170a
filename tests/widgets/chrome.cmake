velkor_add_test(chrome_tests SOURCES widgets/FlatChromeTest.cpp LIBS velkor_core)
