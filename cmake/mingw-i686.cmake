# Cross toolchain for the 32-bit Windows binaries (SAPI 4 clients and run time are 32-bit).
set(CMAKE_SYSTEM_PROCESSOR i686)
set(MINGW_TRIPLET i686-w64-mingw32)
include(${CMAKE_CURRENT_LIST_DIR}/mingw-common.cmake)
# Doubles as IEEE doubles, as on every other build: x87 arithmetic keeps excess precision in its
# registers, so the resampling position (a double accumulator) rounded differently in ties and the
# 32-bit engine's samples differed from the command line's at rates such as 78. Every processor
# that runs a Windows still in use has SSE2.
set(CMAKE_C_FLAGS_INIT "-msse2 -mfpmath=sse")
set(CMAKE_CXX_FLAGS_INIT "-msse2 -mfpmath=sse")
