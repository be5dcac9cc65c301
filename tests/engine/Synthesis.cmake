# The unit inventory, the speech data format and the synthesis driver, on synthetic voices.
kalvor_test(synthesis_tests
  SOURCES
    ${CMAKE_CURRENT_LIST_DIR}/UFonemSP_test.cpp
    ${CMAKE_CURRENT_LIST_DIR}/StrPlayer_test.cpp
  LIBS kalvor_test_support kalvor_core)
