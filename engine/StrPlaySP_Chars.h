// The character tables behind the front end's character classes and upper-casing, for the
// front end's own hot loops: a class test there is one table load, inlined. Everyone else uses
// the functions of StrPlaySP_Text.h, which give the same answers.
#pragma once

#include <array>
#include <cstddef>
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
  for (std::size_t b = 0; b < 256; ++b) t[b] = static_cast<char>(b);
  for (std::size_t b = 'a'; b <= 'z'; ++b) t[b] = static_cast<char>(b - 'a' + 'A');
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

// Accented Latin letters of Windows-1254 that are not letters of the Turkish alphabet, folded to
// their base letters before upper-casing: the circumflex of everyday Turkish (kâğıt, hâlâ, millî,
// hükûmet) marks a long vowel or a soft consonant before it, not another letter, and foreign
// names and loans (café, Núñez, Ångström) are read by their base letters. Left alone they would
// be separators and cut the word in two. The capital I with an accent folds to the dotted İ, as its
// small letter becomes i and then İ. Ç Ğ İ Ö Ş Ü and their small letters stay as they are;
// ligatures (Æ, Œ, ß) have no single base letter and stay too.
constexpr std::array<char, 256> MakeFold() {
  std::array<char, 256> t{};
  for (std::size_t b = 0; b < 256; ++b) t[b] = static_cast<char>(b);
  auto fold = [&t](std::string_view from, char to) {
    for (char c : from) t[static_cast<unsigned char>(c)] = to;
  };
  fold("\xC0\xC1\xC2\xC3\xC4\xC5", 'A');  // À Á Â Ã Ä Å
  fold("\xE0\xE1\xE2\xE3\xE4\xE5", 'a');  // à á â ã ä å
  fold("\xC8\xC9\xCA\xCB", 'E');          // È É Ê Ë
  fold("\xE8\xE9\xEA\xEB", 'e');          // è é ê ë
  fold("\xCC\xCD\xCE\xCF", '\xDD');       // Ì Í Î Ï -> İ
  fold("\xEC\xED\xEE\xEF", 'i');          // ì í î ï
  fold("\xD2\xD3\xD4\xD5\xD8", 'O');      // Ò Ó Ô Õ Ø
  fold("\xF2\xF3\xF4\xF5\xF8", 'o');      // ò ó ô õ ø
  fold("\xD9\xDA\xDB", 'U');              // Ù Ú Û
  fold("\xF9\xFA\xFB", 'u');              // ù ú û
  fold("\xD1", 'N');                      // Ñ
  fold("\xF1", 'n');                      // ñ
  fold("\x8A", 'S');                      // Š
  fold("\x9A", 's');                      // š
  fold("\x9F", 'Y');                      // Ÿ
  fold("\xFF", 'y');                      // ÿ
  return t;
}
inline constexpr std::array<char, 256> kFold = MakeFold();

// The text as it is stored for speaking: accents folded, then upper-cased by the Turkish rules, in
// one table.
constexpr std::array<char, 256> MakeFoldUpper() {
  std::array<char, 256> t{};
  for (std::size_t b = 0; b < 256; ++b) t[b] = kUpper[static_cast<unsigned char>(kFold[b])];
  return t;
}
inline constexpr std::array<char, 256> kFoldUpper = MakeFoldUpper();

inline char FoldAccent(char c) {
  return kFold[static_cast<unsigned char>(c)];
}
inline char FoldUpper(char c) {
  return kFoldUpper[static_cast<unsigned char>(c)];
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
