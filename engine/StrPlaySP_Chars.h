// The character tables behind the front end's character classes and upper-casing, for the
// front end's own hot loops: a class test there is one table load, inlined. Everyone else uses
// the functions of StrPlaySP_Text.h, which give the same answers.
#pragma once

#include <array>
#include <cstdint>
#include <string_view>

namespace kalvor::chars {

// The sets stay written out as strings, exactly as the engine has always defined them; they are
// turned into a table once so that a test is one load, not a walk through the string. Both cases
// are listed although the text is upper case by the time the tests run.
inline constexpr std::string_view kLetterOrDigit =
    "ABC\xC7"     // Ç
    "DEFG\xD0"    // Ğ
    "HI\xDD"      // İ
    "JKLMNO\xD6"  // Ö
    "PRQS\xDE"    // Ş
    "TU\xDC"      // Ü
    "WVXYZ"
    "abc\xE7"      // ç
    "defg\xF0"     // ğ
    "h\xFD"        // ı
    "ijklmno\xF6"  // ö
    "prqs\xFE"     // ş
    "tu\xFC"       // ü
    "vwxyz0123456789";

inline constexpr std::string_view kVowels =
    "AEI\xDD"  // İ
    "O\xD6"    // Ö
    "U\xDC"    // Ü
    "ae\xFD"   // ı
    "io\xF6"   // ö
    "u\xFC";   // ü

inline constexpr std::string_view kConsonants =
    "BC\xC7"          // Ç
    "DFG\xD0"         // Ğ
    "HJKLMNPQRS\xDE"  // Ş
    "TVWXYZ"
    "bc\xE7"          // ç
    "dfg\xF0"         // ğ
    "hjklmnpqrs\xFE"  // ş
    "tvwxyz";

inline constexpr std::string_view kPunctuation = ".,;=\"'+-/*!?[]@{}()<>\r\n";

enum : std::uint8_t { kLetterBit = 1, kVowelBit = 2, kConsonantBit = 4, kPunctBit = 8 };

constexpr std::array<std::uint8_t, 256> MakeClasses() {
  std::array<std::uint8_t, 256> t{};
  for (char c : kLetterOrDigit) t[static_cast<unsigned char>(c)] |= kLetterBit;
  for (char c : kVowels) t[static_cast<unsigned char>(c)] |= kVowelBit;
  for (char c : kConsonants) t[static_cast<unsigned char>(c)] |= kConsonantBit;
  for (char c : kPunctuation) t[static_cast<unsigned char>(c)] |= kPunctBit;
  return t;
}
inline constexpr std::array<std::uint8_t, 256> kClasses = MakeClasses();

static_assert(kLetterOrDigit.size() == 74 && kVowels.size() == 16 && kConsonants.size() == 48 &&
              kPunctuation.size() == 23);

constexpr std::array<char, 256> MakeUpper() {
  std::array<char, 256> t{};
  for (int b = 0; b < 256; ++b) t[b] = static_cast<char>(b);
  for (int b = 'a'; b <= 'z'; ++b) t[b] = static_cast<char>(b - 'a' + 'A');
  t['i'] = '\xDD';   // i -> İ: the Turkish dotted pair
  t[0xFD] = 'I';     // ı -> I: and the dotless one
  t[0xE7] = '\xC7';  // ç -> Ç
  t[0xF0] = '\xD0';  // ğ -> Ğ
  t[0xF6] = '\xD6';  // ö -> Ö
  t[0xFC] = '\xDC';  // ü -> Ü
  t[0xFE] = '\xDE';  // ş -> Ş
  return t;
}
inline constexpr std::array<char, 256> kUpper = MakeUpper();

inline std::uint8_t Classes(char c) {
  return kClasses[static_cast<unsigned char>(c)];
}
inline bool Digit(char c) {
  return c >= '0' && c <= '9';
}
inline bool LetterOrDigit(char c) {
  return Classes(c) & kLetterBit;
}
inline bool Vowel(char c) {
  return Classes(c) & kVowelBit;
}
inline bool Consonant(char c) {
  return Classes(c) & kConsonantBit;
}
inline bool Punctuation(char c) {
  return Classes(c) & kPunctBit;
}
inline bool DecimalMark(char c) {
  return c == '.' || c == ',';
}
inline char Upper(char c) {
  return kUpper[static_cast<unsigned char>(c)];
}
// Codes 0 to 32: control characters and the space, trimmed from both ends of texts and sentences.
inline bool Blank(char c) {
  return static_cast<unsigned char>(c) <= 32;
}

// The character at 1-based position i of s, or 0 outside it.
inline char At(std::string_view s, std::int32_t i) {
  return i >= 1 && static_cast<std::size_t>(i) <= s.size() ? s[static_cast<std::size_t>(i) - 1] : 0;
}

}  // namespace kalvor::chars
