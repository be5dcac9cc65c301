# The default voices for a cross build. A program compiled with the cross compiler cannot run on
# the build machine, so the voice builder is built for the build machine in a tree of its own
# (${CMAKE_BINARY_DIR}/host: this source tree configured natively, without tests), which makes the
# voices; they are then copied beside the cross-built binaries.
include(ExternalProject)

set(kalvor_host_dir ${CMAKE_BINARY_DIR}/host)
set(kalvor_host_voices ${kalvor_host_dir}/bin/ORVDAT1.SPD ${kalvor_host_dir}/bin/ORVDAT2.SPD)

ExternalProject_Add(kalvor_host_voices
  SOURCE_DIR ${CMAKE_SOURCE_DIR}
  BINARY_DIR ${kalvor_host_dir}
  # The host tree must not inherit the cross toolchain: name the native compilers outright. It is
  # built as the native preset builds (-O2), the optimisation level the code is checked with.
  CMAKE_ARGS
    -DCMAKE_BUILD_TYPE=RelWithDebInfo
    -DCMAKE_C_COMPILER=gcc
    -DCMAKE_CXX_COMPILER=g++
    -DKALVOR_TESTS=OFF
    -DKALVOR_FUZZ=OFF
  BUILD_COMMAND ${CMAKE_COMMAND} --build ${kalvor_host_dir} --target voices
  INSTALL_COMMAND ""
  # The host tree tracks its own sources; let it decide what is out of date on every build.
  BUILD_ALWAYS ON
  BUILD_BYPRODUCTS ${kalvor_host_voices}
  USES_TERMINAL_BUILD ON)

set(kalvor_voices)
foreach(voice ORVDAT1.SPD ORVDAT2.SPD)
  add_custom_command(
    OUTPUT ${CMAKE_BINARY_DIR}/bin/${voice}
    COMMAND ${CMAKE_COMMAND} -E make_directory ${CMAKE_BINARY_DIR}/bin
    COMMAND ${CMAKE_COMMAND} -E copy_if_different ${kalvor_host_dir}/bin/${voice}
            ${CMAKE_BINARY_DIR}/bin/${voice}
    DEPENDS kalvor_host_voices ${kalvor_host_dir}/bin/${voice}
    COMMENT "Placing the voice ${voice} beside the binaries"
    VERBATIM)
  list(APPEND kalvor_voices ${CMAKE_BINARY_DIR}/bin/${voice})
endforeach()
add_custom_target(voices ALL DEPENDS ${kalvor_voices})
