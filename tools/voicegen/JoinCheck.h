// How smoothly a voice's units join: a text spoken through the engine's synthesizer, and the sample
// jumps where one unit meets the next compared with the jumps between neighbouring samples inside
// the units.
#pragma once

#include <cstddef>
#include <filesystem>
#include <string>
#include <string_view>

namespace kalvor::voicegen {

struct JumpStats {
  std::size_t count = 0;
  double p50 = 0, p95 = 0, p99 = 0, max = 0;
};

struct JoinReport {
  JumpStats inside;      // |s[i+1] - s[i]| inside units
  JumpStats joins;       // |first sample of a unit - last sample of the unit before it|
  JumpStats vowelJoins;  // the joins in the middle of a vowel (after CV, VCV, VV and V1 units)
  std::size_t units = 0;
  double seconds = 0;  // of speech, pauses included
};

// Speaks text (Windows-1254) with the voice in file (16-bit) and measures its joins. Units that
// the voice lacks or that are empty are left out; a sentence pause is no join.
JoinReport CheckJoins(const std::filesystem::path& voice, std::string_view text);

std::string FormatJoinReport(const JoinReport& r);

}  // namespace kalvor::voicegen
