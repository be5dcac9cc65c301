# The Turkish text front end: character classes, preparation, number reading, segmentation.
kalvor_test(frontend_tests
  SOURCES
    FrontEnd_Text_test.cpp
    FrontEnd_Numbers_test.cpp
    FrontEnd_Segment_test.cpp
  LIBS kalvor_core kalvor_cli)
