# The Turkish text front end: character classes, preparation, number reading, segmentation.
kalvor_test(frontend_tests
  SOURCES
    FrontEnd_Text_test.cpp
    FrontEnd_Numbers_test.cpp
    FrontEnd_Segment_test.cpp
    FrontEnd_Fuzz_test.cpp
  LIBS kalvor_core kalvor_common)
target_include_directories(frontend_tests PRIVATE ${CMAKE_SOURCE_DIR}/tests/fuzz)
if(NOT CMAKE_CROSSCOMPILING)
  target_compile_definitions(frontend_tests
    PRIVATE KALVOR_FRONTEND_CORPUS="${CMAKE_SOURCE_DIR}/tests/fuzz/corpus/fuzz_frontend")
endif()

# Timing of the front end on a large text; run by scripts/bench-frontend.sh, not a test.
add_executable(bench_frontend EXCLUDE_FROM_ALL ${CMAKE_CURRENT_SOURCE_DIR}/../bench/bench_frontend.cpp)
target_link_libraries(bench_frontend PRIVATE kalvor_core kalvor_common)
