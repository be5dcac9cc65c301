// The Turkish letters as the engine's front end sees them: single Windows-1254 bytes, upper case.
// The voice builder names units and chooses espeak-ng phonemes by these classes.
#pragma once

#include <string_view>

namespace kalvor::voicegen {

namespace cp1254 {
inline constexpr char kCCedilla = '\xC7';    // Ç
inline constexpr char kGBreve = '\xD0';      // Ğ
inline constexpr char kODiaeresis = '\xD6';  // Ö
inline constexpr char kUDiaeresis = '\xDC';  // Ü
inline constexpr char kIDot = '\xDD';        // İ
inline constexpr char kSCedilla = '\xDE';    // Ş
}  // namespace cp1254

// The eight vowels, back ones first: A I O U, then E İ Ö Ü.
inline constexpr std::string_view kVowels = "AIOUE\xDD\xD6\xDC";
// The 21 consonants of the alphabet and X, which reaches the units as a letter of its own (read
// /ks/). W and Q never do: the text preparation turns them into V and K.
inline constexpr std::string_view kConsonants =
    "BC\xC7"
    "DFG\xD0HJKLMNPRS\xDETVYZX";

inline bool IsVowelLetter(char c) {
  return kVowels.find(c) != std::string_view::npos;
}
inline bool IsConsonantLetter(char c) {
  return kConsonants.find(c) != std::string_view::npos;
}
// E İ Ö Ü: the vowels that make G and L palatal and turn Ğ into a glide.
inline bool IsFrontVowel(char c) {
  return std::string_view("E\xDD\xD6\xDC").find(c) != std::string_view::npos;
}

}  // namespace kalvor::voicegen
