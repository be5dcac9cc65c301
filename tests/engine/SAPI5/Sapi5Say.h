// The SAPI 5 half of mode_say's comparison with the command line (mode_say --sapi5).
#pragma once

#ifndef NOMINMAX
#define NOMINMAX
#endif
#include <windows.h>

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

namespace kalvor::test {

// Speaks text through the SAPI 5 engine with a voice file, at the SAPI 5 rate that gives the rate
// the SAPI 4 pitch selects; nothing when no SAPI 5 rate gives it.
std::optional<std::vector<std::uint8_t>> SpeakThroughSapi5(const std::string& voice, WORD pitch,
                                                           const std::wstring& text);

}  // namespace kalvor::test
