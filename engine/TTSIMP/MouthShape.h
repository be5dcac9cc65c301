// Mouth shapes for lip animation: one fixed row per capital letter of the Turkish alphabet (and
// the English extras), keyed by Windows-1254 code, and a closed-lips default for everything else.
#pragma once

#include <array>
#include <cstdint>

#include "Speech.h"

namespace kalvor {

struct TMouthRow {
  std::uint8_t Letter;  // Windows-1254 capital
  TTSMOUTH Mouth;
};

extern const std::array<TMouthRow, 32> MouthShapeTable;
extern const TTSMOUTH DefaultMouthShape;

// The row of c after Turkish upper-casing (i to İ, ı to I, ç ğ ö ş ü to their capitals), or the
// default row.
TTSMOUTH MouthShapeOf(std::uint8_t c);

}  // namespace kalvor
