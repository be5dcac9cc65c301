// Character classes, Turkish upper-casing and the preparation of a whole text for sentence cutting.
#include "StrPlaySP_Text.h"

#include <array>

#include "FastStrings.h"
#include "StrPlaySP.h"

namespace kalvor {
namespace {

// The sets stay written out as strings, exactly as the engine has always defined them; they are
// turned into a table once so that a test is one load, not a walk through the string. Both cases
// are listed although the text is upper case by the time the tests run.
constexpr std::string_view kLetterOrDigit =
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

constexpr std::string_view kVowels =
    "AEI\xDD"  // İ
    "O\xD6"    // Ö
    "U\xDC"    // Ü
    "ae\xFD"   // ı
    "io\xF6"   // ö
    "u\xFC";   // ü

constexpr std::string_view kConsonants =
    "BC\xC7"          // Ç
    "DFG\xD0"         // Ğ
    "HJKLMNPQRS\xDE"  // Ş
    "TVWXYZ"
    "bc\xE7"          // ç
    "dfg\xF0"         // ğ
    "hjklmnpqrs\xFE"  // ş
    "tvwxyz";

constexpr std::string_view kPunctuation = ".,;=\"'+-/*!?[]@{}()<>\r\n";

enum : std::uint8_t { kLetterBit = 1, kVowelBit = 2, kConsonantBit = 4, kPunctBit = 8 };

constexpr std::array<std::uint8_t, 256> MakeClasses() {
  std::array<std::uint8_t, 256> t{};
  for (char c : kLetterOrDigit) t[static_cast<unsigned char>(c)] |= kLetterBit;
  for (char c : kVowels) t[static_cast<unsigned char>(c)] |= kVowelBit;
  for (char c : kConsonants) t[static_cast<unsigned char>(c)] |= kConsonantBit;
  for (char c : kPunctuation) t[static_cast<unsigned char>(c)] |= kPunctBit;
  return t;
}
constexpr std::array<std::uint8_t, 256> kClasses = MakeClasses();

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
constexpr std::array<char, 256> kUpper = MakeUpper();

inline std::uint8_t Classes(char c) {
  return kClasses[static_cast<unsigned char>(c)];
}

// Codes 0 to 32: control characters and the space, trimmed from both ends of a text.
inline bool IsBlank(char c) {
  return static_cast<unsigned char>(c) <= 32;
}

}  // namespace

bool IsDigit(char c) {
  return c >= '0' && c <= '9';
}
bool IsLetterOrDigit(char c) {
  return Classes(c) & kLetterBit;
}
bool IsVowel(char c) {
  return Classes(c) & kVowelBit;
}
bool IsConsonant(char c) {
  return Classes(c) & kConsonantBit;
}
bool IsPunctuation(char c) {
  return Classes(c) & kPunctBit;
}
bool IsDecimalMark(char c) {
  return c == '.' || c == ',';
}

char CharAt(std::string_view s, std::int32_t i) {
  if (i < 1 || static_cast<std::size_t>(i) > s.size()) return 0;
  return s[static_cast<std::size_t>(i) - 1];
}

char UpCaseTr(char c) {
  return kUpper[static_cast<unsigned char>(c)];
}

std::string UpperCaseTr(std::string_view s) {
  std::string out(s.size(), '\0');
  for (std::size_t i = 0; i < s.size(); ++i) out[i] = UpCaseTr(s[i]);
  return out;
}

void TStrPlayer::PrepareText() {
  // Apostrophes go first: a suffix written after an apostrophe (AHMET'İN) belongs to its word.
  // That frees the apostrophe to mark, for the symbol words below, the one hyphen that is spoken:
  // a minus sign directly before a digit. The other hyphens stay and cut the sentence.
  // W and Q are not Turkish letters; the voices have V and K for them.
  std::string t;
  t.reserve(FText.size());
  for (char c : FText)
    if (c != '\'') t += c;
  for (std::size_t i = 0; i < t.size(); ++i) {
    char& c = t[i];
    if (c == 'W')
      c = 'V';
    else if (c == 'Q')
      c = 'K';
    else if (c == '-' && i + 1 < t.size() && IsDigit(t[i + 1]))
      c = '\'';
  }

  // Each sign becomes a word between spaces, in this order; none of the words holds a sign of a
  // later row, so no word is replaced twice.
  static constexpr std::string_view kSigns[8][2] = {
      {"'", " EKS\xDD "},  // EKSİ
      {"+", " ARTI "},
      {"%", " Y\xDCZDE "},          // YÜZDE
      {"=", " E\xDE\xDDTT\xDDR "},  // EŞİTTİR
      {"/", " TAKS\xDDM "},         // TAKSİM
      {"@", " ED "},
      {"(", " A\xC7PARANTEZ "},  // AÇPARANTEZ
      {")", " KAPAPARANTEZ "},
  };
  for (const auto& sign : kSigns) t = ReplaceAll(t, sign[0], sign[1]);
  FText = std::move(t);
}

void TStrPlayer::BeginText(std::string_view Text) {
  std::size_t b = 0, e = Text.size();
  while (b < e && IsBlank(Text[b])) ++b;
  while (e > b && IsBlank(Text[e - 1])) --e;
  FText = UpperCaseTr(Text.substr(b, e - b));
  PrepareText();
  FTextPos = 0;
  FSentencePos = 0;
  FWordPos = 0;
}

}  // namespace kalvor
