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

// The letter sets are arrays, not string views of literals: every translation unit then reads the
// one array of the inline variable. (A view's literal may be a different copy in each unit, and an
// optimiser that takes the start of the view from its own copy and the end from another's walks
// off the end.)
inline constexpr char kVowelChars[] = "AIOUE\xDD\xD6\xDC";
inline constexpr char kConsonantChars[] =
    "BC\xC7"
    "DFG\xD0HJKLMNPRS\xDETVYZX";
inline constexpr char kFrontVowelChars[] = "E\xDD\xD6\xDC";

// The eight vowels, back ones first: A I O U, then E İ Ö Ü.
inline constexpr std::string_view kVowels{kVowelChars, sizeof kVowelChars - 1};
// The 21 consonants of the alphabet and X, which reaches the units as a letter of its own (read
// /ks/). W and Q never do: the text preparation turns them into V and K.
inline constexpr std::string_view kConsonants{kConsonantChars, sizeof kConsonantChars - 1};

inline bool IsVowelLetter(char c) {
  return kVowels.find(c) != std::string_view::npos;
}
inline bool IsConsonantLetter(char c) {
  return kConsonants.find(c) != std::string_view::npos;
}
// The stops whose release is a burst of their own: P T K B D G. (Ç and C release into a
// fricative, which is their sound.)
inline bool IsPlainStopLetter(char c) {
  return c != '\0' && std::string_view("PTKBDG").find(c) != std::string_view::npos;
}
// E İ Ö Ü: the vowels that make G and L palatal and turn Ğ into a glide.
inline bool IsFrontVowel(char c) {
  return std::string_view(kFrontVowelChars).find(c) != std::string_view::npos;
}

}  // namespace kalvor::voicegen
