#include "MouthShape.h"

namespace kalvor {

// Height, width, upturn, jaw (always closed: the shapes were drawn with the lips alone), upper
// teeth, lower teeth, tongue, lip tension.
const std::array<TMouthRow, 32> MouthShapeTable = {{
    {'A', {167, 148, 128, 0, 128, 177, 1, 20}},  {'B', {0, 192, 1, 0, 0, 0, 0, 0}},
    {'C', {9, 54, 204, 0, 159, 171, 12, 13}},    {0xC7, {9, 54, 204, 0, 218, 249, 12, 13}},  // Ç
    {'D', {16, 206, 232, 0, 159, 171, 224, 11}}, {'E', {117, 148, 225, 0, 128, 208, 135, 0}},
    {'F', {6, 138, 22, 0, 246, 96, 0, 1}},       {'G', {16, 153, 215, 0, 218, 249, 12, 13}},
    {0xD0, {16, 153, 215, 0, 218, 249, 12, 13}},  // Ğ
    {'H', {18, 185, 255, 0, 218, 218, 141, 0}},  {'I', {9, 74, 55, 0, 150, 182, 141, 17}},
    {0xDD, {9, 74, 55, 0, 248, 182, 141, 17}},  // İ
    {'J', {16, 18, 76, 0, 255, 239, 141, 68}},   {'K', {36, 148, 224, 0, 128, 253, 142, 0}},
    {'L', {39, 148, 224, 0, 128, 227, 247, 0}},  {'M', {0, 192, 60, 0, 0, 0, 0, 0}},
    {'N', {4, 192, 54, 0, 120, 186, 0, 0}},      {'O', {247, 0, 2, 0, 192, 19, 10, 180}},
    {0xD6, {247, 0, 2, 0, 210, 255, 10, 180}},  // Ö
    {'P', {0, 192, 0, 0, 0, 0, 0, 240}},         {'Q', {187, 27, 22, 0, 65, 207, 115, 170}},
    {'R', {16, 148, 225, 0, 128, 208, 191, 0}},  {'S', {7, 202, 225, 0, 128, 208, 191, 0}},
    {0xDE, {12, 82, 173, 0, 128, 208, 191, 3}},  // Ş
    {'T', {12, 95, 232, 0, 159, 171, 224, 11}},  {'U', {160, 21, 225, 0, 0, 0, 10, 183}},
    {0xDC, {160, 21, 225, 0, 0, 255, 144, 183}},  // Ü
    {'V', {6, 60, 22, 0, 246, 96, 0, 1}},        {'W', {6, 60, 22, 0, 246, 96, 0, 1}},
    {'X', {4, 16, 215, 0, 218, 249, 12, 13}},    {'Y', {13, 192, 255, 0, 218, 249, 12, 13}},
    {'Z', {3, 192, 255, 0, 218, 249, 12, 13}},
}};

const TTSMOUTH DefaultMouthShape = {0, 192, 128, 0, 0, 0, 0, 0};

namespace {

// The table's own copy of Turkish upper-casing: only the letters it has rows for matter here.
std::uint8_t UpperForMouth(std::uint8_t c) {
  switch (c) {
    case 'i':
      return 0xDD;  // i -> İ
    case 0xFD:
      return 'I';  // ı -> I
    case 0xE7:
      return 0xC7;  // ç
    case 0xF0:
      return 0xD0;  // ğ
    case 0xF6:
      return 0xD6;  // ö
    case 0xFC:
      return 0xDC;  // ü
    case 0xFE:
      return 0xDE;  // ş
    default:
      return (c >= 'a' && c <= 'z') ? static_cast<std::uint8_t>(c - 'a' + 'A') : c;
  }
}

}  // namespace

TTSMOUTH MouthShapeOf(std::uint8_t c) {
  const std::uint8_t u = UpperForMouth(c);
  for (const TMouthRow& row : MouthShapeTable)
    if (row.Letter == u) return row.Mouth;
  return DefaultMouthShape;
}

}  // namespace kalvor
