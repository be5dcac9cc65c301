// Character classes, Turkish upper-casing and the preparation of a whole text for sentence cutting.
#include "StrPlaySP_Text.h"

#include <array>

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
  // In order: apostrophes go (a suffix written after one, AHMET'İN, belongs to its word); W and
  // Q, which are not Turkish letters, become V and K; a hyphen directly before a digit is a minus
  // sign and becomes an apostrophe, freed for that by the first step; then each sign becomes a
  // word between spaces, the apostrophe first (so exactly the minus signs are read EKSİ). Other
  // hyphens stay and cut the sentence.
  //
  // The steps are done in one pass over the text, which gives the same result: none of the words
  // holds a sign, a letter W or Q or an apostrophe, so no step changes what another one put in.
  // A whole book arrives here before the first unit can be spoken; twelve passes with a copy
  // each cost more than everything up to that unit.
  static constexpr std::string_view kWords[] = {
      {},
      " EKS\xDD ",           // ' (a minus sign): EKSİ
      " ARTI ",              // +
      " Y\xDCZDE ",          // %: YÜZDE
      " E\xDE\xDDTT\xDDR ",  // =: EŞİTTİR
      " TAKS\xDDM ",         // /: TAKSİM
      " ED ",                // @
      " A\xC7PARANTEZ ",     // (: AÇPARANTEZ
      " KAPAPARANTEZ ",      // )
  };
  static constexpr std::array<std::uint8_t, 256> kSign = [] {
    std::array<std::uint8_t, 256> t{};
    t['+'] = 2, t['%'] = 3, t['='] = 4, t['/'] = 5, t['@'] = 6, t['('] = 7, t[')'] = 8;
    t['\''] = t['-'] = t['W'] = t['Q'] = 255;  // handled one by one below
    return t;
  }();

  const std::string& in = FText;
  std::string out;
  out.reserve(in.size() + in.size() / 8 + 16);
  const std::size_t n = in.size();
  std::size_t i = 0;
  while (i < n) {
    // Most of a text is plain: copy it in one piece.
    std::size_t j = i;
    while (j < n && kSign[static_cast<unsigned char>(in[j])] == 0) ++j;
    out.append(in, i, j - i);
    if (j == n) break;
    const char c = in[j];
    const std::uint8_t sign = kSign[static_cast<unsigned char>(c)];
    i = j + 1;
    if (sign != 255) {
      out += kWords[sign];
    } else if (c == 'W') {
      out += 'V';
    } else if (c == 'Q') {
      out += 'K';
    } else if (c == '-') {
      // Directly followed by a digit once the apostrophes are gone.
      std::size_t k = i;
      while (k < n && in[k] == '\'') ++k;
      if (k < n && IsDigit(in[k]))
        out += kWords[1];
      else
        out += '-';
    }
    // An apostrophe of the text itself is dropped.
  }
  FText = std::move(out);
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
