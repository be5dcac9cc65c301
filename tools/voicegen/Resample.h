// Sample rate conversion with libsoxr, high quality, single-threaded so that the output is the same
// on every run.
#pragma once

#include <cstdint>
#include <span>
#include <vector>

namespace kalvor::voicegen {

// The whole signal at the new rate, as floating-point samples on the 16-bit scale; the output is
// aligned with the input (sample i of the output lies at i * inRate / outRate of the input).
std::vector<float> Resample(std::span<const std::int16_t> in, int inRate, int outRate);

}  // namespace kalvor::voicegen
