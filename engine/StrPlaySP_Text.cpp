// Character classes, Turkish upper-casing and the preparation of a whole text for sentence cutting.
#include "StrPlaySP_Text.h"

#include <array>

#include "StrPlaySP.h"
#include "StrPlaySP_Chars.h"

namespace kalvor {

bool IsDigit(char c) {
  return chars::Digit(c);
}
bool IsLetterOrDigit(char c) {
  return chars::LetterOrDigit(c);
}
bool IsVowel(char c) {
  return chars::Vowel(c);
}
bool IsConsonant(char c) {
  return chars::Consonant(c);
}
bool IsPunctuation(char c) {
  return chars::Punctuation(c);
}
bool IsDecimalMark(char c) {
  return chars::DecimalMark(c);
}
char CharAt(std::string_view s, std::int32_t i) {
  return chars::At(s, i);
}
char UpCaseTr(char c) {
  return chars::Upper(c);
}

namespace {

// Every byte of s through one of the character tables (a template argument, so that the table
// load stays inlined in the loop that a whole book goes through).
template <char (*Map)(char)>
std::string MapBytes(std::string_view s) {
  std::string out(s.size(), '\0');
  for (std::size_t i = 0; i < s.size(); ++i) out[i] = Map(s[i]);
  return out;
}

}  // namespace

std::string UpperCaseTr(std::string_view s) {
  return MapBytes<chars::Upper>(s);
}

char FoldAccent(char c) {
  return chars::FoldAccent(c);
}

std::string FoldUpperCaseTr(std::string_view s) {
  return MapBytes<chars::FoldUpper>(s);
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
      if (k < n && chars::Digit(in[k]))
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
  while (b < e && chars::Blank(Text[b])) ++b;
  while (e > b && chars::Blank(Text[e - 1])) --e;
  FText = FoldUpperCaseTr(Text.substr(b, e - b));
  PrepareText();
  FTextPos = 0;
  FSentencePos = 0;
  FWordPos = 0;
}

}  // namespace kalvor
